// The program's entry: the command line, the match loop and the protocols.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "search/search.h"

// The test-suite file named on the command line ("-ts", "-pev", "-mimicstudent").
constexpr int MaxPathLength = 1024;
extern char TestSuiteFile[MaxPathLength];

// Result codes of ParseCommandLine.
enum CommandLineResult : int {
    CommandLineOk = 0,
    CommandLineHelp,         // the help text was printed: end with status 0
    CommandLineMissingValue, // an option lacked its value: end with status 1
};

int ParseCommandLine(int argc, char** argv);
void PrintHelp();

// The first word read from standard input; the UCI handler reads it again.
constexpr int FirstWordLength = 256;
extern char FirstWord[FirstWordLength];

// Runs the tool mode or the games the settings ask for; returns the exit status.
int MatchLoop();
