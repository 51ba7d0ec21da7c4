// Start-up: tables, start position, command line, then the protocol word.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "board/board.h"
#include "book/book.h"
#include "frontend/frontend.h"
#include "platform/platform.h"
#include "web/web.h"

int main(int argc, char** argv) {
    // The version alone, as scripts read it, before the greeting.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            PrintVersion();
            return 0;
        }
    std::printf("Vorn \n");
    std::fflush(stdout);
    Settings.initVars();
    Settings.setxboard(0);
    Settings.Mode.uci = 0;
    MainBoard.InitRep();
    initPStable();
    buildbook();
    MainBoard.InitRep();
    Settings.initVars();

    // The engine of the whole run: the front end searches with it.
    const auto engine = std::make_unique<Engine>();
    switch (ParseCommandLine(argc, argv, *engine)) {
    case CommandLineHelp:
        std::exit(0);
    case CommandLineBadUsage:
        std::exit(2);
    default:
        break;
    }
    // Only a run that goes on to work writes a log.
    OpenLogFile(LogFileName[0] ? LogFileName : nullptr);

    LoadCommandLineBook();
    SeedStrength();
    // Before the protocol is known its problems go to standard error; the
    // protocol's greeting tells them again.
    StartTables();
    TellTablesMessage();
    if (WebChoice.Serve) {
        WebServerSettings web;
        web.Host = WebChoice.Host;
        web.Port = WebChoice.Port;
        web.SearchThreads = engine->Helpers.ThreadCount();
        return RunWebServer(web);
    }
    std::signal(SIGINT, SIG_IGN);
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    // The first word names the protocol; a console user types any other word.
    if (!Settings.Mode.PERFT && !Settings.Mode.Bench && !Settings.Mode.SATrain) {
        if (InputIsTerminal())
            std::printf("Type a word to play here (xboard and uci are for interfaces): ");
        ReadInputWord(FirstWord, FirstWordLength);
        if (std::strstr(FirstWord, "uci")) Settings.Mode.uci = 1;
        if (std::strstr(FirstWord, "xboard")) Settings.setxboard(1);
    }
    // The deepest search line needs more stack than a thread may get by default.
    return RunWithStack([](void* context) { return MatchLoop(*static_cast<Engine*>(context)); },
                        engine.get(), SearchStackBytes);
}
