// The web front end: the values the page sends, a game's commands, and the
// server's refusals, over real sockets to a server on a free port.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "web/web.h"
#include "web/webgame.h"
#include "web/webtext.h"

namespace {

TEST(WebText, ClockShortForms) {
    struct Case {
        const char* Text;
        bool Read;
        int BaseMs, IncrementMs;
    };
    const Case cases[] = {
        {"5+3", true, 300000, 3000},
        {"1:30+1", true, 90000, 1000},
        {"0.5+0.25", true, 30000, 250},
        {"0:05+0.05", true, 5000, 50},
        {"180+60", true, 10800000, 60000},
        {"0:01+0", true, 1000, 0},
        {"5", false, 0, 0},
        {"+3", false, 0, 0},
        {"5+", false, 0, 0},
        {"5+61", false, 0, 0},
        {"0+1", false, 0, 0},
        {"181+0", false, 0, 0},
        {"1:60+0", false, 0, 0},
        {"1:5+0", false, 0, 0},
        {"5+0.0001", false, 0, 0},
        {"-5+3", false, 0, 0},
        {"5 + 3", false, 0, 0},
        {"5.+3", false, 0, 0},
        {"99999999999+0", false, 0, 0},
        {"5+3+1", false, 0, 0},
    };
    for (const Case& c : cases) {
        ClockSetting clock;
        EXPECT_EQ(ReadClock(c.Text, &clock), c.Read) << c.Text;
        if (!c.Read) continue;
        EXPECT_EQ(clock.BaseMs, c.BaseMs) << c.Text;
        EXPECT_EQ(clock.IncrementMs, c.IncrementMs) << c.Text;
    }
}

TEST(WebText, FenShapesAndMoveWords) {
    for (const char* fen :
         {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "8/8/8/8/8/8/8/K6k b - -",
          "bbqnnrkr/8/8/8/8/8/8/BBQNNRKR w HFhf - 0 1", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2"})
        EXPECT_TRUE(FenIsWellFormed(fen)) << fen;
    for (const char* fen : {"", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR",
                            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1",
                            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRR w KQkq - 0 1",
                            "rnbqkbnr/pppppppp/44/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/8 w KQkq - 0 1",
                            "rnbqkbnr/ppppxppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                            "8/8/8/8/8/8/8/K6k x - - 0 1", "8/8/8/8/8/8/8/K6k w KK - 0 1",
                            "8/8/8/8/8/8/8/K6k w - e4 0 1", "8/8/8/8/8/8/8/K6k w - - 0",
                            "8/8/8/8/8/8/8/K6k w - - a 1", "8/8/8/8/8/8/8/K6k  w - - 0 1"})
        EXPECT_FALSE(FenIsWellFormed(fen)) << fen;

    std::vector<std::string> moves;
    EXPECT_TRUE(ReadMoveWords("e2e4 e7e5 e7e8q", 3, &moves));
    EXPECT_EQ(moves, (std::vector<std::string>{"e2e4", "e7e5", "e7e8q"}));
    EXPECT_TRUE(ReadMoveWords("", 3, &moves));
    EXPECT_TRUE(moves.empty());
    for (const char* text : {"e2e4 e7e5 g1f3 b8c6", "e2e4  e7e5", " e2e4", "e2e9", "e7e8k", "E2E4",
                             "e2e4,e7e5", "O-O"})
        EXPECT_FALSE(ReadMoveWords(text, 3, &moves)) << text;
}

TEST(WebText, JsonEscapesAndScoresAsWhiteSeesThem) {
    EXPECT_EQ(JsonString("a\"b\\c\n\x01\xff"), "\"a\\\"b\\\\c\\u000a\\u0001\\u00ff\"");
    EXPECT_EQ(ScoreJson(340, White), "{\"cp\":34}");
    EXPECT_EQ(ScoreJson(340, Black), "{\"cp\":-34}");
    EXPECT_EQ(ScoreJson(MateValue - 3, White), "{\"mate\":2}");
    EXPECT_EQ(ScoreJson(MateValue - 3, Black), "{\"mate\":-2}");
    EXPECT_EQ(ScoreJson(-(MateValue - 2), White), "{\"mate\":-1}");
}

// ---------------------------------------------------------------------------
// A game, without the server
// ---------------------------------------------------------------------------

// Collects a game's events until one holds all of `texts`.
class GameEvents {
  public:
    explicit GameEvents(WebGame& game) : Game(game) {}

    // The first event (a "data:" block) after the last one returned that
    // holds every text; empty when none comes within `seconds`.
    std::string WaitFor(std::initializer_list<const char*> texts, double seconds = 30) {
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::milliseconds(static_cast<int>(seconds * 1000));
        for (;;) {
            size_t end;
            while ((end = Pending.find("\n\n")) != std::string::npos) {
                const std::string event = Pending.substr(0, end);
                Pending.erase(0, end + 2);
                bool all = true;
                for (const char* text : texts) all &= event.find(text) != std::string::npos;
                if (all) return event;
            }
            if (std::chrono::steady_clock::now() > deadline) return "";
            if (!Game.TakeEvents(&Pending, 100)) return "";
        }
    }

  private:
    WebGame& Game;
    std::string Pending;
};

CommandReply Send(WebGame& game, CommandFields fields) { return game.Command(fields); }

TEST(WebGame, PlaysTakesBackAndEndsItsGames) {
    WebGame game(1);
    ASSERT_TRUE(game.Start());
    GameEvents events(game);

    // Vorn plays White from the start: its first move comes by itself.
    ASSERT_EQ(
        Send(game,
             {{"cmd", "new"}, {"side", "black"}, {"clock", "1+0"}, {"vornclock", "0:02+0.02"}})
            .Status,
        200);
    const std::string first =
        events.WaitFor({"\"type\":\"state\"", "\"vorn\":\"white\"", "\"thinking\":false"});
    ASSERT_NE(first, "");
    EXPECT_NE(first.find("\"moves\":[\""), std::string::npos) << first;
    EXPECT_NE(first.find("\"running\":\"black\""), std::string::npos) << first;

    // A move that is not legal changes nothing; a legal one is answered.
    EXPECT_EQ(Send(game, {{"cmd", "move"}, {"move", "e2e4"}}).Status, 400);
    for (const char* reply : {"a7a6", "h7h6"}) {
        if (Send(game, {{"cmd", "move"}, {"move", reply}}).Status == 200) break;
    }
    ASSERT_NE(events.WaitFor({"\"type\":\"state\"", "\",\"", "\"thinking\":false"}), "");
    // Take-back: the player's move and Vorn's reply go, back to one move.
    ASSERT_EQ(Send(game, {{"cmd", "undo"}}).Status, 200);
    const std::string back = events.WaitFor({"\"type\":\"state\""});
    const size_t moves = back.find("\"moves\":[");
    ASSERT_NE(moves, std::string::npos);
    EXPECT_EQ(std::count(back.begin() + moves, back.begin() + back.find(']', moves), ','), 0)
        << back;
    EXPECT_EQ(Send(game, {{"cmd", "movenow"}}).Status, 409);

    // A mate ends the game with its reason, and the game takes no move after it.
    ASSERT_EQ(Send(game, {{"cmd", "new"},
                          {"side", "white"},
                          {"clock", "5+0"},
                          {"fen", "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"}})
                  .Status,
              200);
    ASSERT_EQ(Send(game, {{"cmd", "move"}, {"move", "a1a8"}}).Status, 200);
    EXPECT_NE(events.WaitFor({"\"result\":\"1-0\"", "\"reason\":\"White mates\""}), "");
    EXPECT_EQ(Send(game, {{"cmd", "move"}, {"move", "g1g2"}}).Status, 409);

    // A flag that falls while its player thinks ends the game by itself.
    ASSERT_EQ(Send(game, {{"cmd", "new"}, {"side", "white"}, {"clock", "0:01+0"}}).Status, 200);
    EXPECT_NE(events.WaitFor({"\"reason\":\"White's flag fell\"", "\"result\":\"0-1\""}, 10), "");
}

TEST(WebGame, AnalysesAnyPositionWithItsLinesAndScansTheGame) {
    WebGame game(1);
    ASSERT_TRUE(game.Start());
    GameEvents events(game);
    ASSERT_EQ(Send(game, {{"cmd", "option"}, {"name", "MultiPV"}, {"value", "2"}}).Status, 200);
    ASSERT_EQ(Send(game, {{"cmd", "load"}, {"moves", "e2e4 e7e5 g1f3 b8c6 f1b5"}}).Status, 200);
    // Every move of the game gets a point of the graph.
    for (int ply = 1; ply <= 5; ++ply)
        EXPECT_NE(events.WaitFor({("\"type\":\"graph\",\"ply\":" + std::to_string(ply)).c_str()}),
                  "")
            << ply;
    const std::string second = events.WaitFor({"\"kind\":\"analysis\"", "\"multipv\":2"});
    EXPECT_NE(second, "");
    // Another position of the game, and a line after it: the lines follow.
    const CommandReply reply =
        Send(game, {{"cmd", "analyse"}, {"ply", "2"}, {"line", "g1f3 b8c6 f1c4"}});
    ASSERT_EQ(reply.Status, 200) << reply.Json;
    const std::string id = reply.Json.substr(reply.Json.find("\"id\":") + 5);
    const std::string line =
        events.WaitFor({("\"id\":" + id.substr(0, id.size() - 1) + ",").c_str(), "\"depth\":6"});
    ASSERT_NE(line, "");
    EXPECT_EQ(line.find("\"pv\":[\"f1c4\""), std::string::npos) << "Black is to move: " << line;
    for (const CommandFields& bad : std::vector<CommandFields>{
             {{"cmd", "analyse"}, {"ply", "6"}},
             {{"cmd", "analyse"}, {"ply", "2"}, {"line", "e1e3"}},
             {{"cmd", "analyse"}, {"ply", "x"}},
             {{"cmd", "option"}, {"name", "MultiPV"}, {"value", "0"}},
             {{"cmd", "option"}, {"name", "Hash"}, {"value", "16"}},
             {{"cmd", "load"}, {"moves", "e2e4 e2e4"}},
             {{"cmd", "load"}, {"fen", "8/8/8/8/8/8/8/8 w - - 0 1"}},
             {{"cmd", "new"}, {"side", "white"}, {"clock", "5+3"}, {"chess960", "1"}},
             {{"cmd", "flip"}},
         })
        EXPECT_EQ(Send(game, bad).Status, 400) << bad.begin()->second;
}

TEST(WebGame, TellsTheEndgameTablesVerdictOfThePositionAnalysed) {
    ASSERT_EQ(Tablebases.Start("/usr/share/gaviotatb/gtb4", 4), TablesStarted);
    {
        WebGame game(1);
        ASSERT_TRUE(game.Start());
        GameEvents events(game);
        // King and queen against king: White wins, whoever is to move.
        ASSERT_EQ(Send(game, {{"cmd", "load"}, {"fen", "8/8/8/8/8/1k6/8/K1Q5 w - - 0 1"}}).Status,
                  200);
        const std::string verdict = events.WaitFor({"\"type\":\"tablebase\""});
        EXPECT_NE(verdict.find("\"winner\":\"white\""), std::string::npos) << verdict;
        EXPECT_NE(events.WaitFor({"\"kind\":\"analysis\"", "\"score\":{\"mate\":"}), "");
        ASSERT_EQ(Send(game, {{"cmd", "analyse"}, {"ply", "0"}, {"line", "c1c2 b3b4"}}).Status,
                  200);
        EXPECT_NE(events.WaitFor({"\"type\":\"tablebase\"", "\"winner\":\"white\""}), "");
        // A draw is a verdict too: the king takes the queen.
        ASSERT_EQ(Send(game, {{"cmd", "load"}, {"fen", "8/8/8/8/8/8/2k5/K1Q5 b - - 0 1"}}).Status,
                  200);
        EXPECT_NE(events.WaitFor({"\"type\":\"tablebase\"", "\"winner\":\"draw\""}), "");
    }
    Tablebases.Stop();
}

// ---------------------------------------------------------------------------
// The server over sockets
// ---------------------------------------------------------------------------

// A connection to the server; requests are written as they are given, and
// reading gives up thirty seconds after the connection was made.
class RawConnection {
  public:
    explicit RawConnection(int port)
        : Deadline(std::chrono::steady_clock::now() + std::chrono::seconds(30)) {
        Socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        timeval timeout{0, 200 * 1000};
        setsockopt(Socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        connect(Socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~RawConnection() { close(Socket); }

    void Write(const std::string& text) const {
        for (size_t sent = 0; sent < text.size();) {
            const ssize_t n = send(Socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<size_t>(n);
        }
    }
    // Everything received once `text` has come; empty when the connection
    // ends, or the time is up, first.
    std::string ReadUntil(const std::string& text) {
        while (Received.find(text) == std::string::npos)
            if (!Receive()) return "";
        return Received;
    }
    // Everything received until the connection ends or the time is up.
    std::string ReadAll() {
        while (Receive()) {
        }
        return Received;
    }

  private:
    bool Receive() {
        char buffer[4096];
        while (std::chrono::steady_clock::now() < Deadline) {
            const ssize_t n = recv(Socket, buffer, sizeof buffer, 0);
            if (n > 0) {
                Received.append(buffer, static_cast<size_t>(n));
                return true;
            }
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return false;
        }
        return false;
    }

    int Socket = -1;
    std::chrono::steady_clock::time_point Deadline;
    std::string Received;
};

int StatusOf(const std::string& response) {
    return response.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(response.c_str() + 9) : 0;
}

class WebServerTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        Root = std::filesystem::temp_directory_path() / ("vorn-web-" + std::to_string(getpid()));
        std::filesystem::remove_all(Root);
        std::filesystem::create_directories(Root / "page" / "sub");
        std::ofstream(Root / "page" / "index.html") << "<title>the page</title>";
        std::ofstream(Root / "page" / "page.js") << "// the script";
        std::ofstream(Root / "page" / ".hidden.js") << "HIDDEN";
        std::ofstream(Root / "page" / "notes.txt") << "NOTES";
        std::ofstream(Root / "page" / "sub" / "inner.js") << "INNER";
        std::ofstream(Root / "secret.html") << "SECRET";
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(Root); }

    void SetUp() override {
        WebServerSettings settings;
        settings.Port = 0;
        settings.PageFolder = (Root / "page").string();
        Server = std::make_unique<WebServer>(settings);
        ASSERT_TRUE(Server->Open()) << Server->Problem();
        Server->Start();
        Host = "127.0.0.1:" + std::to_string(Server->Port());
    }
    void TearDown() override { Server->Stop(); }

    // One request on its own connection: the whole response.
    std::string Request(const std::string& text) const {
        RawConnection connection(Server->Port());
        connection.Write(text);
        return connection.ReadAll();
    }
    std::string Get(const std::string& path, const std::string& headers = "") const {
        return Request("GET " + path + " HTTP/1.1\r\nHost: " + Host + "\r\n" + headers +
                       "Connection: close\r\n\r\n");
    }
    std::string Post(const std::string& game, const std::string& body,
                     const std::string& headers = "") const {
        return Request("POST /api/command HTTP/1.1\r\nHost: " + Host + "\r\nX-Vorn-Game: " + game +
                       "\r\nContent-Type: application/x-www-form-urlencoded\r\n" + headers +
                       "Content-Length: " + std::to_string(body.size()) +
                       "\r\nConnection: close\r\n\r\n" + body);
    }
    // A game's event stream, open until the connection goes; its token.
    std::unique_ptr<RawConnection> OpenGame(std::string* game) const {
        auto stream = std::make_unique<RawConnection>(Server->Port());
        stream->Write("GET /api/events HTTP/1.1\r\nHost: " + Host + "\r\n\r\n");
        const std::string head = stream->ReadUntil("\r\n\r\n");
        const std::string hello =
            StatusOf(head) == 200 ? stream->ReadUntil("\"type\":\"state\"") : "";
        const size_t at = hello.find("\"game\":\"");
        *game = at == std::string::npos ? "" : hello.substr(at + 8, 32);
        return stream;
    }

    static inline std::filesystem::path Root;
    std::unique_ptr<WebServer> Server;
    std::string Host;
};

TEST_F(WebServerTest, ServesThePageAndNothingElse) {
    const std::string page = Get("/");
    EXPECT_EQ(StatusOf(page), 200) << page;
    EXPECT_NE(page.find("<title>the page</title>"), std::string::npos);
    EXPECT_NE(page.find("Content-Security-Policy: default-src 'self'"), std::string::npos);
    EXPECT_EQ(StatusOf(Get("/page.js")), 200);
    for (const std::string& path : std::vector<std::string>{
             "/../secret.html", "/%2e%2e/secret.html", "/..%2fsecret.html", "/%2E%2E%2Fsecret.html",
             "//secret.html", "/page/../../secret.html", "/sub/inner.js", "/sub%2finner.js",
             "/.hidden.js", "/notes.txt", "/index.html%00.js", "/index.html?x=1",
             "/..\\secret.html", std::string("/").append((Root / "secret.html").string())}) {
        const std::string response = Get(path);
        EXPECT_GE(StatusOf(response), 400) << path << "\n" << response;
        EXPECT_LT(StatusOf(response), 500) << path;
        for (const char* secret : {"SECRET", "HIDDEN", "INNER", "NOTES"})
            EXPECT_EQ(response.find(secret), std::string::npos) << path;
    }
}

TEST_F(WebServerTest, RefusesOtherNamesOtherSitesAndMalformedRequests) {
    const std::string port = std::to_string(Server->Port());
    // The status expected, or a range of them; a malformed request may also
    // be closed without an answer (status 0).
    struct Case {
        std::string Request;
        int Status;
        int LastStatus = 0;
    };
    const std::string get = "GET / HTTP/1.1\r\n";
    const std::string end = "Connection: close\r\n\r\n";
    const Case cases[] = {
        {get + "Host: localhost:" + port + "\r\n" + end, 200},
        {get + "Host: [::1]:" + port + "\r\n" + end, 200},
        // DNS rebinding: a name of another site that points here.
        {get + "Host: vorn.attacker.example:" + port + "\r\n" + end, 403},
        {get + "Host: 127.0.0.1:1\r\n" + end, 403},
        {get + "Host: 127.0.0.1\r\n" + end, 403},
        {get + end, 403},
        {get + "Host: 127.0.0.1:" + port + "\r\nHost: evil.example\r\n" + end, 403},
        // Another site's page.
        {"GET /api/events HTTP/1.1\r\nHost: 127.0.0.1:" + port +
             "\r\nOrigin: http://evil.example\r\n" + end,
         403},
        {get + "Host: 127.0.0.1:" + port + "\r\nOrigin: http://127.0.0.1:" + port + "\r\n" + end,
         200},
        {get + "Host: 127.0.0.1:" + port + "\r\nOrigin: null\r\n" + end, 403},
        {get + "Host: 127.0.0.1:" + port + "\r\nSec-Fetch-Site: cross-site\r\n" + end, 403},
        // Malformed and oversize requests.
        {"NONSENSE\r\n\r\n", 400, 499},
        {"GET / HTTP/1.1\r\nHost 127.0.0.1\r\n" + end, 400, 499},
        {"GET /" + std::string(10000, 'a') + " HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n" + end,
         400, 499},
        {"POST /api/command HTTP/1.1\r\nHost: 127.0.0.1:" + port +
             "\r\nContent-Length: 100000\r\n" + end,
         413},
        {"POST /api/command HTTP/1.1\r\nHost: 127.0.0.1:" + port +
             "\r\nContent-Length: 99999999999999999999999\r\n" + end,
         400, 499},
        {"POST /api/command HTTP/1.1\r\nHost: 127.0.0.1:" + port +
             "\r\nTransfer-Encoding: chunked\r\n" + end + "fffffffffffffffffff\r\n",
         400, 499},
        // A range the page never asks for: served whole or refused.
        {"GET / HTTP/1.1\r\nHost: 127.0.0.1:" + port +
             "\r\nRange: bytes=99999999999999999999999-\r\n" + end,
         200, 416},
        {"DELETE / HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n" + end, 400, 499},
    };
    // All at once: the library spends its read timeout on some of them.
    std::vector<std::string> responses(std::size(cases));
    std::vector<std::thread> clients;
    for (size_t i = 0; i < std::size(cases); ++i)
        clients.emplace_back([&, i] { responses[i] = Request(cases[i].Request); });
    for (std::thread& client : clients) client.join();
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const int status = StatusOf(responses[i]);
        const int last = c.LastStatus ? c.LastStatus : c.Status;
        EXPECT_TRUE((status >= c.Status && status <= last) || (status == 0 && c.Status >= 400))
            << c.Request.substr(0, 200) << "\n"
            << responses[i];
    }
    // After all that the server still serves.
    EXPECT_EQ(StatusOf(Get("/")), 200);
}

TEST_F(WebServerTest, ChecksEveryCommandAndPlaysOn) {
    std::string game;
    const auto stream = OpenGame(&game);
    ASSERT_EQ(game.size(), 32u);
    EXPECT_NE(stream->ReadUntil("\"options\":[{\"name\":\"MultiPV\""), "");

    struct Case {
        std::string Body;
        int Status;
    };
    const Case cases[] = {
        {"cmd=new&side=black&clock=5%2B3&cmd=load", 400}, // a field twice
        {"cmd=new&colour=black", 400},                    // an unknown field
        {"cmd=new&side=black&clock=5%2B3&fen=" + std::string(9000, 'x'), 413},
        {"cmd=new&side=black&clock=5%2B3&fen=8%2F8%00", 400},
        {"cmd=new&side=black&clock=5%2B3&fen=4k3%2F8%2F8%2F8%2F8%2F8%2F8%2F4KK2+w+-+-+0+1", 400},
        {"cmd=new&side=purple&clock=5%2B3", 400},
        {"cmd=new&side=white&clock=soon", 400},
        {"cmd=move&move=e2e4", 409}, // no game is being played yet
        {"", 400},
        {"cmd=%ff%fe", 400},
        {"cmd=new&side=white&clock=0%3A30%2B0", 200},
        {"cmd=move&move=e2e5", 400},
        {"cmd=move&move=e2e4%20e7e5", 400},
        {"cmd=option&name=Threads&value=4", 400},
        {"cmd=option&name=MultiPV&value=65", 400},
        {"cmd=move&move=g1f3", 200},
    };
    for (const Case& c : cases) {
        const std::string response = Post(game, c.Body);
        EXPECT_EQ(StatusOf(response), c.Status) << c.Body.substr(0, 100) << "\n" << response;
    }
    EXPECT_EQ(StatusOf(Post("0123456789abcdef0123456789abcdef", "cmd=undo")), 403);
    EXPECT_EQ(StatusOf(Post(game, "cmd=undo", "Origin: http://evil.example\r\n")), 403);
    EXPECT_EQ(StatusOf(Request("POST /api/command HTTP/1.1\r\nHost: " + Host +
                               "\r\nX-Vorn-Game: " + game +
                               "\r\nContent-Type: text/plain\r\nContent-Length: 8\r\n"
                               "Connection: close\r\n\r\ncmd=undo")),
              415);
    EXPECT_EQ(StatusOf(Request("POST /api/command?cmd=undo HTTP/1.1\r\nHost: " + Host +
                               "\r\nX-Vorn-Game: " + game +
                               "\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                               "Content-Length: 0\r\nConnection: close\r\n\r\n")),
              400);
    // The game went on through all of it: Vorn answers the move.
    EXPECT_NE(stream->ReadUntil("\"moves\":[\"g1f3\",\""), "") << stream->ReadAll();

    // A flood is cut short, and the game takes commands again a moment later.
    int refused = 0;
    for (int i = 0; i < 3 * CommandBurst; ++i)
        refused += StatusOf(Post(game, "cmd=movenow")) == 429;
    EXPECT_GT(refused, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000 * 4 / CommandsPerSecond));
    EXPECT_NE(StatusOf(Post(game, "cmd=movenow")), 429);

    // Only a page of the server's own may stop it.
    const std::string stop = "POST /api/stop HTTP/1.1\r\nHost: " + Host +
                             "\r\nContent-Length: 0\r\nConnection: close\r\n";
    EXPECT_EQ(StatusOf(Request(stop + "X-Vorn-Game: 0123456789abcdef0123456789abcdef\r\n\r\n")),
              403);
    EXPECT_FALSE(Server->StopAsked());
    EXPECT_EQ(StatusOf(Request(stop + "X-Vorn-Game: " + game + "\r\n\r\n")), 200);
    EXPECT_TRUE(Server->StopAsked());
}

TEST_F(WebServerTest, HoldsAtMostFourGamesAndFreesAClosedOne) {
    std::vector<std::unique_ptr<RawConnection>> streams;
    for (int i = 0; i < MaxGames; ++i) {
        std::string game;
        streams.push_back(OpenGame(&game));
        ASSERT_EQ(game.size(), 32u) << i;
    }
    EXPECT_EQ(StatusOf(Get("/api/events")), 503);
    streams.pop_back();
    // The closed stream's game goes as soon as the server sees the socket closed.
    std::string game;
    for (int attempt = 0; attempt < 50 && game.empty(); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        auto stream = OpenGame(&game);
        if (!game.empty()) streams.push_back(std::move(stream));
    }
    EXPECT_EQ(game.size(), 32u);
}

// Generated hostile input: random requests of every kind, then the server
// still serves and a game still plays. Under the sanitizer build this is the
// endpoint's hostile-input run.
TEST_F(WebServerTest, SurvivesHostileInput) {
    std::string game;
    const auto stream = OpenGame(&game);
    ASSERT_EQ(game.size(), 32u);
    std::atomic<int> requests = 0;
    const auto start = std::chrono::steady_clock::now();
    // Each client sends its own random requests until the time is up.
    const auto client = [&](unsigned seed) {
        std::mt19937 random(seed);
        const auto pick = [&](std::initializer_list<std::string> choices) {
            return *(choices.begin() + random() % choices.size());
        };
        const auto noise = [&](size_t length) {
            std::string text;
            for (size_t i = 0; i < length; ++i) text += static_cast<char>(random() % 256);
            return text;
        };
        const auto encoded = [&](const std::string& text) {
            std::string out;
            for (unsigned char c : text) {
                char hex[4];
                std::snprintf(hex, sizeof hex, "%%%02x", c);
                out += hex;
            }
            return out;
        };
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(3)) {
            ++requests;
            const int kind = static_cast<int>(random() % 6);
            if (kind == 0) {
                Request(noise(random() % 600));
            } else if (kind == 1) {
                Get(pick({"/", "/api/command", "/../", "/%", "/%zz", "/a%00b",
                          std::string("/").append(noise(40))}),
                    pick({"", std::string("Range: bytes=").append(noise(8)).append("\r\n"),
                          std::string("Origin: ").append(noise(10)).append("\r\n")}));
            } else {
                const std::string field =
                    pick({"cmd", "side", "clock", "fen", "move", "ply", "line", "moves", "name",
                          "value", "chess960", "vornclock"});
                const std::string command =
                    pick({"new", "load", "move", "undo", "analyse", "play", "option", "resign",
                          "movenow", encoded(noise(6))});
                const std::string value =
                    pick({encoded(noise(random() % 40)), "5%2B3", "e2e4", "white", "MultiPV", "2",
                          "e2e4+e7e5", "99999999999", "-1"});
                Post(game,
                     "cmd=" + command + "&" + field + "=" + value + "&side=white&clock=0.1%2B0");
            }
        }
    };
    std::vector<std::thread> clients;
    for (unsigned seed = 1; seed <= 6; ++seed) clients.emplace_back(client, 20261211 + seed);
    for (std::thread& thread : clients) thread.join();
    EXPECT_GT(requests, 30);
    EXPECT_EQ(StatusOf(Get("/")), 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // A start of its own, so that its state is told from the earlier games'.
    EXPECT_EQ(
        StatusOf(Post(game, "cmd=new&side=black&clock=0%3A03%2B0&fen=4k3%2F8%2F8%2F8%2F8%2F8%2F"
                            "8%2FR3K3+w+Q+-+0+1")),
        200);
    EXPECT_NE(stream->ReadUntil("\"start\":\"4k3/8/8/8/8/8/8/R3K3 w Q - 0 1\",\"chess960\":false,"
                                "\"moves\":[\""),
              "");
}

} // namespace
