// The engine as an interface drives it: a process with pipes on standard
// input and output, so that a test can wait for an answer before it sends
// the next line (a search reads whatever waits on its input).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class EngineSession {
  public:
    // Protocol waits are bounds against a hang, not measurements.
    static constexpr int PatienceMs = 30000;

    explicit EngineSession(const std::string& args = "") {
        Dir = std::filesystem::temp_directory_path() /
              ("vorn-session-" + std::to_string(getpid()) + "-" + std::to_string(Counter()++));
        std::filesystem::create_directories(Dir);
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        Pid = fork();
        if (Pid == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            dup2(out[1], STDERR_FILENO);
            close(in[1]);
            close(out[0]);
            const std::string command =
                "cd '" + Dir.string() + "' && exec '" VORN_BINARY "' " + args;
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        Input = in[1];
        Output = out[0];
        signal(SIGPIPE, SIG_IGN);
    }

    ~EngineSession() {
        CloseInput();
        if (Pid > 0 && Finish(PatienceMs) == -2) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        if (Output >= 0) close(Output);
        std::filesystem::remove_all(Dir);
    }

    void Send(const std::string& lines) {
        const std::string text = lines + "\n";
        if (Input >= 0 && write(Input, text.data(), text.size()) < 0) CloseInput();
    }

    void CloseInput() {
        if (Input >= 0) close(Input);
        Input = -1;
    }

    // The next line that `wanted` accepts (skipping others); "" when none
    // comes in time or the engine ends.
    std::string WaitFor(const std::function<bool(const std::string&)>& wanted,
                        int patienceMs = PatienceMs) {
        const auto deadline = Now() + patienceMs;
        for (;;) {
            while (Seen < Lines.size())
                if (wanted(Lines[Seen++])) return Lines[Seen - 1];
            if (!ReadMore(deadline - Now())) return "";
        }
    }
    // The next line that starts with `prefix`.
    std::string WaitFor(const std::string& prefix, int patienceMs = PatienceMs) {
        return WaitFor([&](const std::string& line) { return line.rfind(prefix, 0) == 0; },
                       patienceMs);
    }

    // Every line that arrives within `ms` (for the absence of an answer).
    std::vector<std::string> Collect(int ms) {
        const auto deadline = Now() + ms;
        while (ReadMore(deadline - Now())) {
        }
        std::vector<std::string> lines(Lines.begin() + Seen, Lines.end());
        Seen = Lines.size();
        return lines;
    }

    // The exit status once the engine ends, -1 for an abnormal end, -2 when
    // it is still running after `patienceMs`.
    int Finish(int patienceMs = PatienceMs) {
        const auto deadline = Now() + patienceMs;
        while (ReadMore(deadline - Now())) {
        }
        int status;
        for (;;) {
            const pid_t done = waitpid(Pid, &status, WNOHANG);
            if (done == Pid) break;
            if (Now() >= deadline) return -2;
            usleep(10000);
        }
        Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<std::string> Lines; // every line the engine printed
    std::string Partial;            // a line not yet ended
    std::filesystem::path Dir;

  private:
    static int64_t Now() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    static int& Counter() {
        static int counter = 0;
        return counter;
    }

    // Reads what arrives within `ms`; false at the end of output or the time.
    bool ReadMore(int64_t ms) {
        if (Output < 0 || ms <= 0) return false;
        pollfd fd{Output, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(ms)) <= 0) return false;
        char buffer[4096];
        const ssize_t n = read(Output, buffer, sizeof buffer);
        if (n <= 0) {
            close(Output);
            Output = -1;
            return false;
        }
        Partial.append(buffer, n);
        for (size_t end; (end = Partial.find('\n')) != std::string::npos;) {
            Lines.push_back(Partial.substr(0, end));
            Partial.erase(0, end + 1);
        }
        return true;
    }

    pid_t Pid = -1;
    int Input = -1, Output = -1;
    size_t Seen = 0;
};
