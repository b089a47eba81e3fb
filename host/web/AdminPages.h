#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "host/web/ServerOptions.h"

namespace httplib {
class Server;
class Request;
class Response;
}  // namespace httplib

namespace timeclock::web {

// The administrator's pages under /admin: the timesheet of a week with its chart and CSV, the
// employees, and the "Punch Entry" step's settings on its own setup page. They are drawn on the
// server as plain HTML forms. A session begins with the administrator's password, lasts while it is
// used (15 minutes idle end it), and every form it sends carries the session's own token, so that
// another site cannot post in its name. After five wrong passwords in a row, each further try waits
// longer.
class AdminPages {
  public:
    // The pages' changes of the employees take `write_turn` with the kiosks' punches.
    AdminPages(const ServerOptions& options, Log log, std::shared_ptr<std::mutex> write_turn);
    void Register(httplib::Server& server);

  private:
    struct Session {
        std::string csrf;
        std::chrono::steady_clock::time_point used;
        std::string notice;  // shown once on the next page
    };
    using Clock = std::chrono::steady_clock;

    // The session of the request, refreshed; none (and the answer is a redirect to the login
    // page, or 403 for a form without its token) when there is no live one.
    std::optional<Session> Authorised(const httplib::Request& request, httplib::Response& response,
                                      bool form);
    void Login(const httplib::Request& request, httplib::Response& response);
    void Timesheet(const httplib::Request& request, httplib::Response& response, bool csv);
    void Employees(const httplib::Request& request, httplib::Response& response);
    void ChangeEmployees(const httplib::Request& request, httplib::Response& response);
    void Settings(const httplib::Request& request, httplib::Response& response);
    void ChangeSettings(const httplib::Request& request, httplib::Response& response);
    void Notice(const httplib::Request& request, std::string text);
    std::filesystem::path DatabaseFile() const;

    const ServerOptions& m_options;
    Log m_log;
    std::shared_ptr<std::mutex> m_write_turn;
    std::mutex m_mutex;
    std::map<std::string, Session> m_sessions;
    int m_failures = 0;
    Clock::time_point m_next_try{};
};

}  // namespace timeclock::web
