#include <gtest/gtest.h>

#include "board/board.h"

int main(int argc, char** argv) {
    // The hash-code tables are filled once per process, as the engine does at start-up.
    initPStable();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
