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
    if (TheEngine.Settings.Mode.xboard) {
        TheEngine.Main.Eval.PawnTable.Clear();
        TheEngine.Table.ClearTranspositionTables();
    }
    TheEngine.Main.Eval.PawnTable.Misses = TheEngine.Main.Eval.PawnTable.Attempts = 0;
    TheEngine.ClearHistory();

    if (TheEngine.Settings.Mode.PERFT) {
        PerfT perft(TheEngine.Settings.getFD(), TheEngine.Settings.Mode.Trace != 0);
        return 0;
    }
    if (TheEngine.Settings.Mode.DoTestSuite || TheEngine.Settings.Mode.Mimic == 1 ||
        TheEngine.Settings.Mode.Pev) {
        if (!TheEngine.Settings.Mode.DoTestSuite && TheEngine.Settings.Mode.Mimic == 1)
            std::printf("## Mimic == STUDENT\n");
        ParseEPDSuite(TheEngine, TestSuiteFile, DisplayPosition);
        CloseLogFile();
        return 0;
    }
    if (TheEngine.Settings.Mode.SATrain) TheEngine.Settings.Mode.Bench = 1;
    if (TheEngine.Settings.Mode.Bench == 1 || TheEngine.Settings.Mode.Bench == 2) {
        TheEngine.Settings.Mode.Bench == 1 ? Bench(TheEngine) : Bench2(TheEngine);
        CloseLogFile();
        return 0;
    }

    if (!TheEngine.Settings.Mode.xboard && !TheEngine.Settings.Mode.uci) {
        std::printf("\nHello! I am Vorn\n");
        LogPrintf("MAXDEPTH = %d", GameSession.MaxDepth);
        PrintConsoleTimeControl();
        std::printf("Type your moves as from and to squares (e2e4); help lists the commands.\n");
        DisplayPosition(MainBoard);
    }
    TheEngine.Settings.Game.OpponentToMove = 1;
    // Under an interface the clock runs from the first move on.
    if (TheEngine.Settings.UnderInterface()) TheEngine.Table.MapMemory();
    if (TheEngine.Settings.Mode.uci) return UCI.Dialogue(FirstWord);
    GameLoop();
    // Under an interface the farewell is not protocol: it goes to the log.
    if (TheEngine.Settings.UnderInterface())
        WriteLogFile("Bye, Thanks for the match.\n");
    else
        std::printf("Bye, Thanks for the match.\n");
    CloseLogFile();
    return 0;
}
