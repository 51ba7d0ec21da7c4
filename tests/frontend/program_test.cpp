// The engine as a user runs it: arguments, standard input, output, exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "frontend/engine_session.h"
#include "frontend/frontend.h"
#include "test_util.h"

namespace {

std::string WriteFile(const std::string& name, const std::string& text) {
    const auto path =
        std::filesystem::temp_directory_path() / ("vorn-" + std::to_string(getpid()) + "-" + name);
    std::ofstream(path) << text;
    return path.string();
}

// A scratch directory of the test's own, empty.
std::filesystem::path ScratchDirectory(const std::string& name) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("vorn-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

TEST(Program, HelpVersionAndBadUsageEndAtOnceWithoutALog) {
    const auto dir = ScratchDirectory("usage");
    ProgramRun run = RunVorn("-post -h", "", dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with("Vorn \nxboard   used when interfacing with xboard\n"));
    EXPECT_NE(run.out.find("\n-fd  n    fixes search depth to n ply (min n = 3)\n"),
              std::string::npos);

    run = RunVorn("--version", "", dir);
    EXPECT_EQ(run.status, 0);
    // "Vorn 1.0", and the commit when built from a git checkout.
    EXPECT_TRUE(run.out.starts_with("Vorn " + std::string(VornVersion))) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;

    for (const char* args : {"-fd abc", "-fd -3", "-fd", "--verbose", "-perft2"}) {
        run = RunVorn(args, "", dir);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.out.find("vorn: "), std::string::npos) << args;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "match.log"));
    std::filesystem::remove_all(dir);
}

TEST(Program, GreetsTheConsoleUser) {
    const ProgramRun run = RunVorn("", "hello\n");
    EXPECT_NE(run.out.find("Vorn \n\nHello! I am Vorn\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("help lists the commands.\n   A B C D E F G H\n\n"
                           "8  r n b q k b n r  8\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("1  R N B Q K B N R  1\n\n   A B C D E F G H\n"), std::string::npos);
}

TEST(Program, PositionFiles) {
    const std::string good = WriteFile("good.fen", "4k3/8/8/8/8/8/8/R3K3 w Q - 0 1\n");
    ProgramRun run = RunVorn("-lpf " + good, "hello\n");
    EXPECT_NE(run.out.find("commands.\n   A B C D E F G H\n\n8  - - - - k - - -  8\n"),
              std::string::npos)
        << run.out;

    const std::string bad = WriteFile("bad.fen", "4k3/8/8/8/8/8/8/R3K2K w - - 0 1\n");
    run = RunVorn("-lpf " + bad);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Vorn \nERROR: invalid position in file " + bad + "\n");

    run = RunVorn("-lpf /nonexistent/position.fen");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Vorn \nERROR: opening file /nonexistent/position.fen\n");

    run = RunVorn("-lpf " + WriteFile("empty.fen", ""));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Vorn \nEmpty file\n");
}

// Runs with HOME and XDG_STATE_HOME set for the engine, then restored.
ProgramRun RunVornWithState(const std::string& args, const std::string& input,
                            const std::filesystem::path& dir, const std::string& state) {
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    setenv("HOME", state.c_str(), 1);
    const ProgramRun run = RunVorn(args, input, dir);
    unsetenv("XDG_STATE_HOME");
    setenv("HOME", home.c_str(), 1);
    return run;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

TEST(Program, TheLogGoesWhereItCanBeWritten) {
    const auto dir = ScratchDirectory("log");
    const auto state = ScratchDirectory("state");
    // The working directory first.
    ProgramRun run = RunVornWithState("-perft -fd 1", "", dir, state.string());
    EXPECT_NE(ReadFile(dir / "match.log").find("Next Match"), std::string::npos);

    // A working directory that takes no files: the user's state directory.
    std::filesystem::remove(dir / "match.log");
    std::filesystem::create_directories(dir / "match.log"); // cannot be opened as the log
    run = RunVornWithState("-perft -fd 1", "", dir, state.string());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("without a log"), std::string::npos) << run.out;
    EXPECT_NE(ReadFile(state / "vorn" / "match.log").find("Next Match"), std::string::npos);

    // Neither: one line on standard error, and the work goes on.
    std::filesystem::remove_all(state);
    std::filesystem::create_directories(state);
    std::ofstream(state / "vorn") << "a file where the directory would be";
    run = RunVornWithState("-perft -fd 1", "", dir, state.string());
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Vorn: cannot create match.log; running without a log\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("20 Leaf Nodes at Depth = 1"), std::string::npos);

    // A file of the user's choice.
    run = RunVornWithState("-perft -fd 1 -log chosen.log", "", state, state.string());
    EXPECT_NE(ReadFile(state / "chosen.log").find("Next Match"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(state / "match.log"));
    std::filesystem::remove_all(dir);
    std::filesystem::remove_all(state);
}

TEST(Program, ASecondVornInTheSameDirectoryKeepsALogOfItsOwn) {
    EngineSession first;
    first.Send("xboard\nprotover 2");
    ASSERT_NE(first.WaitFor("feature done=1"), "");
    const ProgramRun second = RunVorn("-perft -fd 1", "", first.Dir);
    EXPECT_EQ(second.status, 0);
    int ownLogs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(first.Dir)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("match-") && name.ends_with(".log")) {
            ++ownLogs;
            EXPECT_NE(ReadFile(entry.path()).find("Next Match"), std::string::npos);
        }
    }
    EXPECT_EQ(ownLogs, 1);
    // The first one's log is whole and its own.
    const std::string log = ReadFile(first.Dir / "match.log");
    EXPECT_NE(log.find("protover 2"), std::string::npos);
    EXPECT_EQ(log.find("Next Match"), log.rfind("Next Match"));
}

} // namespace
