#pragma once

#include <memory>
#include <mutex>

#include "host/web/AdminEmployeesPage.h"
#include "host/web/AdminKiosksPage.h"
#include "host/web/AdminSession.h"
#include "host/web/AdminSettingsPages.h"
#include "host/web/AdminTimesheetPage.h"
#include "host/web/ServerOptions.h"

namespace timeclock::web {

class HttpServer;

// The administrator's pages under /admin: the pay timesheet with its exports, the employees, the
// "Punch Entry" step's settings, the clock's own settings and the kiosks. They are drawn on the
// server from templates as plain HTML forms, each behind the administrator's session.
class AdminPages {
  public:
    // The pages' changes of the employees take `write_turn` with the kiosks' punches.
    AdminPages(const ServerOptions& options, AdminSession& session,
               std::shared_ptr<std::mutex> write_turn);
    void Register(HttpServer& server);

  private:
    AdminTimesheetPage m_timesheet;
    AdminEmployeesPage m_employees;
    AdminSettingsPages m_settings;
    AdminKiosksPage m_kiosks;
};

}  // namespace timeclock::web
