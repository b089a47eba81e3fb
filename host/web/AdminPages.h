#pragma once

#include <filesystem>
#include <memory>
#include <mutex>

#include "host/web/AdminSession.h"
#include "host/web/HttpMessage.h"
#include "host/web/ServerOptions.h"

namespace timeclock::web {

class HttpServer;

// The administrator's pages under /admin: the timesheet of a week with its chart and CSV, the
// employees, and the "Punch Entry" step's settings on its own setup page. They are drawn on the
// server as plain HTML forms, each behind the administrator's session.
class AdminPages {
  public:
    // The pages' changes of the employees take `write_turn` with the kiosks' punches.
    AdminPages(const ServerOptions& options, AdminSession& session,
               std::shared_ptr<std::mutex> write_turn);
    void Register(HttpServer& server);

  private:
    void Timesheet(const Request& request, Response& response, bool csv);
    void Employees(const Request& request, Response& response);
    void ChangeEmployees(const Request& request, Response& response);
    void Settings(const Request& request, Response& response);
    void ChangeSettings(const Request& request, Response& response);
    std::filesystem::path DatabaseFile() const;

    const ServerOptions& m_options;
    AdminSession& m_session;
    std::shared_ptr<std::mutex> m_write_turn;
};

}  // namespace timeclock::web
