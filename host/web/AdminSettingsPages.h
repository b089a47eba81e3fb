#pragma once

#include <map>
#include <string>

#include "host/web/AdminSession.h"
#include "host/web/HttpMessage.h"
#include "host/web/ServerOptions.h"

namespace timeclock::web {

class HttpServer;

// The settings an administrator changes on the pages: the "Punch Entry" step's, on its own setup
// page's controls (/admin/settings), and the clock's own from the configuration's table of keys
// (/admin/clock). Each field carries its line of help; a form with a wrong field is shown again
// as typed, with the reason beside that field, and nothing of it is applied.
class AdminSettingsPages {
  public:
    AdminSettingsPages(const ServerOptions& options, AdminSession& session);
    void Register(HttpServer& server);

  private:
    // Field names to the reason each was refused.
    using Reasons = std::map<std::string, std::string>;

    void StepSettings(const Request& request, Response& response);
    void ChangeStepSettings(const Request& request, Response& response);

    void ClockSettings(const Request& request, Response& response);
    void ChangeClockSettings(const Request& request, Response& response);

    const ServerOptions& m_options;
    AdminSession& m_session;
};

}  // namespace timeclock::web
