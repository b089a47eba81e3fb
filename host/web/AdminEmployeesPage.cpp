#include "host/web/AdminEmployeesPage.h"

#include <optional>

#include "host/database/ClockDatabase.h"
#include "host/web/AdminHtml.h"
#include "host/web/HttpServer.h"
#include "host/web/Utf8.h"
#include "platform/Error.h"

namespace timeclock::web {

namespace {

constexpr int kUnprocessable = 422;
// Who made a change on the pages, as the history of employees keeps it.
constexpr const char* kChanger = "administrator";

// A card number as typed: 1 to 9 digits, more than zero.
std::optional<int32_t> CardNumber(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const auto card = std::stol(text);
    return card > 0 ? std::optional<int32_t>(static_cast<int32_t>(card)) : std::nullopt;
}
constexpr const char* kCardRule = "A card number is 1 to 9 digits, not all zero.";

std::string Typed(const std::map<std::string, std::string>& typed, const std::string& name) {
    const auto found = typed.find(name);
    return found == typed.end() ? std::string() : found->second;
}

}  // namespace

std::string AdminEmployeesPage::NameProblem(const std::string& name) {
    if (!IsUtf8(name))
        return "A name must be text (UTF-8); this one holds bytes that are not.";
    // Blanks of any kind (spaces, tabs, no-break spaces) make no name.
    std::string rest = name;
    for (const std::string blank : {" ", "\t", "\n", "\r", "\xC2\xA0", "\xE2\x80\x83"})
        for (size_t at; (at = rest.find(blank)) != std::string::npos;)
            rest.erase(at, blank.size());
    if (rest.empty())
        return "A name cannot be blank.";
    if (Utf8Length(name) > kLongestName)
        return "A name is at most 60 characters; this one has " + std::to_string(Utf8Length(name)) +
               ".";
    return {};
}

AdminEmployeesPage::AdminEmployeesPage(const ServerOptions& options, AdminSession& session,
                                       std::shared_ptr<std::mutex> write_turn)
    : m_options(options), m_session(session), m_write_turn(std::move(write_turn)) {}

void AdminEmployeesPage::Register(HttpServer& server) {
    server.Get("/admin/employees",
               [this](const auto& request, auto& response) { Show(request, response); });
    server.Post("/admin/employees",
                [this](const auto& request, auto& response) { Change(request, response); });
}

std::string AdminEmployeesPage::Draw(const std::string& csrf, const std::string& notice,
                                     const std::map<std::string, std::string>& typed,
                                     const std::map<std::string, std::string>& reasons) const {
    const orvane::ClockDatabase database(AdminSession::DatabaseFile(m_options));
    PageList employees;
    for (const auto& employee : database.Employees())
        employees.push_back(PageObject{{"card", std::to_string(employee.card)},
                                       {"name", employee.name},
                                       {"manager", employee.manager},
                                       {"active", employee.active}});
    return Render("employees", PageObject{{"csrf", csrf},
                                          {"notice", TextOrNothing(notice)},
                                          {"refused", !reasons.empty()},
                                          {"employees", employees},
                                          {"card", Typed(typed, "card")},
                                          {"name", Typed(typed, "name")},
                                          {"manager", Typed(typed, "manager") == "on"},
                                          {"card_reason", ReasonOf(reasons, "card")},
                                          {"name_reason", ReasonOf(reasons, "name")},
                                          {"pin_reason", ReasonOf(reasons, "pin")},
                                          {"longest", std::to_string(kLongestName)}});
}

void AdminEmployeesPage::Show(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    Html(response, Page("Employees", session->csrf, Draw(session->csrf, session->notice, {}, {})));
}

void AdminEmployeesPage::Change(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, true);
    if (!session)
        return;
    const auto action = request.get_param_value("action");
    const auto card_text = request.get_param_value("card");
    const auto name = request.get_param_value("name");
    const auto pin = request.get_param_value("pin");
    const auto card = CardNumber(card_text);
    std::string notice;
    try {
        orvane::ClockDatabase database(AdminSession::DatabaseFile(m_options));
        database.TakeWritesInTurn(m_write_turn);
        if (action == "add") {
            // Everything wrong with the form is said at once, beside its field; nothing is added.
            const bool manager = request.get_param_value("manager") == "on";
            std::map<std::string, std::string> reasons;
            if (!card)
                reasons["card"] = kCardRule;
            if (const auto problem = NameProblem(name); !problem.empty())
                reasons["name"] = problem;
            if (manager && pin.empty())
                reasons["pin"] = "A manager needs a PIN of " +
                                 std::to_string(orvane::ClockDatabase::kShortestPin) + " to " +
                                 std::to_string(orvane::ClockDatabase::kLongestPin) + " digits.";
            else if (!manager && !pin.empty())
                reasons["pin"] =
                    "A PIN is only for managers: tick \"Manager\", or leave the PIN empty.";
            if (reasons.empty()) {
                try {
                    database.AddEmployee(
                        {*card, name, manager},
                        manager ? std::optional<std::string_view>(pin) : std::nullopt);
                } catch (const platform::RaisedError& error) {
                    reasons[manager && error.description().find("PIN") != std::string::npos
                                ? "pin"
                                : "card"] = error.description();
                }
            }
            if (!reasons.empty()) {
                const std::map<std::string, std::string> typed{{"card", RepairUtf8(card_text)},
                                                               {"name", RepairUtf8(name)},
                                                               {"manager", manager ? "on" : ""}};
                Html(response,
                     Page("Employees", session->csrf,
                          Draw(session->csrf, "Nobody was added: a field is wrong.", typed,
                               reasons)),
                     kUnprocessable);
                return;
            }
            notice = "Added card " + card_text + ": " + name + ".";
        } else if (!card) {
            notice = kCardRule;
        } else if (action == "remove") {
            const auto employee = database.FindEmployee(*card);
            if (!employee) {
                notice = "No employee has card " + card_text + ".";
            } else if (request.get_param_value("confirm") != "yes") {
                // Removal is asked twice: the second form says what it does and to whom.
                Html(response, Page("Employees", session->csrf,
                                    Render("remove", PageObject{{"csrf", session->csrf},
                                                                {"card", card_text},
                                                                {"name", employee->name}})));
                return;
            } else {
                database.RemoveEmployee(*card, kChanger);
                notice = "Card " + card_text + " (" + RepairUtf8(employee->name) +
                         ") is inactive: it cannot punch, and its records stay.";
            }
        } else if (action == "rename") {
            if (const auto problem = NameProblem(name); !problem.empty())
                notice = problem + " The name is unchanged.";
            else
                notice = database.RenameEmployee(*card, name, kChanger)
                             ? "Card " + card_text + " is now named " + name + "."
                             : "No employee has card " + card_text + ".";
        } else if (action == "card") {
            const auto new_card = CardNumber(request.get_param_value("new_card"));
            if (!new_card)
                notice = std::string("The new card: ") + kCardRule;
            else if (*new_card == *card)
                notice = "Card " + card_text + " is already that employee's card.";
            else
                notice = database.ChangeCard(*card, *new_card, kChanger)
                             ? "Card " + card_text + " is now card " + std::to_string(*new_card) +
                                   "; its records moved with it."
                             : "No employee has card " + card_text + ".";
        } else if (action == "pin") {
            const auto employee = database.FindEmployee(*card);
            if (!employee || !employee->manager) {
                notice = "Card " + card_text + " is not a manager's card; only managers have PINs.";
            } else {
                database.SetManagerPin(*card, pin);
                notice = "The PIN of card " + card_text + " is changed.";
            }
        } else {
            notice = "That is no change of the employees.";
        }
    } catch (const platform::RaisedError& error) {
        notice = error.description();
    }
    m_session.Notice(request, notice);
    response.set_redirect("/admin/employees", 303);
}

}  // namespace timeclock::web
