#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "host/web/AdminSession.h"
#include "host/web/HttpMessage.h"
#include "host/web/ServerOptions.h"

namespace timeclock::web {

class HttpServer;

// The administrator's pages over the punch ledger: the punches of a card with their history and
// the forms that correct them (add, change, void, leave over several days), the exceptions with
// the correction each needs, who is in now, the approval of weeks and the audit. Each page sits
// behind the administrator's session; every form carries the session's token, and every change
// is made by the clock database as a correction by "administrator", in the writes' turn shared
// with the kiosks. A change the database refuses (an approved week, no reason, an unknown punch)
// is said on the next page; it is no error of the server.
class AdminLedgerPages {
  public:
    AdminLedgerPages(const ServerOptions& options, AdminSession& session,
                     std::shared_ptr<std::mutex> write_turn);
    void Register(HttpServer& server);

  private:
    void Punches(const Request& request, Response& response);
    void CorrectPunches(const Request& request, Response& response);
    void Exceptions(const Request& request, Response& response);
    void WhosIn(const Request& request, Response& response);
    void Approval(const Request& request, Response& response);
    void ChangeApproval(const Request& request, Response& response);
    void Audit(const Request& request, Response& response);

    const ServerOptions& m_options;
    AdminSession& m_session;
    std::shared_ptr<std::mutex> m_write_turn;
};

}  // namespace timeclock::web
