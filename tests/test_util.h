// Helpers shared by the tests.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "board/board.h"

// The board of a FEN that must be accepted.
inline ChessBoard BoardFromFen(const char* fen) {
    EXPECT_EQ(SetupBoard(fen), SetupOk) << fen;
    return MainBoard;
}

// What a function prints on standard output.
template <typename Print> std::string CapturedStdout(Print print) {
    testing::internal::CaptureStdout();
    print();
    return testing::internal::GetCapturedStdout();
}

struct ProgramRun {
    std::string out; // standard output and standard error
    int status;      // exit status, -1 when the engine did not exit normally
};

// Runs the engine binary with `args` and `input` on standard input, in `dir`
// (a scratch directory by default: the engine writes match.log there).
inline ProgramRun RunVorn(const std::string& args, const std::string& input = "",
                          std::filesystem::path dir = {}) {
    if (dir.empty())
        dir = std::filesystem::temp_directory_path() / ("vorn-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string inputFile = (dir / "input").string();
    std::ofstream(inputFile) << input;
    const std::string command =
        "cd '" + dir.string() + "' && '" VORN_BINARY "' " + args + " < '" + inputFile + "' 2>&1";
    ProgramRun run{"", -1};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
