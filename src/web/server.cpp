// The web page's server on Debian's cpp-httplib: the guards every request
// passes, the page's files, the games' event streams and commands, and the
// run of "vorn --web" until Ctrl-C.
//
// The library is built with exceptions and catches its own (a malformed
// header's number, say); its header declares no inline code that throws,
// so this file builds with -fno-exceptions like the rest of Vorn, and the
// handlers below throw nothing into the library.
#include "web/web.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include "frontend/options.h"
#include "web/webgame.h"

namespace {

// Connections served at once: the games' event streams, each of which holds
// a worker, and the page's requests beside them.
constexpr int Workers = 2 * MaxGames + 8;
// Accepted connections that wait for a worker; beyond them the server
// accepts no more until one is taken, and the system's listen queue holds
// the rest.
constexpr size_t WaitingConnections = 16;
// The largest command the page sends (a loaded game of 500 moves fits).
constexpr size_t MaxMessageBytes = 8192;
// Fields a command may have.
constexpr size_t MaxFields = 8;
// An idle event stream gets a comment this often: a page that has gone is
// seen when a write fails (the second after it went), and its game ends.
constexpr int HeartbeatMs = 1000;
// What the page's folder may hold: its files are read into memory.
constexpr size_t MaxPageBytes = size_t(32) << 20;
constexpr size_t MaxPageFiles = 64;

constexpr const char* GameHeader = "X-Vorn-Game";
constexpr const char* FormType = "application/x-www-form-urlencoded";

// The field names a command may carry.
constexpr const char* FieldNames[] = {"cmd",  "side", "clock", "vornclock", "fen",  "chess960",
                                      "move", "ply",  "line",  "moves",     "name", "value"};

struct FileType {
    const char* Extension;
    const char* Type;
};
constexpr FileType FileTypes[] = {
    {".html", "text/html; charset=utf-8"},
    {".js", "text/javascript; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".svg", "image/svg+xml"},
    {".png", "image/png"},
    {".ico", "image/x-icon"},
    {".map", "application/json"},
};

// The page runs only what it was built with: its own scripts and styles,
// the pieces' images inlined in the styles, requests to this server.
constexpr const char* PagePolicy =
    "default-src 'self'; img-src 'self' data:; style-src 'self'; connect-src 'self'; "
    "frame-ancestors 'none'; base-uri 'none'; form-action 'none'";

const char* TypeOf(const std::string& name) {
    for (const FileType& type : FileTypes) {
        const std::string_view extension = type.Extension;
        if (name.size() > extension.size() &&
            name.compare(name.size() - extension.size(), extension.size(), extension) == 0)
            return type.Type;
    }
    return nullptr;
}

// A name of the page's folder that the server may answer: letters, digits,
// '.', '-' and '_', not starting with '.'.
bool IsPageName(const std::string& name) {
    if (name.empty() || name[0] == '.' || name.size() > 128) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == '_';
    });
}

std::string Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool IsIPv4Literal(const std::string& name) {
    int parts = 0, digits = 0;
    for (char c : name) {
        if (c == '.') {
            if (digits == 0) return false;
            ++parts;
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 3) {
            ++digits;
        } else {
            return false;
        }
    }
    return parts == 3 && digits > 0;
}

bool IsIPv6Literal(const std::string& name) {
    return name.size() > 2 && name.front() == '[' && name.back() == ']' &&
           std::all_of(name.begin() + 1, name.end() - 1, [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == ':' || c == '.';
           });
}

std::string RandomToken() {
    std::random_device device;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(device()));
        token += part;
    }
    return token;
}

std::string OptionListJson() {
    std::string json = "[";
    for (const char* name : PageOptionNames) {
        const OptionRow* row = ProtocolOptions.Find(ForUCI, name);
        if (!row) continue;
        static constexpr const char* Kinds[] = {"check", "spin", "combo", "string", "button"};
        json += json.size() > 1 ? "," : "";
        json += "{\"name\":" + JsonString(row->Name) + ",\"kind\":\"" +
                Kinds[static_cast<int>(row->Kind)] + "\"";
        if (row->Kind == OptionKind::Check || row->Kind == OptionKind::Spin)
            json += ",\"default\":" + std::to_string(row->Default);
        if (row->Kind == OptionKind::Spin)
            json += ",\"min\":" + std::to_string(row->Min) + ",\"max\":" + std::to_string(row->Max);
        if (row->Kind == OptionKind::Combo || row->Kind == OptionKind::String)
            json += ",\"default\":" + JsonString(row->DefaultText);
        if (row->Kind == OptionKind::Combo) {
            json += ",\"choices\":[";
            for (int i = 0; i < MaxOptionChoices && row->Choices[i]; ++i)
                json += (i ? "," : "") + JsonString(row->Choices[i]);
            json += "]";
        }
        json += "}";
    }
    return json + "]";
}

// The connections' workers. The library's accept loop hands each
// connection over here; while every worker is busy and the waiting list is
// full, it waits, so that the connections held are bounded.
class ConnectionPool : public httplib::TaskQueue {
  public:
    ConnectionPool() {
        for (int i = 0; i < Workers; ++i) Threads.emplace_back([this] { Work(); });
    }

    void enqueue(std::function<void()> job) override {
        std::unique_lock<std::mutex> lock(Mutex);
        Room.wait(lock, [&] { return Jobs.size() < WaitingConnections || Ending; });
        Jobs.push_back(std::move(job));
        Ready.notify_one();
    }

    // The accept loop waits no more: the server is stopping.
    void Release() {
        const std::lock_guard<std::mutex> lock(Mutex);
        Ending = true;
        Room.notify_all();
    }

    void shutdown() override {
        Release();
        Ready.notify_all();
        for (std::thread& thread : Threads) thread.join();
    }

  private:
    void Work() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock<std::mutex> lock(Mutex);
                Ready.wait(lock, [&] { return !Jobs.empty() || Ending; });
                if (Jobs.empty()) return;
                job = std::move(Jobs.front());
                Jobs.pop_front();
                Room.notify_one();
            }
            job();
        }
    }

    std::vector<std::thread> Threads;
    std::deque<std::function<void()>> Jobs;
    std::mutex Mutex;
    std::condition_variable Ready, Room;
    bool Ending = false;
};

void Answer(httplib::Response& res, int status, const std::string& json) {
    res.status = status;
    res.set_content(json, "application/json");
}

void Refuse(httplib::Response& res, int status, const char* why) {
    Answer(res, status, "{\"error\":" + JsonString(why) + "}");
}

} // namespace

bool IsLoopbackHost(const std::string& host) {
    const std::string name = Lowered(host);
    return name == "localhost" || name == "::1" || name == "[::1]" ||
           (IsIPv4Literal(name) && name.rfind("127.", 0) == 0);
}

struct WebServer::Parts {
    WebServerSettings Settings;
    std::string Problem;
    httplib::Server Http;
    // Owned by Http, which makes it on the listener's thread.
    std::atomic<ConnectionPool*> Pool{nullptr};
    std::thread Listener;
    int BoundPort = 0;
    std::atomic<bool> Stopping{false}, StopAsked{false};

    std::map<std::string, std::pair<std::string, std::string>> Files; // name: type, body
    std::vector<std::string> HostNames; // lower case, with ":port" where the port is needed
    bool AnyAddress = false;            // bound to every address: any IP literal names it

    std::mutex GamesLock;
    std::map<std::string, std::shared_ptr<WebGame>> Games; // by the token the page holds

    bool LoadPage();
    std::string FindPageFolder() const;
    bool HostAllowed(const std::string& host) const;
    bool OriginAllowed(const std::string& origin) const;
    httplib::Server::HandlerResponse Guard(const httplib::Request& req, httplib::Response& res);
    void ServeFile(const httplib::Request& req, httplib::Response& res) const;
    void OpenEvents(httplib::Response& res);
    void Command(const httplib::Request& req, httplib::Response& res);
    std::shared_ptr<WebGame> GameOf(const httplib::Request& req);
    void Route();
};

std::string WebServer::Parts::FindPageFolder() const {
    if (!Settings.PageFolder.empty()) return Settings.PageFolder;
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "";
    const std::filesystem::path folder = program.parent_path();
    for (const std::filesystem::path& candidate :
         {folder / "web", folder.parent_path() / "share" / "vorn" / "web"})
        if (std::filesystem::is_regular_file(candidate / "index.html", error)) return candidate;
    return "";
}

bool WebServer::Parts::LoadPage() {
    const std::string folder = FindPageFolder();
    if (folder.empty()) {
        Problem = "this Vorn was built without its web page (building it needs npm), and no "
                  "page is installed beside it";
        return false;
    }
    std::error_code error;
    size_t total = 0;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (!entry->is_regular_file(error) || !IsPageName(name) || !TypeOf(name)) continue;
        std::ifstream file(entry->path(), std::ios::binary);
        std::ostringstream body;
        body << file.rdbuf();
        total += body.str().size();
        if (!file || total > MaxPageBytes || Files.size() >= MaxPageFiles) {
            Problem = "the page's folder " + folder + " cannot be read, or holds too much";
            return false;
        }
        Files[name] = {TypeOf(name), body.str()};
    }
    if (error || !Files.count("index.html")) {
        Problem = "the page's folder " + folder + " holds no index.html";
        return false;
    }
    return true;
}

bool WebServer::Parts::HostAllowed(const std::string& host) const {
    const std::string name = Lowered(host);
    const std::string port = ":" + std::to_string(BoundPort);
    if (std::find(HostNames.begin(), HostNames.end(), name) != HostNames.end()) return true;
    if (!AnyAddress || name.size() <= port.size() ||
        name.compare(name.size() - port.size(), port.size(), port) != 0)
        return false;
    const std::string address = name.substr(0, name.size() - port.size());
    return IsIPv4Literal(address) || IsIPv6Literal(address);
}

bool WebServer::Parts::OriginAllowed(const std::string& origin) const {
    const std::string scheme = "http://";
    return origin.compare(0, scheme.size(), scheme) == 0 &&
           HostAllowed(origin.substr(scheme.size()));
}

httplib::Server::HandlerResponse WebServer::Parts::Guard(const httplib::Request& req,
                                                         httplib::Response& res) {
    using httplib::Server;
    if (Stopping) {
        Refuse(res, 503, "the server is stopping");
        return Server::HandlerResponse::Handled;
    }
    // Another name for this machine is a page of another site that a DNS
    // server pointed here.
    if (req.get_header_value_count("Host") != 1 || !HostAllowed(req.get_header_value("Host"))) {
        Refuse(res, 403, "this server answers only requests that name it");
        return Server::HandlerResponse::Handled;
    }
    // A page of another origin may send requests here, but not act on a game.
    const size_t origins = req.get_header_value_count("Origin");
    if (origins > 1 || (origins == 1 && !OriginAllowed(req.get_header_value("Origin")))) {
        Refuse(res, 403, "requests from other sites are refused");
        return Server::HandlerResponse::Handled;
    }
    const std::string site = req.get_header_value("Sec-Fetch-Site");
    if (!site.empty() && site != "same-origin" && site != "none") {
        Refuse(res, 403, "requests from other sites are refused");
        return Server::HandlerResponse::Handled;
    }
    return Server::HandlerResponse::Unhandled;
}

void WebServer::Parts::ServeFile(const httplib::Request& req, httplib::Response& res) const {
    // The path as the library decoded it: it must be one of the page's names
    // exactly, so that no path reaches outside the page.
    const std::string name = req.path == "/" ? "index.html" : req.path.substr(1);
    const auto file = Files.find(name);
    if (file == Files.end() || !req.params.empty()) {
        Refuse(res, 404, "no such file");
        return;
    }
    res.set_header("Cache-Control", "no-cache");
    res.set_content(file->second.second, file->second.first.c_str());
}

std::shared_ptr<WebGame> WebServer::Parts::GameOf(const httplib::Request& req) {
    if (req.get_header_value_count(GameHeader) != 1) return nullptr;
    const std::lock_guard<std::mutex> lock(GamesLock);
    const auto game = Games.find(req.get_header_value(GameHeader));
    return game == Games.end() ? nullptr : game->second;
}

void WebServer::Parts::OpenEvents(httplib::Response& res) {
    auto game = std::make_shared<WebGame>(Settings.SearchThreads);
    const std::string token = RandomToken();
    {
        const std::lock_guard<std::mutex> lock(GamesLock);
        if (Games.size() >= MaxGames) {
            res.set_header("Retry-After", "10");
            Refuse(res, 503, "Vorn plays four pages at once: close one to play here");
            return;
        }
        if (!game->Start()) {
            Refuse(res, 503, "the system gives no thread for another game");
            return;
        }
        Games[token] = game;
    }
    LogPrintf("Web: a page opened game %.8s", token.c_str());
    const std::string hello = "data: {\"type\":\"hello\",\"game\":\"" + token +
                              "\",\"version\":" + JsonString(VornVersion) +
                              ",\"options\":" + OptionListJson() +
                              ",\"tablebases\":" + (Tablebases.IsOn() ? "true" : "false") + "}\n\n";
    res.set_header("Cache-Control", "no-store");
    res.set_chunked_content_provider(
        "text/event-stream",
        [game, hello, first = true](size_t, httplib::DataSink& sink) mutable {
            std::string text;
            if (first) text = hello;
            first = false;
            if (!game->TakeEvents(&text, HeartbeatMs)) return false;
            if (text.empty()) text = ": still here\n\n";
            return sink.write(text.data(), text.size());
        },
        [this, game, token](bool) {
            {
                const std::lock_guard<std::mutex> lock(GamesLock);
                Games.erase(token);
            }
            game->Close();
            LogPrintf("Web: game %.8s closed", token.c_str());
        });
}

void WebServer::Parts::Command(const httplib::Request& req, httplib::Response& res) {
    const std::shared_ptr<WebGame> game = GameOf(req);
    if (!game) {
        Refuse(res, 403, "no such game: reload the page");
        return;
    }
    if (req.get_header_value("Content-Type").rfind(FormType, 0) != 0) {
        Refuse(res, 415, "a command is form fields");
        return;
    }
    // The fields come from the body alone (the library adds the query's).
    if (req.target != req.path || req.params.size() > MaxFields) {
        Refuse(res, 400, "a command has only its form fields");
        return;
    }
    CommandFields fields;
    for (const auto& [name, value] : req.params) {
        const bool known = std::any_of(std::begin(FieldNames), std::end(FieldNames),
                                       [&](const char* n) { return name == n; });
        if (!known || !fields.emplace(name, value).second) {
            Refuse(res, 400, "a command field is unknown or given twice");
            return;
        }
        if (value.find('\0') != std::string::npos) {
            Refuse(res, 400, "a command field holds a NUL");
            return;
        }
    }
    const CommandReply reply = game->Command(fields);
    Answer(res, reply.Status, reply.Json);
}

void WebServer::Parts::Route() {
    Http.new_task_queue = [this] { return Pool = new ConnectionPool; };
    Http.set_payload_max_length(MaxMessageBytes);
    Http.set_read_timeout(5);
    Http.set_write_timeout(5);
    Http.set_keep_alive_timeout(2);
    Http.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                              {"X-Frame-Options", "DENY"},
                              {"Referrer-Policy", "no-referrer"},
                              {"Content-Security-Policy", PagePolicy}});
    Http.set_pre_routing_handler(
        [this](const httplib::Request& req, httplib::Response& res) { return Guard(req, res); });
    Http.Get("/api/events",
             [this](const httplib::Request&, httplib::Response& res) { OpenEvents(res); });
    Http.Post("/api/command",
              [this](const httplib::Request& req, httplib::Response& res) { Command(req, res); });
    Http.Post("/api/stop", [this](const httplib::Request& req, httplib::Response& res) {
        if (!GameOf(req)) {
            Refuse(res, 403, "no such game: reload the page");
            return;
        }
        StopAsked = true;
        Answer(res, 200, "{\"ok\":true}");
    });
    Http.Get(R"(/[^/]*)",
             [this](const httplib::Request& req, httplib::Response& res) { ServeFile(req, res); });
    // A refusal that the library makes itself (a body too large, a path it
    // cannot route) gets a reason as well.
    Http.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) Refuse(res, res.status, "refused");
    });
}

WebServer::WebServer(const WebServerSettings& settings) : Own(std::make_unique<Parts>()) {
    Own->Settings = settings;
}

WebServer::~WebServer() { Stop(); }

bool WebServer::Open() {
    Parts& p = *Own;
    if (!p.LoadPage()) return false;
    p.Route();
    p.BoundPort =
        p.Settings.Port == 0
            ? p.Http.bind_to_any_port(p.Settings.Host)
            : (p.Http.bind_to_port(p.Settings.Host, p.Settings.Port) ? p.Settings.Port : -1);
    if (p.BoundPort <= 0) {
        p.Problem = "cannot listen on " + p.Settings.Host + " port " +
                    std::to_string(p.Settings.Port) + " (is another server there?)";
        return false;
    }
    const std::string port = ":" + std::to_string(p.BoundPort);
    std::string host = Lowered(p.Settings.Host);
    if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
    for (const std::string& name :
         {host, std::string("127.0.0.1"), std::string("localhost"), std::string("[::1]")}) {
        p.HostNames.push_back(name + port);
        if (p.BoundPort == 80) p.HostNames.push_back(name);
    }
    p.AnyAddress = host == "0.0.0.0" || host == "[::]";
    return true;
}

void WebServer::Start() {
    Parts& p = *Own;
    p.Listener = std::thread([&p] { p.Http.listen_after_bind(); });
}

void WebServer::Stop() {
    Parts& p = *Own;
    if (!p.Listener.joinable()) return;
    p.Stopping = true;
    std::map<std::string, std::shared_ptr<WebGame>> games;
    {
        const std::lock_guard<std::mutex> lock(p.GamesLock);
        games = p.Games;
    }
    // A closed game ends its event stream, which frees its worker.
    for (auto& [token, game] : games) game->Close();
    if (ConnectionPool* pool = p.Pool.load()) pool->Release();
    p.Http.stop();
    p.Listener.join();
}

int WebServer::Port() const { return Own->BoundPort; }

bool WebServer::StopAsked() const { return Own->StopAsked; }

const std::string& WebServer::Problem() const { return Own->Problem; }

std::string WebServer::Address() const {
    std::string host = Own->Settings.Host;
    if (host == "0.0.0.0" || host == "::") host = "127.0.0.1";
    if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
    return "http://" + host + ":" + std::to_string(Own->BoundPort) + "/";
}

int RunWebServer(const WebServerSettings& settings) {
    // Ctrl-C and SIGTERM are waited for here, not delivered to a thread of
    // the server's: every thread made from now on inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    WebServer server(settings);
    if (!server.Open()) {
        std::fprintf(stderr, "vorn: %s\n", server.Problem().c_str());
        return 1;
    }
    if (!IsLoopbackHost(settings.Host))
        std::printf("Warning: --host %s lets other machines reach the page: anyone who can "
                    "reach this port can play, analyse and stop the server.\n",
                    settings.Host.c_str());
    std::printf("Vorn's page is at %s (Ctrl-C ends the server)\n", server.Address().c_str());
    std::fflush(stdout);
    LogPrintf("Web: serving %s", server.Address().c_str());
    server.Start();

    const timespec poll = {0, 200 * 1000 * 1000};
    int signal = -1;
    while (signal < 0 && !server.StopAsked()) {
        signal = sigtimedwait(&stopSignals, nullptr, &poll);
        if (signal < 0 && errno != EAGAIN && errno != EINTR) break;
    }
    server.Stop();
    std::printf("Vorn's web server has stopped.\n");
    LogPrintf("Web: stopped");
    return 0;
}
