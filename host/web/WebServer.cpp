#include "host/web/WebServer.h"

#include <sys/socket.h>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "host/clock/ComponentLibrary.h"
#include "host/clock/Configuration.h"
#include "host/framework/Secret.h"
#include "host/web/KioskRequest.h"
#include "host/web/Pages.h"
#include "platform/Error.h"

namespace timeclock::web {

namespace {

using nlohmann::json;

// How long a page's stream waits for a change before it sends a keep-alive line, by which a
// page that went away is noticed.
constexpr auto kStreamKeepAlive = std::chrono::seconds(10);
// Threads that serve requests: each open kiosk page holds one for its stream.
constexpr size_t kServerThreads = 64;
constexpr int kListenBacklog = 128;
// How often the clock file's log is copied into it: a second's punches at most.
constexpr auto kCheckpointInterval = std::chrono::seconds(1);
constexpr size_t kLongestKey = 128;
constexpr size_t kLongestKioskName = 64;
// A session is found by the head of its token; the rest, compared in constant time, is secret.
constexpr size_t kSessionLookup = 16;
constexpr size_t kLongestBody = 4096;

void Refuse(httplib::Response& response, int status, const std::string& message) {
    response.status = status;
    response.set_content(json{{"refused", message}}.dump(), "application/json");
}

void NoStore(httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
}

}  // namespace

std::string RandomToken() {
    return orvane::RandomHex(32);
}

bool SameToken(std::string_view sent, std::string_view kept) {
    if (sent.size() != kept.size())
        return false;
    unsigned char differ = 0;
    for (size_t i = 0; i < sent.size(); ++i)
        differ |= static_cast<unsigned char>(sent[i] ^ kept[i]);
    return differ == 0;
}

WebServer::WebServer(ServerOptions options, Log log)
    : m_options(std::move(options)),
      m_log(std::move(log)),
      m_server(std::make_unique<httplib::Server>()),
      m_admin(m_options, m_log, m_write_turn) {
    m_server->new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
    m_server->set_payload_max_length(kLongestBody);
    // A kiosk's answers are small; sent at once, not held back for more.
    m_server->set_tcp_nodelay(true);
    // A kiosk page keeps its connection for many keys.
    m_server->set_keep_alive_max_count(10000);
    // The library's own socket options let a second server share the port (SO_REUSEPORT): a
    // second `timeclock serve` on a port in use must be refused instead. SO_REUSEADDR lets a
    // restarted server listen again at once. The socket is kept to widen its backlog.
    m_server->set_socket_options([this](int socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        m_listen_socket = socket;
    });
    m_server->set_default_headers({{"X-Content-Type-Options", "nosniff"},
                                   {"X-Frame-Options", "DENY"},
                                   {"Referrer-Policy", "no-referrer"}});
    Routes();
}

WebServer::~WebServer() {
    Stop();
}

bool WebServer::Bind() {
    bool bound = false;
    if (m_options.port == 0) {
        m_port = m_server->bind_to_any_port(m_options.address);
        bound = m_port > 0;
    } else if (m_server->bind_to_port(m_options.address, m_options.port)) {
        m_port = m_options.port;
        bound = true;
    }
    // The library listens with a backlog of 5; twenty kiosks or more connecting at one moment
    // (a server restart, a shift change) would see some connections dropped by the kernel.
    // Listening again on the socket widens it.
    if (bound && ::listen(m_listen_socket, kListenBacklog) == 0)
        return true;
    if (bound) {
        m_log(std::string("cannot widen the listen backlog: ") + std::strerror(errno));
        return true;
    }
    m_log("cannot listen on " + m_options.address + ":" + std::to_string(m_options.port) + ": " +
          std::strerror(errno));
    return false;
}

void WebServer::Serve() {
    // Registered here, once, so that the kiosks' threads only read the registry.
    ComponentLibrary::BesideProgram().EnsureRegistered();
    m_server->listen_after_bind();
    // The kiosks' threads end with the server, and the last checkpoint after them.
    std::lock_guard lock(m_mutex);
    m_apartments.clear();
    m_checkpointer.reset();
}

void WebServer::Stop() {
    m_stopping = true;
    {
        std::lock_guard lock(m_mutex);
        for (auto& [name, apartment] : m_apartments)
            apartment->Stop();
    }
    m_server->stop();
}

void WebServer::Routes() {
    m_server->Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/kiosk");
    });
    m_server->Get("/kiosk", [](const httplib::Request&, httplib::Response& response) {
        NoStore(response);
        response.set_header("Content-Security-Policy",
                            "default-src 'self'; style-src 'self' 'unsafe-inline'; "
                            "script-src 'self' 'unsafe-inline'");
        response.set_content(std::string(KioskPage()), "text/html; charset=utf-8");
    });
    m_server->Post("/api/kiosk/open",
                   [this](const auto& request, auto& response) { OpenKiosk(request, response); });
    m_server->Post("/api/kiosk/input",
                   [this](const auto& request, auto& response) { Input(request, response); });
    m_server->Get("/api/kiosk/events",
                  [this](const auto& request, auto& response) { Events(request, response); });
    m_admin.Register(*m_server);
    m_server->Get("/api/ping", [](const auto&, auto& response) {
        NoStore(response);
        response.set_content("{}", "application/json");
    });
    m_server->set_exception_handler([this](const httplib::Request& request,
                                           httplib::Response& response, std::exception_ptr error) {
        std::string cause = "unknown";
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            cause = e.what();
        } catch (...) {
        }
        m_log(request.method + " " + request.path + ": " + cause);
        Refuse(response, 500,
               "The clock could not do this; the administrator can see why "
               "in the server's log.");
    });
}

std::string WebServer::KioskOfKey(std::string_view key, std::string_view named) {
    if (key.empty() || key.size() > kLongestKey || named.size() > kLongestKioskName)
        return {};
    // Read on every opening, so that a kiosk added or removed counts at once.
    const auto config = Configuration::Load(m_options.config_file);
    // One check at a time: each takes tens of megabytes for a moment, and a row of pages opening
    // at once must not take the memory of the computer (nor guess keys in parallel).
    std::lock_guard lock(m_verify_mutex);
    if (!named.empty()) {
        const auto kiosk = config.kiosk_keys.find(std::string(named));
        return kiosk != config.kiosk_keys.end() && orvane::VerifySecret(kiosk->second, key)
                   ? kiosk->first
                   : std::string();
    }
    // A link made before links named their kiosk: the key is tried against every kiosk.
    for (const auto& [name, hash] : config.kiosk_keys) {
        if (orvane::VerifySecret(hash, key))
            return name;
    }
    return {};
}

std::shared_ptr<KioskApartment> WebServer::Apartment(const std::string& name) {
    std::lock_guard lock(m_mutex);
    auto& apartment = m_apartments[name];
    if (!apartment) {
        try {
            apartment = std::make_shared<KioskApartment>(
                name, Clock::Files{m_options.config_file, m_options.database}, m_log, m_write_turn);
        } catch (...) {
            m_apartments.erase(name);
            throw;
        }
        if (!m_checkpointer && !apartment->DatabaseFile().empty()) {
            try {
                m_checkpointer = std::make_unique<orvane::Checkpointer>(apartment->DatabaseFile(),
                                                                        kCheckpointInterval, m_log);
            } catch (const platform::RaisedError& error) {
                // The kiosks then copy the log themselves, when it has grown long.
                m_log("cannot checkpoint the clock database: " + error.description());
            }
        }
    }
    return apartment;
}

void WebServer::OpenKiosk(const httplib::Request& request, httplib::Response& response) {
    NoStore(response);
    const auto body = json::parse(request.body, nullptr, false);
    const auto text = [&](const char* field) {
        return body.is_object() && body.contains(field) && body[field].is_string()
                   ? body[field].get<std::string>()
                   : std::string();
    };
    const auto name = KioskOfKey(text("key"), text("kiosk"));
    if (name.empty()) {
        m_log("a kiosk was refused: no registered kiosk has the key given (from " +
              request.remote_addr + ")");
        Refuse(response, 403,
               "This screen is not a registered kiosk. Ask the administrator for its link.");
        return;
    }
    const auto apartment = Apartment(name);
    const auto token = RandomToken();
    {
        std::lock_guard lock(m_mutex);
        m_sessions[token.substr(0, kSessionLookup)] = KioskSession{token, name};
    }
    response.set_content(json{{"session", token}, {"kiosk", name}}.dump(), "application/json");
}

std::shared_ptr<KioskApartment> WebServer::Session(const httplib::Request& request) {
    auto token = request.get_header_value("X-Kiosk-Session");
    if (token.empty())
        token = request.get_param_value("session");
    if (token.size() <= kSessionLookup)
        return nullptr;
    std::lock_guard lock(m_mutex);
    const auto session = m_sessions.find(token.substr(0, kSessionLookup));
    if (session == m_sessions.end() || !SameToken(token, session->second.token))
        return nullptr;
    const auto apartment = m_apartments.find(session->second.kiosk);
    return apartment == m_apartments.end() ? nullptr : apartment->second;
}

void WebServer::Input(const httplib::Request& request, httplib::Response& response) {
    NoStore(response);
    const auto apartment = Session(request);
    if (!apartment) {
        Refuse(response, 403, "This kiosk's session has ended. Open the kiosk's link again.");
        return;
    }
    auto parsed = ParseKioskRequest(request.body);
    if (const auto* refused = std::get_if<std::string>(&parsed)) {
        Refuse(response, 400, *refused);
        return;
    }
    auto& asked = std::get<KioskRequest>(parsed);
    try {
        // A page that names the pad it shows gets the screen without the controls when the pad
        // stays: most keys change only the entry line.
        const auto screen = asked.hold ? apartment->Hold(asked.holder)
                                       : apartment->Post(std::move(asked.input), asked.holder);
        const bool same_pad = request.get_header_value("X-Kiosk-Pad") == std::to_string(screen.pad);
        response.set_content(same_pad ? *screen.without_controls : *screen.json,
                             "application/json");
    } catch (const platform::RaisedError& error) {
        m_log("kiosk \"" + apartment->Name() + "\": " + error.description());
        Refuse(response, 503, "The kiosk is busy. Try again in a moment.");
    }
}

void WebServer::Events(const httplib::Request& request, httplib::Response& response) {
    const auto apartment = Session(request);
    if (!apartment) {
        Refuse(response, 403, "This kiosk's session has ended. Open the kiosk's link again.");
        return;
    }
    NoStore(response);
    auto seen = std::make_shared<uint64_t>(0);
    response.set_chunked_content_provider(
        "text/event-stream", [this, apartment, seen](size_t, httplib::DataSink& sink) {
            if (m_stopping || apartment->Stopping()) {
                sink.done();
                return false;
            }
            const auto screen = apartment->WaitForChange(*seen, kStreamKeepAlive);
            std::string event;
            if (screen.version != *seen) {
                *seen = screen.version;
                event = "data: " + *screen.json + "\n\n";
            } else {
                event = ": still here\n\n";
            }
            return sink.write(event.data(), event.size());
        });
}

}  // namespace timeclock::web
