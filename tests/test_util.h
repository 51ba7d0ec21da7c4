// Helpers shared by the tests.
#pragma once

#include <gtest/gtest.h>

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
