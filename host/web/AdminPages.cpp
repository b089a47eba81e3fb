#include "host/web/AdminPages.h"

#include "host/web/HttpServer.h"

namespace timeclock::web {

AdminPages::AdminPages(const ServerOptions& options, AdminSession& session,
                       std::shared_ptr<std::mutex> write_turn)
    : m_timesheet(options, session),
      m_employees(options, session, std::move(write_turn)),
      m_settings(options, session),
      m_kiosks(options, session) {}

void AdminPages::Register(HttpServer& server) {
    server.Get("/admin",
               [](const auto&, auto& response) { response.set_redirect("/admin/timesheet", 303); });
    m_timesheet.Register(server);
    m_employees.Register(server);
    m_settings.Register(server);
    m_kiosks.Register(server);
}

}  // namespace timeclock::web
