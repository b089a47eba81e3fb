#pragma once

#include <chrono>
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

// The administrator's pages under /admin: the timesheet of a week with its chart and CSV, the
// employees, and the "Punch Entry" step's settings on its own setup page. They are drawn on the
// server as plain HTML forms. A session begins with the administrator's password, lasts while it is
// used (15 minutes idle end it), and every form it sends carries the session's own token, so that
// another site cannot post in its name. Wrong passwords are counted by `tries` (by address and in
// all); the server checks one password at a time. The cookie is Secure when the request came over
// TLS.
class AdminPages {
  public:
    // The pages' changes of the employees take `write_turn` with the kiosks' punches.
    AdminPages(const ServerOptions& options, Log log, std::shared_ptr<std::mutex> write_turn,
               std::shared_ptr<TryKeeper> tries);
    void Register(HttpServer& server);

  private:
    struct Session {
        std::string csrf;
        std::chrono::steady_clock::time_point used;
        std::string notice;  // shown once on the next page
    };
    using Clock = std::chrono::steady_clock;

    // The session of the request, refreshed; none (and the answer is a redirect to the login
    // page, or 403 for a form without its token) when there is no live one.
    std::optional<Session> Authorised(const Request& request, Response& response, bool form);
    void Login(const Request& request, Response& response);
    void Timesheet(const Request& request, Response& response, bool csv);
    void Employees(const Request& request, Response& response);
    void ChangeEmployees(const Request& request, Response& response);
    void Settings(const Request& request, Response& response);
    void ChangeSettings(const Request& request, Response& response);
    void Notice(const Request& request, std::string text);
    std::filesystem::path DatabaseFile() const;

    const ServerOptions& m_options;
    Log m_log;
    std::shared_ptr<std::mutex> m_write_turn;
    std::mutex m_mutex;
    std::map<std::string, Session> m_sessions;
    std::shared_ptr<TryKeeper> m_tries;
};

}  // namespace timeclock::web
