#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "host/web/AdminSession.h"
#include "host/web/HttpMessage.h"
#include "host/web/ServerOptions.h"

namespace timeclock::web {

class HttpServer;

// The employees on a page (/admin/employees): the list, active or not; adding one (a name that is
// not blank and at most 60 characters, a PIN for a manager and for no one else); a manager's new
// PIN; a new name or card; and removal, asked twice, which makes the employee inactive and keeps
// their history. Every change is kept in the database's history of employees.
class AdminEmployeesPage {
  public:
    // The page's changes take `write_turn` with the kiosks' punches.
    AdminEmployeesPage(const ServerOptions& options, AdminSession& session,
                       std::shared_ptr<std::mutex> write_turn);
    void Register(HttpServer& server);

    static constexpr size_t kLongestName = 60;
    // Why a name cannot be an employee's; empty when it can.
    static std::string NameProblem(const std::string& name);

  private:
    void Show(const Request& request, Response& response);
    void Change(const Request& request, Response& response);
    // The page, with the add form as typed and the reason it was refused when there is one.
    std::string Draw(const std::string& csrf, const std::string& notice,
                     const std::map<std::string, std::string>& typed,
                     const std::map<std::string, std::string>& reasons) const;

    const ServerOptions& m_options;
    AdminSession& m_session;
    std::shared_ptr<std::mutex> m_write_turn;
};

}  // namespace timeclock::web
