// The match loop: one tool mode, or one game after another.
#include <cstdio>

#include "board/board.h"
#include "eval/eval.h"
#include "frontend/session.h"
#include "tools/tools.h"

void AttachEngine(Engine& engine) { GameSession.Searcher = UCI.Searcher = &engine; }

int MatchLoop(Engine& engine) {
    AttachEngine(engine);
    WriteLogFile("=====================================\n");
    WriteLogFile("Next Match\n");
    WriteLogFile("=====================================\n");

    // A new game under xboard starts from clean caches.
    if (Settings.Mode.xboard) {
        engine.Main.Eval.PawnTable.Clear();
        engine.Table.ClearTranspositionTables();
    }
    engine.Main.Eval.PawnTable.Misses = engine.Main.Eval.PawnTable.Attempts = 0;
    engine.ClearHistory();

    if (Settings.Mode.PERFT) {
        PerfT perft(Settings.getFD(), Settings.Mode.Trace != 0);
        return 0;
    }
    if (Settings.Mode.DoTestSuite || Settings.Mode.Mimic == 1 || Settings.Mode.Pev) {
        if (!Settings.Mode.DoTestSuite && Settings.Mode.Mimic == 1)
            std::printf("## Mimic == STUDENT\n");
        ThinkingReporter reporter(ThinkingReporter::Audience::Tool);
        const EPDSuiteMode mode{Settings.Mode.DoTestSuite != 0, Settings.Mode.Pev != 0,
                                Settings.Mode.Mimic};
        ParseEPDSuite(engine, TestSuiteFile, mode,
                      RequestFromSettings(Settings, Settings.Limits.FD), reporter, DisplayPosition);
        CloseLogFile();
        return 0;
    }
    if (Settings.Mode.SATrain) Settings.Mode.Bench = 1;
    if (Settings.Mode.Bench == 1 || Settings.Mode.Bench == 2) {
        ThinkingReporter reporter(ThinkingReporter::Audience::Tool);
        const SearchRequest request = RequestFromSettings(Settings, Settings.Limits.FD);
        Settings.Mode.Bench == 1 ? Bench(engine, request, reporter)
                                 : Bench2(engine, request, reporter);
        CloseLogFile();
        return 0;
    }

    if (!Settings.Mode.xboard && !Settings.Mode.uci) {
        std::printf("\nHello! I am Vorn\n");
        LogPrintf("MAXDEPTH = %d", GameSession.MaxDepth);
        PrintConsoleTimeControl();
        if (PlayingElo(Settings.Options)) PrintConsoleStrength();
        std::printf("Type your moves as from and to squares (e2e4); help lists the commands.\n");
        DisplayPosition(MainBoard);
    }
    Settings.Game.OpponentToMove = 1;
    // Under an interface the clock runs from the first move on.
    if (Settings.UnderInterface()) engine.Table.MapMemory();
    if (Settings.Mode.uci) return UCI.Dialogue(FirstWord);
    GameLoop();
    // Under an interface the farewell is not protocol: it goes to the log.
    if (Settings.UnderInterface())
        WriteLogFile("Bye, Thanks for the match.\n");
    else
        std::printf("Bye, Thanks for the match.\n");
    CloseLogFile();
    return 0;
}
