// Files: positions and suites to read, and match.log, the running record of
// the game, the protocol traffic and the search's decisions.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {
FILE* LogFile = nullptr;
}

FILE* OpenTextFile(const char* path) {
    FILE* file = std::fopen(path, "r");
    struct stat status;
    if (file && (fstat(fileno(file), &status) != 0 || S_ISDIR(status.st_mode))) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

namespace {

// Opens `path` for writing, emptied, once this process holds the lock on it.
// Another Vorn writing the same log keeps it: the answer is then LogBusy and
// the file is left as it was.
enum LogOpenResult : int { LogOpened, LogBusy, LogUnwritable };

LogOpenResult OpenLocked(const char* path) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return LogUnwritable;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return LogUnwritable;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return errno == EWOULDBLOCK ? LogBusy : LogUnwritable;
    }
    if (ftruncate(fd, 0) != 0 || !(LogFile = fdopen(fd, "w"))) {
        close(fd);
        return LogUnwritable;
    }
    return LogOpened;
}

// `directory`/match.log, or match-PID.log there while another Vorn holds match.log.
bool OpenInDirectory(const char* directory) {
    char path[4096];
    if (std::snprintf(path, sizeof path, "%s/match.log", directory) >= int(sizeof path))
        return false;
    const LogOpenResult result = OpenLocked(path);
    if (result != LogBusy) return result == LogOpened;
    const long pid = getpid();
    if (std::snprintf(path, sizeof path, "%s/match-%ld.log", directory, pid) >= int(sizeof path))
        return false;
    return OpenLocked(path) == LogOpened;
}

// mkdir -p: true when the directory exists afterwards.
bool MakeDirectories(char* path) {
    for (char* p = path + 1; *p; ++p) {
        if (*p != '/') continue;
        *p = '\0';
        const bool made = mkdir(path, 0755) == 0 || errno == EEXIST;
        *p = '/';
        if (!made) return false;
    }
    return mkdir(path, 0755) == 0 || errno == EEXIST;
}

// $XDG_STATE_HOME/vorn, by default ~/.local/state/vorn; false without a home.
bool StateDirectory(char* out, int size) {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    // XDG_STATE_HOME counts only as an absolute path; a relative one is ignored.
    int length;
    if (state && state[0] == '/')
        length = std::snprintf(out, size, "%s/vorn", state);
    else if (home && home[0] == '/')
        length = std::snprintf(out, size, "%s/.local/state/vorn", home);
    else
        return false;
    return length < size && MakeDirectories(out);
}

} // namespace

void OpenLogFile(const char* chosen) {
    CloseLogFile();
    if (chosen) {
        // A file the user named is used as it is, shared or not.
        LogFile = std::fopen(chosen, "w");
        if (!LogFile)
            std::fprintf(stderr, "Vorn: cannot write %s; running without a log\n", chosen);
        return;
    }
    char directory[4096];
    if (OpenInDirectory(".")) return;
    if (StateDirectory(directory, sizeof directory) && OpenInDirectory(directory)) return;
    std::fprintf(stderr, "Vorn: cannot create match.log; running without a log\n");
}

void WriteLogFile(const char* text) {
    if (!LogFile) return;
    std::fputs(text, LogFile);
    std::fputc('\n', LogFile);
    std::fflush(LogFile);
}

void LogPrintf(const char* format, ...) {
    if (!LogFile) return;
    char text[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    WriteLogFile(text);
}

void CloseLogFile() {
    if (LogFile) std::fclose(LogFile);
    LogFile = nullptr;
}

bool MakeTemporaryFolder(char* path, int size) {
    const char* base = std::getenv("TMPDIR");
    if (!base || !*base) base = "/tmp";
    if (std::snprintf(path, size, "%s/vorn-XXXXXX", base) >= size) return false;
    return mkdtemp(path) != nullptr;
}
