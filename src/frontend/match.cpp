// The match loop: one tool mode, or one game after another.
#include <cstdio>

#include "board/board.h"
#include "eval/eval.h"
#include "frontend/session.h"
#include "tools/tools.h"

int MatchLoop() {
    WriteLogFile("=====================================\n");
    WriteLogFile("Next Match\n");
    WriteLogFile("=====================================\n");

    // A new game under xboard starts from clean caches.
    if (MainStatus.xboard) {
        Search.Eval.PawnTable.Clear();
        PositionCache.ClearTranspositionTables();
    }
    Search.Eval.PawnTable.Misses = Search.Eval.PawnTable.Attempts = 0;
    Search.ClearHistory();

    if (MainStatus.PERFT) {
        PerfT perft(MainStatus.getFD(), MainStatus.Trace != 0);
        return 0;
    }
    if (MainStatus.DoTestSuite || MainStatus.Mimic == 1 || MainStatus.Pev) {
        if (!MainStatus.DoTestSuite && MainStatus.Mimic == 1) std::printf("## Mimic == STUDENT\n");
        ParseEPDSuite(TestSuiteFile, DisplayPosition);
        CloseLogFile();
        return 0;
    }
    if (MainStatus.SATrain) MainStatus.Bench = 1;
    if (MainStatus.Bench == 1 || MainStatus.Bench == 2) {
        MainStatus.Bench == 1 ? Bench() : Bench2();
        CloseLogFile();
        return 0;
    }

    if (!MainStatus.xboard && !MainStatus.uci) {
        std::printf("\nHello! I am Vorn\n");
        LogPrintf("MAXDEPTH = %d", MainBoard.MaxDepth);
        PrintConsoleTimeControl();
        std::printf("Type your moves as from and to squares (e2e4); help lists the commands.\n");
        DisplayPosition(MainBoard);
    }
    MainStatus.OpponentToMove = 1;
    // Under an interface the clock runs from the first move on.
    if (MainStatus.UnderInterface()) PositionCache.MapMemory();
    if (MainStatus.uci) return UCI.Dialogue(FirstWord);
    GameLoop();
    // Under an interface the farewell is not protocol: it goes to the log.
    if (MainStatus.UnderInterface())
        WriteLogFile("Bye, Thanks for the match.\n");
    else
        std::printf("Bye, Thanks for the match.\n");
    CloseLogFile();
    return 0;
}
