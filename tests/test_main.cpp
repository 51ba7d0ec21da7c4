#include <gtest/gtest.h>

#include "board/board.h"
#include "frontend/frontend.h"
#include "test_engine.h"

int main(int argc, char** argv) {
    // The hash-code tables are filled once per process, as the engine does at start-up.
    initPStable();
    // The protocols' commands, run in the tests, search with the tests' engine.
    AttachEngine(TestEngine());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
