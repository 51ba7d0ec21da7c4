// The web front end: "vorn --web" serves a page with a board on this
// machine. Each page that opens gets a game of its own, with an engine of
// its own; the page sends commands and hears the game's events.
//
// What the server answers, and what it refuses:
// - GET /, GET /NAME: the page's files (index.html and its bundle), read
//   once at the start from the page's folder; no other path is served.
// - GET /api/events: a new game and its event stream (server-sent events);
//   the first event names the game. At most MaxGames at once.
// - POST /api/command: a command of a game (form fields, "cmd" first), the
//   game named by the X-Vorn-Game header; POST /api/stop ends the server.
// - Every request names this server in its Host header (a loopback name, or
//   the --host address), and carries no Origin but this server's: a page of
//   another site, or of a name that rebinds to this machine, is refused.
#pragma once

#include <memory>
#include <string>

#include "frontend/frontend.h"

struct WebServerSettings {
    std::string Host = "127.0.0.1";
    int Port = DefaultWebPort; // 0: any free port
    // The built page; empty: the folder "web" beside the program, or the
    // installed share/vorn/web.
    std::string PageFolder;
    int SearchThreads = 1; // of each game's engine
};

// Pages with a game at once; another page is refused until one closes.
constexpr int MaxGames = 4;

class WebServer {
  public:
    explicit WebServer(const WebServerSettings& settings);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Reads the page and binds the address; false, with the reason in
    // Problem(), when either fails.
    bool Open();
    // Serves on threads of its own until Stop.
    void Start();
    // Ends every game, closes the connections and returns when all the
    // server's threads have ended.
    void Stop();
    // The port bound (the one asked for, or the free one found).
    int Port() const;
    // A page asked the server to stop.
    bool StopAsked() const;
    const std::string& Problem() const;
    // "http://127.0.0.1:8960/"
    std::string Address() const;

  private:
    struct Parts;
    std::unique_ptr<Parts> Own;
};

// Whether `host` names this machine only (127.0.0.0/8, ::1, localhost).
bool IsLoopbackHost(const std::string& host);

// "vorn --web": serves until Ctrl-C, SIGTERM or the page's stop; returns
// the exit status (1 when the page is missing or the address cannot be
// bound).
int RunWebServer(const WebServerSettings& settings);
