// The engine as a user runs it: arguments, standard input, output, exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "test_util.h"

namespace {

std::string WriteFile(const std::string& name, const std::string& text) {
    const auto path =
        std::filesystem::temp_directory_path() / ("vorn-" + std::to_string(getpid()) + "-" + name);
    std::ofstream(path) << text;
    return path.string();
}

TEST(Program, HelpListsNineLinesAndEndsWell) {
    const ProgramRun run = RunVorn("-post -h");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, 6), "Vorn \n");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 10);
    EXPECT_NE(run.out.find("\n-fd  n    fixes search depth to n ply (min n = 3)\n"),
              std::string::npos);
}

TEST(Program, GreetsTheConsoleUser) {
    const ProgramRun run = RunVorn("", "hello\n");
    EXPECT_NE(run.out.find("Vorn \n\nHello! I am Vorn\nMAXDEPTH = 56\n   A B C D E F G H\n\n"
                           "8  r n b q k b n r  8\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("1  R N B Q K B N R  1\n\n   A B C D E F G H\n"), std::string::npos);
}

TEST(Program, PositionFiles) {
    const std::string good = WriteFile("good.fen", "4k3/8/8/8/8/8/8/R3K3 w Q - 0 1\n");
    ProgramRun run = RunVorn("-lpf " + good, "hello\n");
    EXPECT_NE(run.out.find("MAXDEPTH = 56\n   A B C D E F G H\n\n8  - - - - k - - -  8\n"),
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

TEST(Program, RunsWithoutALogWhenItCannotWriteOne) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vorn-nolog-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir /
                                        "match.log"); // a directory cannot be opened as the log
    const ProgramRun run = RunVorn("-h", "", dir);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("cannot create match.log"), std::string::npos);
    EXPECT_NE(run.out.find("-sp  self play"), std::string::npos);
    std::filesystem::remove_all(dir);
}

} // namespace
