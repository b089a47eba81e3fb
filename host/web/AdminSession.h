#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "host/web/HttpMessage.h"
#include "host/web/ServerOptions.h"
#include "host/web/TryKeeper.h"

namespace timeclock::web {

class HttpServer;

// The administrator's sign-in, shared by every page under /admin. A session begins with the
// administrator's password and lasts while pages are asked for (the server limit
// "admin_session_seconds", 15 minutes without one ends it). Every form it sends carries the
// session's own token, so that another site cannot post in its name. Wrong passwords are counted
// by `tries` (by address and in all); the server checks one password at a time. The cookie is
// Secure when the request came over TLS.
class AdminSession {
  public:
    struct Session {
        std::string csrf;
        std::chrono::steady_clock::time_point used;
        std::string notice;  // shown once on the next page
    };

    // The parameter of a page's address by which the page reloads itself: such a request is
    // answered like any other but does not count as use of the session.
    static constexpr const char* kReload = "reload";

    AdminSession(const ServerOptions& options, Log log, std::shared_ptr<TryKeeper> tries);

    // The sign-in page, signing in and signing out.
    void Register(HttpServer& server);

    // The session of the request, refreshed unless the page reloads itself, with its notice
    // taken; none (and the answer is a redirect to the sign-in page, or 403 for a form without
    // its token) when there is no live one. `form` asks for the session's token among the
    // request's fields.
    std::optional<Session> Authorised(const Request& request, Response& response, bool form);

    // A line shown once at the top of the session's next page.
    void Notice(const Request& request, std::string text);

    // The clock database the pages read and change: the server's own, else the configuration's.
    static std::filesystem::path DatabaseFile(const ServerOptions& options);

  private:
    using Clock = std::chrono::steady_clock;

    void Login(const Request& request, Response& response);
    void Logout(const Request& request, Response& response);

    const ServerOptions& m_options;
    Log m_log;
    std::shared_ptr<TryKeeper> m_tries;
    std::mutex m_mutex;
    std::map<std::string, Session> m_sessions;
};

}  // namespace timeclock::web
