#pragma once

#include <string>

#include "host/web/AdminSession.h"
#include "host/web/HttpMessage.h"
#include "host/web/ServerOptions.h"

namespace timeclock::web {

class HttpServer;

// The browser kiosks on a page (/admin/kiosks), as `timeclock kiosk-key` keeps them: the list,
// adding one (its link with its key is shown on the answer to that form only: the configuration
// keeps a slow salted hash of the key and nothing can show it again) and removing one, whose key
// then stops working.
class AdminKiosksPage {
  public:
    AdminKiosksPage(const ServerOptions& options, AdminSession& session);
    void Register(HttpServer& server);

  private:
    void Show(const Request& request, Response& response);
    void Change(const Request& request, Response& response);
    std::string Draw(const std::string& csrf, const std::string& notice, bool refused,
                     const std::string& link) const;

    const ServerOptions& m_options;
    AdminSession& m_session;
};

}  // namespace timeclock::web
