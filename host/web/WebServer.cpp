#include "host/web/WebServer.h"

#include <nlohmann/json.hpp>

#include "host/clock/ComponentLibrary.h"
#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/framework/Secret.h"
#include "host/web/DatabaseTryKeeper.h"
#include "host/web/KioskRequest.h"
#include "host/web/Pages.h"
#include "platform/Error.h"
#include "platform/Services.h"

namespace timeclock::web {

namespace {

using nlohmann::json;
using SteadyClock = std::chrono::steady_clock;

// How often the clock file's log is copied into it: a second's punches at most.
constexpr auto kCheckpointInterval = std::chrono::seconds(1);
constexpr size_t kLongestKey = 128;
constexpr size_t kLongestKioskName = 64;
// A session is found by the head of its token; the rest, compared in constant time, is secret.
constexpr size_t kSessionLookup = 16;
// A link that does not name its kiosk is tried against each kiosk only on a clock of this many.
constexpr size_t kMostUnnamedKiosks = 8;
// A ticket opens its session's event stream once, within this time.
constexpr auto kTicketLife = std::chrono::seconds(60);

void Refuse(Response& response, int status, const std::string& message) {
    response.status = status;
    response.set_content(json{{"refused", message}}.dump(), "application/json");
}

void NoStore(Response& response) {
    response.set_header("Cache-Control", "no-store");
}

std::string Lookup(const std::string& token) {
    return token.substr(0, kSessionLookup);
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

// One page's event stream: the screens of its kiosk, each once, while its session and its place
// as the session's stream last.
class WebServer::Feed final : public EventFeed {
  public:
    Feed(WebServer& server, std::string lookup, uint64_t stream,
         std::shared_ptr<KioskApartment> apartment)
        : m_server(server),
          m_lookup(std::move(lookup)),
          m_stream(stream),
          m_apartment(std::move(apartment)) {}

    std::optional<std::string> Next() override {
        if (m_server.m_stopping || m_apartment->Stopping() ||
            !m_server.StreamLive(m_lookup, m_stream))
            return std::nullopt;
        const auto screen = m_apartment->Current();
        if (screen.version == m_seen)
            return std::string();
        m_seen = screen.version;
        return "data: " + *screen.json + "\n\n";
    }

  private:
    WebServer& m_server;
    const std::string m_lookup;
    const uint64_t m_stream;
    const std::shared_ptr<KioskApartment> m_apartment;
    uint64_t m_seen = 0;
};

WebServer::WebServer(ServerOptions options, Log log)
    : m_options(std::move(options)),
      m_log(std::move(log)),
      m_tries(std::make_shared<DatabaseTryKeeper>(
          [this] {
              // The kiosks' database: the one given, else the configuration's, else the clock's
              // default one. Its writes wait in turn with the kiosks' punches.
              auto file = m_options.database;
              if (file.empty())
                  file = Configuration::Load(m_options.config_file).database;
              auto database = std::make_unique<orvane::ClockDatabase>(
                  file.empty() ? DefaultDatabaseFile() : file);
              database->TakeWritesInTurn(m_write_turn);
              return database;
          },
          m_log, SteadyClock::now(), platform::services().Now())),
      m_admin_session(m_options, m_log, m_tries),
      m_admin(m_options, m_admin_session, m_write_turn),
      m_ledger(m_options, m_admin_session, m_write_turn),
      m_http(m_options.limits, m_log) {
    Routes();
}

WebServer::~WebServer() {
    Stop();
}

bool WebServer::Bind() {
    return m_http.Bind(m_options.address, m_options.port);
}

void WebServer::Serve() {
    // Registered here, once, so that the kiosks' threads only read the registry.
    ComponentLibrary::BesideProgram().EnsureRegistered();
    m_http.Serve();
    // The kiosks' threads end with the server, each after the input it is handling, and the
    // last checkpoint after them.
    std::map<std::string, std::shared_ptr<KioskApartment>> apartments;
    {
        std::lock_guard lock(m_mutex);
        apartments.swap(m_apartments);
    }
    apartments.clear();
    m_checkpointer.reset();
}

void WebServer::Stop() {
    m_stopping = true;
    {
        std::lock_guard lock(m_mutex);
        for (auto& [name, apartment] : m_apartments)
            apartment->Stop();
    }
    m_http.Stop();
}

void WebServer::Routes() {
    m_http.Get("/", [](const Request&, Response& response) { response.set_redirect("/kiosk"); });
    m_http.Get("/kiosk", [](const Request&, Response& response) {
        NoStore(response);
        response.set_header("Content-Security-Policy",
                            "default-src 'self'; style-src 'self' 'unsafe-inline'; "
                            "script-src 'self' 'unsafe-inline'");
        response.set_content(std::string(KioskPage()), "text/html; charset=utf-8");
    });
    m_http.Post(
        "/api/kiosk/open",
        [this](const auto& request, auto& response) { OpenKiosk(request, response); }, true);
    m_http.Post("/api/kiosk/ticket",
                [this](const auto& request, auto& response) { Ticket(request, response); });
    // An input at a manager's PIN prompt may check the PIN: it takes its turn with the other
    // checks of secrets.
    m_http.Post(
        "/api/kiosk/input",
        [this](const auto& request, auto& response) { Input(request, response); },
        HttpServer::SecretCheck([this](const Request& request) { return AtPinPrompt(request); }));
    m_http.Get("/api/kiosk/events",
               [this](const auto& request, auto& response) { Events(request, response); });
    m_admin_session.Register(m_http);
    m_admin.Register(m_http);
    m_ledger.Register(m_http);
    m_http.Get("/api/ping", [](const auto&, auto& response) {
        NoStore(response);
        response.set_content("{}", "application/json");
    });
    m_http.OnError([this](const Request& request, Response& response, std::exception_ptr error) {
        std::string cause = "unknown";
        try {
            std::rethrow_exception(error);
        } catch (const platform::RaisedError& e) {
            cause = e.description();
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

bool WebServer::Registered(const std::string& kiosk) {
    std::error_code unknown;
    const auto changed = std::filesystem::last_write_time(m_options.config_file, unknown);
    if (!m_registered_read || changed != m_config_time) {
        try {
            std::set<std::string> registered;
            for (const auto& [name, hash] : Configuration::Load(m_options.config_file).kiosk_keys)
                registered.insert(name);
            m_registered = std::move(registered);
            m_config_time = changed;
            m_registered_read = true;
        } catch (const std::exception& error) {
            // A file caught half-written, or damaged: the kiosks known before stay.
            m_log(std::string("cannot read the registered kiosks: ") + error.what());
        }
    }
    return m_registered.contains(kiosk);
}

std::string WebServer::KioskOfKey(std::string_view key, std::string_view named) {
    if (key.empty() || key.size() > kLongestKey || named.size() > kLongestKioskName)
        return {};
    // Read on every opening, so that a kiosk added or removed counts at once.
    const auto config = Configuration::Load(m_options.config_file);
    const auto kiosk = config.kiosk_keys.find(std::string(named));
    if (!named.empty()) {
        if (kiosk == config.kiosk_keys.end())
            return {};
        return orvane::VerifySecret(kiosk->second, key) ? kiosk->first : std::string();
    }
    // A link made before links named their kiosk: the key is tried against every kiosk, on a
    // clock of a few kiosks only, since each try is a slow check and one request must not cost
    // hundreds of them. A stopping server tries no more.
    if (config.kiosk_keys.size() > kMostUnnamedKiosks)
        return {};
    for (const auto& [name, hash] : config.kiosk_keys) {
        if (m_stopping)
            return {};
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
        apartment->Watch([this, name] { WakeFeeds(name); });
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

void WebServer::OpenKiosk(const Request& request, Response& response) {
    NoStore(response);
    const auto body = json::parse(request.body, nullptr, false);
    const auto text = [&](const char* field) {
        return body.is_object() && body.contains(field) && body[field].is_string()
                   ? body[field].get<std::string>()
                   : std::string();
    };
    const auto key = text("key");
    const auto named = text("kiosk");
    // Wrong keys are counted by address and by the kiosk named (one not registered counts as
    // none, so that made-up names do not fill the counts).
    SecretTry attempt{"kiosk", {}, request.remote_addr};
    {
        std::lock_guard lock(m_mutex);
        if (Registered(named))
            attempt.account = named;
    }
    if (const auto wait = m_tries->Admit(attempt, SteadyClock::now())) {
        response.set_header("Retry-After", std::to_string(wait->count()));
        Refuse(response, 429,
               "Too many wrong kiosk keys from this screen. Try again in " +
                   std::to_string(wait->count()) + " seconds.");
        return;
    }
    const auto name = KioskOfKey(key, named);
    if (name.empty()) {
        m_log("a kiosk was refused: no registered kiosk has the key given (from " +
              request.remote_addr + ")");
        Refuse(response, 403,
               "This screen is not a registered kiosk. Ask the administrator for its link.");
        return;
    }
    m_tries->Succeeded(attempt);
    const auto apartment = Apartment(name);
    const auto token = RandomToken();
    {
        std::lock_guard lock(m_mutex);
        const auto now = SteadyClock::now();
        std::erase_if(m_sessions, [&](const auto& entry) {
            const bool ended = now - entry.second.used > m_options.limits.kiosk_session;
            if (ended)
                m_tickets.erase(Lookup(entry.second.ticket));
            return ended;
        });
        m_sessions[Lookup(token)] = KioskSession{token, name, now, 0, {}, {}};
    }
    response.set_content(json{{"session", token}, {"kiosk", name}}.dump(
                             -1, ' ', false, json::error_handler_t::replace),
                         "application/json");
}

WebServer::SessionMap::iterator WebServer::LiveSession(const std::string& token) {
    if (token.size() <= kSessionLookup)
        return m_sessions.end();
    const auto session = m_sessions.find(Lookup(token));
    if (session == m_sessions.end() || !SameToken(token, session->second.token))
        return m_sessions.end();
    const auto now = SteadyClock::now();
    if (now - session->second.used > m_options.limits.kiosk_session ||
        !Registered(session->second.kiosk)) {
        m_tickets.erase(Lookup(session->second.ticket));
        m_sessions.erase(session);
        return m_sessions.end();
    }
    session->second.used = now;
    return session;
}

bool WebServer::StreamLive(const std::string& lookup, uint64_t stream) {
    std::lock_guard lock(m_mutex);
    const auto session = m_sessions.find(lookup);
    return session != m_sessions.end() && session->second.stream == stream &&
           SteadyClock::now() - session->second.used <= m_options.limits.kiosk_session &&
           Registered(session->second.kiosk);
}

void WebServer::Ticket(const Request& request, Response& response) {
    NoStore(response);
    std::lock_guard lock(m_mutex);
    const auto session = LiveSession(request.get_header_value("X-Kiosk-Session"));
    if (session == m_sessions.end()) {
        Refuse(response, 403, "This kiosk's session has ended. Open the kiosk's link again.");
        return;
    }
    // One ticket at a time: a new one takes the place of one not used.
    m_tickets.erase(Lookup(session->second.ticket));
    session->second.ticket = RandomToken();
    session->second.ticket_made = SteadyClock::now();
    m_tickets[Lookup(session->second.ticket)] = session->first;
    response.set_content(json{{"ticket", session->second.ticket}}.dump(), "application/json");
}

void WebServer::Input(const Request& request, Response& response) {
    NoStore(response);
    std::shared_ptr<KioskApartment> apartment;
    {
        std::lock_guard lock(m_mutex);
        const auto session = LiveSession(request.get_header_value("X-Kiosk-Session"));
        if (session != m_sessions.end())
            if (const auto found = m_apartments.find(session->second.kiosk);
                found != m_apartments.end())
                apartment = found->second;
    }
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

bool WebServer::AtPinPrompt(const Request& request) {
    const auto token = request.get_header_value("X-Kiosk-Session");
    std::shared_ptr<KioskApartment> apartment;
    {
        // Asked on a thread that moves every connection's bytes, which must never wait: while
        // another thread holds the sessions (a kiosk's engine being opened), the input goes to the
        // workers like any other, and the card's own lockout still counts its wrong PINs.
        std::unique_lock lock(m_mutex, std::try_to_lock);
        if (!lock)
            return false;
        const auto session =
            token.size() > kSessionLookup ? m_sessions.find(Lookup(token)) : m_sessions.end();
        if (session == m_sessions.end() || !SameToken(token, session->second.token))
            return false;
        const auto found = m_apartments.find(session->second.kiosk);
        if (found == m_apartments.end())
            return false;
        apartment = found->second;
    }
    return apartment->Current().pin;
}

void WebServer::Events(const Request& request, Response& response) {
    NoStore(response);
    const auto ticket = request.get_param_value("ticket");
    std::shared_ptr<Feed> feed;
    std::string kiosk;
    {
        std::lock_guard lock(m_mutex);
        const auto held =
            ticket.size() > kSessionLookup ? m_tickets.find(Lookup(ticket)) : m_tickets.end();
        auto session = m_sessions.end();
        if (held != m_tickets.end()) {
            session = m_sessions.find(held->second);
            // A ticket opens one stream, once.
            m_tickets.erase(held);
        }
        if (session != m_sessions.end() && SameToken(ticket, session->second.ticket) &&
            SteadyClock::now() - session->second.ticket_made <= kTicketLife) {
            session->second.ticket.clear();
            const auto live = LiveSession(session->second.token);
            const auto apartment = live == m_sessions.end() ? m_apartments.end()
                                                            : m_apartments.find(live->second.kiosk);
            if (apartment != m_apartments.end()) {
                kiosk = live->second.kiosk;
                feed = std::make_shared<Feed>(*this, live->first, ++live->second.stream,
                                              apartment->second);
                auto& feeds = m_feeds[kiosk];
                std::erase_if(feeds, [](const auto& weak) { return weak.expired(); });
                feeds.push_back(feed);
            }
        }
    }
    if (!feed) {
        Refuse(response, 403, "This kiosk's session has ended. Open the kiosk's link again.");
        return;
    }
    // The stream this one replaces ends at once.
    WakeFeeds(kiosk);
    response.feed = feed;
}

void WebServer::WakeFeeds(const std::string& kiosk) {
    std::vector<std::shared_ptr<Feed>> feeds;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_feeds.find(kiosk);
        if (found == m_feeds.end())
            return;
        for (const auto& weak : found->second)
            if (auto feed = weak.lock())
                feeds.push_back(std::move(feed));
    }
    for (const auto& feed : feeds)
        feed->Wake();
}

}  // namespace timeclock::web
