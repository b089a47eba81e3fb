#pragma once

#include <string>

#include "host/web/AdminSession.h"
#include "host/web/HttpMessage.h"
#include "host/web/ServerOptions.h"

namespace timeclock::web {

class HttpServer;

// The pay timesheet (/admin/timesheet): one pay period of the configuration's pay rules, with
// each employee's paid hours by day drawn on one scale, their worked, regular, overtime and
// double-time hours, lunch, breaks, leave, money and the period's exceptions, and totals that add
// up what is drawn. The payroll exports of the period download from it (/admin/export): the
// clock's CSV and each export template, as `timeclock export` writes them, refused while the
// period has unresolved exceptions unless the administrator exports anyway.
class AdminTimesheetPage {
  public:
    AdminTimesheetPage(const ServerOptions& options, AdminSession& session);
    void Register(HttpServer& server);

  private:
    void Show(const Request& request, Response& response);
    void Export(const Request& request, Response& response);

    const ServerOptions& m_options;
    AdminSession& m_session;
};

}  // namespace timeclock::web
