#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/database/Checkpointer.h"
#include "host/web/AdminLedgerPages.h"
#include "host/web/AdminPages.h"
#include "host/web/HttpServer.h"
#include "host/web/KioskApartment.h"
#include "host/web/ServerOptions.h"
#include "host/web/TryKeeper.h"

namespace timeclock::web {

// The clock server: the browser kiosk's page and its requests. A page opens its kiosk with the
// kiosk's key and gets a session; its inputs go to the kiosk's apartment (one engine per
// registered kiosk, on its own thread), and the screens it draws come back as server-sent
// events. Every request is checked here, since the page is not trusted: a request without a
// valid session or key gets 403 and reaches no engine. A session ends when it has not been used
// for a while or when its kiosk is no longer registered; it is sent only in a header, and a
// page's event stream is opened with a ticket of one use. A session has one stream: a new one
// ends the one before.
class WebServer {
  public:
    WebServer(ServerOptions options, Log log);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds the address; false, with the cause in the log, when it cannot.
    bool Bind();
    // The port bound (the one asked, or the one the system chose for port 0).
    int Port() const { return m_http.Port(); }
    // Serves until Stop; returns on the thread that called it, every kiosk's thread ended.
    void Serve();
    // Ends the server from any thread: every kiosk's thread, every open page's stream and every
    // request still waiting for its turn.
    void Stop();

  private:
    class Feed;
    struct KioskSession {
        std::string token;
        std::string kiosk;
        std::chrono::steady_clock::time_point used;
        // The event stream that is the session's own; an older one ends.
        uint64_t stream = 0;
        std::string ticket;
        std::chrono::steady_clock::time_point ticket_made;
    };
    using SessionMap = std::map<std::string, KioskSession>;

    void Routes();
    void OpenKiosk(const Request& request, Response& response);
    void Ticket(const Request& request, Response& response);
    void Input(const Request& request, Response& response);
    // Whether the request's kiosk waits for a manager's PIN, so that its input may check one.
    bool AtPinPrompt(const Request& request);
    void Events(const Request& request, Response& response);
    // The live session named in the request's header, renewed; end() when there is none. Takes
    // m_mutex's lock from the caller.
    SessionMap::iterator LiveSession(const std::string& token);
    // Whether the stream `stream` of the session under `lookup` may go on.
    bool StreamLive(const std::string& lookup, uint64_t stream);
    // Whether a kiosk of this name is registered now; the configuration is read again when its
    // file changed. Takes m_mutex's lock from the caller.
    bool Registered(const std::string& kiosk);
    // The name of the registered kiosk whose key this is; empty when none. A link that names
    // its kiosk has its key checked against that kiosk's hash alone.
    std::string KioskOfKey(std::string_view key, std::string_view named);
    std::shared_ptr<KioskApartment> Apartment(const std::string& name);
    void WakeFeeds(const std::string& kiosk);

    ServerOptions m_options;
    Log m_log;
    // The turn for writing the clock database, of the kiosks and the administrator's pages: one
    // write at a time, in order.
    std::shared_ptr<std::mutex> m_write_turn = std::make_shared<std::mutex>();
    std::shared_ptr<TryKeeper> m_tries;
    AdminSession m_admin_session;
    AdminPages m_admin;
    AdminLedgerPages m_ledger;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<KioskApartment>> m_apartments;
    // Copies the clock file's log into it for the kiosks, from the first kiosk's opening on.
    std::unique_ptr<orvane::Checkpointer> m_checkpointer;
    // Open sessions by the first characters of their token; the whole token is then compared
    // in constant time. Tickets likewise, to the head of their session's token.
    SessionMap m_sessions;
    std::map<std::string, std::string> m_tickets;
    std::map<std::string, std::vector<std::weak_ptr<Feed>>> m_feeds;
    std::set<std::string> m_registered;
    std::filesystem::file_time_type m_config_time{};
    bool m_registered_read = false;
    // Declared last: its threads end before the members above.
    HttpServer m_http;
};

}  // namespace timeclock::web
