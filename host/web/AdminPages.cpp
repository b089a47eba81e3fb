#include "host/web/AdminPages.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "framework/IPropertyPage.h"
#include "host/clock/ComponentLibrary.h"
#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/hours/Timesheet.h"
#include "host/web/AdminHtml.h"
#include "host/web/HttpServer.h"
#include "host/web/Utf8.h"
#include "platform/Controls.h"
#include "platform/Error.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "step/StepSettings.h"

namespace timeclock::web {

namespace {

constexpr size_t kLongestName = 60;

// The step's setup page on this thread, attached to the step as the configuration keeps it. The
// request's thread makes and drops these objects; they never leave it. Saved values the step
// cannot use are put back to their defaults first, so that the page can load at all.
struct SetupPage {
    Configuration config;
    std::shared_ptr<framework::IStep> step;
    std::shared_ptr<framework::IPropertyPage> page;
    std::vector<std::string> repaired;

    explicit SetupPage(const std::filesystem::path& file) : config(Configuration::Load(file)) {
        if (auto* system = dynamic_cast<platform::SystemServices*>(&platform::services()))
            config.ApplyRegional(*system);
        step = config.CreateStep();
        const stampkind::SettingsView settings(step->Properties());
        for (const auto& problem : settings.Problems()) {
            repaired.push_back(problem.text + "; it is set to its default");
            settings.Item(problem.id)->SetValue(stampkind::SettingOf(problem.id).default_value);
        }
        page = platform::CreateObjectAs<framework::IPropertyPage>(step->PropertyPageID());
        page->AttachStep(step);
    }
    platform::UserControl& Form() { return *platform::query_or_raise<platform::UserControl>(page); }
};

}  // namespace

AdminPages::AdminPages(const ServerOptions& options, AdminSession& session,
                       std::shared_ptr<std::mutex> write_turn)
    : m_options(options), m_session(session), m_write_turn(std::move(write_turn)) {}

void AdminPages::Register(HttpServer& server) {
    server.Get("/admin",
               [](const auto&, auto& response) { response.set_redirect("/admin/timesheet", 303); });
    server.Get("/admin/timesheet", [this](const auto& request, auto& response) {
        Timesheet(request, response, false);
    });
    server.Get("/admin/timesheet.csv",
               [this](const auto& request, auto& response) { Timesheet(request, response, true); });
    server.Get("/admin/employees",
               [this](const auto& request, auto& response) { Employees(request, response); });
    server.Get("/admin/settings",
               [this](const auto& request, auto& response) { Settings(request, response); });
    server.Post("/admin/settings",
                [this](const auto& request, auto& response) { ChangeSettings(request, response); });
    server.Post("/admin/employees", [this](const auto& request, auto& response) {
        ChangeEmployees(request, response);
    });
}

std::filesystem::path AdminPages::DatabaseFile() const {
    if (!m_options.database.empty())
        return m_options.database;
    const auto config = Configuration::Load(m_options.config_file);
    return config.database.empty() ? DefaultDatabaseFile() : config.database;
}

void AdminPages::Timesheet(const Request& request, Response& response, bool csv) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    const auto config = Configuration::Load(m_options.config_file);
    const auto today = static_cast<int64_t>(std::floor(platform::services().Now().days));
    std::string refused;
    auto day = today;
    if (request.has_param("week")) {
        if (const auto asked = ParseDay(request.get_param_value("week")))
            day = *asked;
        else
            refused = "A week is chosen by one of its days, as YYYY-MM-DD; this week is shown.";
    }
    // Day zero was a Saturday; the week begins on the configured day.
    const auto weekday = (day + 6) % 7;
    const auto from = day - (weekday - config.week_starts + 7) % 7;
    const auto to = from + 6;
    const orvane::ClockDatabase database(DatabaseFile());
    const auto sheet =
        hours::Timesheet::Build(database, from, to, std::nullopt, {platform::services().Now()});
    if (csv) {
        response.set_header("Content-Disposition",
                            "attachment; filename=\"timesheet-" + hours::DayText(from) + ".csv\"");
        response.set_content(sheet.Csv(), "text/csv; charset=utf-8");
        return;
    }
    std::string body = "<h1>Timesheet, week of " + hours::DayText(from) + "</h1>";
    if (!session->notice.empty())
        body += "<div class=\"notice\">" + Escape(session->notice) + "</div>";
    if (!refused.empty())
        body += "<div class=\"refused\">" + Escape(refused) + "</div>";
    body += "<form method=\"get\"><a href=\"?week=" + hours::DayText(from - 7) +
            "\">&larr; Week before</a> &nbsp; <input type=\"date\" name=\"week\" value=\"" +
            hours::DayText(from) +
            "\"> <button>Show</button> &nbsp; <a href=\"?week=" + hours::DayText(from + 7) +
            "\">Week after &rarr;</a> &nbsp; "
            "<a href=\"/admin/timesheet.csv?week=" +
            hours::DayText(from) + "\">Download CSV</a></form>";
    // The chart: worked hours per employee per day, all on one scale.
    hours::Minutes longest = 8 * 60;
    for (const auto& employee : sheet.employees)
        for (const auto& d : employee.days)
            longest = std::max(longest, d.figures.worked);
    body +=
        "<div class=\"chart\" aria-label=\"Worked hours per day\"><div class=\"row\"><span></span>";
    for (auto d = from; d <= to; ++d)
        body += "<span class=\"lbl\">" + hours::DayText(d).substr(5) + "</span>";
    body += "</div>";
    for (const auto& employee : sheet.employees) {
        body += "<div class=\"row\"><span class=\"who\">" + Escape(employee.name) + "</span>";
        for (auto d = from; d <= to; ++d) {
            hours::Minutes worked = 0;
            for (const auto& sheet_day : employee.days)
                if (sheet_day.figures.day == d)
                    worked = sheet_day.figures.worked;
            body += "<div><div class=\"bars\"><div class=\"bar\" style=\"height:" +
                    std::to_string(worked * 100 / longest) + "%\" title=\"" + HoursText(worked) +
                    "\"></div></div><div class=\"lbl\">" + HoursText(worked) + "</div></div>";
        }
        body += "</div>";
    }
    if (sheet.employees.empty())
        body += "<p>Nothing was recorded this week.</p>";
    body +=
        "</div><table><tr><th>Card</th><th>Employee</th><th>Worked</th><th>Leave</th>"
        "<th>Dollars</th></tr>";
    for (const auto& employee : sheet.employees) {
        std::string leave, dollars;
        for (const auto& [kind, value] : employee.leave)
            leave += Escape(kind) + " " +
                     std::to_string(value).substr(0, std::to_string(value).find('.') + 3) + " h ";
        for (const auto& [kind, value] : employee.dollars)
            dollars += Escape(kind) + " $" +
                       std::to_string(value).substr(0, std::to_string(value).find('.') + 3) + " ";
        body += "<tr><td>" + std::to_string(employee.card) + "</td><td>" + Escape(employee.name) +
                "</td><td class=\"n\">" + HoursText(employee.worked) + "</td><td>" + leave +
                "</td><td>" + dollars + "</td></tr>";
    }
    body += "</table>";
    Html(response, Page("Timesheet", session->csrf, body));
}

void AdminPages::Employees(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    const orvane::ClockDatabase database(DatabaseFile());
    const std::string csrf =
        "<input type=\"hidden\" name=\"csrf\" value=\"" + session->csrf + "\">";
    std::string body = "<h1>Employees</h1>";
    if (!session->notice.empty())
        body += "<div class=\"notice\">" + Escape(session->notice) + "</div>";
    body += "<table><tr><th>Card</th><th>Name</th><th>Manager</th><th></th></tr>";
    for (const auto& employee : database.Employees()) {
        const auto card = std::to_string(employee.card);
        body += "<tr><td>" + card + "</td><td>" + Escape(employee.name) + "</td><td>" +
                (employee.manager ? "Manager" : "") + "</td><td>";
        if (employee.manager) {
            body += "<form method=\"post\" style=\"display:inline\">" + csrf +
                    "<input type=\"hidden\" name=\"action\" value=\"pin\"><input type=\"hidden\" "
                    "name=\"card\" value=\"" +
                    card +
                    "\"><input type=\"password\" name=\"pin\" "
                    "placeholder=\"New PIN\" inputmode=\"numeric\" size=\"8\"> <button>Set "
                    "PIN</button></form> ";
        }
        body += "<form method=\"post\" style=\"display:inline\">" + csrf +
                "<input type=\"hidden\" name=\"action\" value=\"remove\"><input type=\"hidden\" "
                "name=\"card\" value=\"" +
                card + "\"><button class=\"quiet\">Remove</button></form></td></tr>";
    }
    body += "</table><h1>Add an employee</h1><form method=\"post\">" + csrf +
            "<input type=\"hidden\" name=\"action\" value=\"add\">"
            "<input name=\"card\" placeholder=\"Card number\" inputmode=\"numeric\" required> "
            "<input name=\"name\" placeholder=\"Name\" required maxlength=\"60\"> "
            "<label><input type=\"checkbox\" name=\"manager\" value=\"on\"> Manager</label> "
            "<input type=\"password\" name=\"pin\" placeholder=\"Manager's PIN\" "
            "inputmode=\"numeric\" size=\"8\"> "
            "<button>Add</button></form>";
    Html(response, Page("Employees", session->csrf, body));
}

void AdminPages::ChangeEmployees(const Request& request, Response& response) {
    if (!m_session.Authorised(request, response, true))
        return;
    const auto action = request.get_param_value("action");
    const auto card_text = request.get_param_value("card");
    const auto name = request.get_param_value("name");
    const auto pin = request.get_param_value("pin");
    std::string notice;
    int64_t card = 0;
    const bool card_ok = !card_text.empty() && card_text.size() <= 9 &&
                         card_text.find_first_not_of("0123456789") == std::string::npos &&
                         (card = std::stoll(card_text)) > 0;
    if (!card_ok) {
        notice = "A card number is 1 to 9 digits.";
    } else {
        try {
            orvane::ClockDatabase database(DatabaseFile());
            database.TakeWritesInTurn(m_write_turn);
            const auto id = static_cast<int32_t>(card);
            if (action == "add") {
                if (!IsUtf8(name)) {
                    notice = "A name must be text (UTF-8); this one holds bytes that are not.";
                } else if (name.empty() || Utf8Length(name) > kLongestName) {
                    notice = "A name is 1 to 60 characters.";
                } else {
                    const bool manager = request.get_param_value("manager") == "on";
                    database.AddEmployee({id, name, manager},
                                         manager && !pin.empty()
                                             ? std::optional<std::string_view>(pin)
                                             : std::nullopt);
                    notice = "Added card " + card_text + ": " + name + ".";
                }
            } else if (action == "remove") {
                notice = database.RemoveEmployee(id) ? "Removed card " + card_text + "."
                                                     : "No employee has card " + card_text + ".";
            } else if (action == "pin") {
                database.SetManagerPin(id, pin);
                notice = "The PIN of card " + card_text + " is changed.";
            } else {
                notice = "That is no change of the employees.";
            }
        } catch (const platform::RaisedError& error) {
            notice = error.description();
        }
    }
    m_session.Notice(request, notice);
    response.set_redirect("/admin/employees", 303);
}

void AdminPages::Settings(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    SetupPage setup(m_options.config_file);
    std::string body = "<h1>Punch Entry settings</h1>";
    if (!session->notice.empty())
        body += "<div class=\"notice\">" + Escape(session->notice) + "</div>";
    for (const auto& text : setup.repaired)
        body += "<div class=\"refused\">" + Escape(text) + "</div>";
    body +=
        "<form method=\"post\" class=\"settings\"><input type=\"hidden\" name=\"csrf\" value=\"" +
        session->csrf + "\">";
    // The page's own controls, in its order, as the setup page shows them.
    for (const auto& control : setup.Form().Controls()) {
        if (!control->Visible())
            continue;
        const auto name = Escape(control->QualifiedName());
        switch (control->Kind()) {
            case platform::ControlKind::Label:
            case platform::ControlKind::Frame:
                body += "<h3>" + Escape(control->Caption()) + "</h3>";
                break;
            case platform::ControlKind::ListBox: {
                const auto& list = static_cast<const platform::ListBox&>(*control);
                for (int i = 0; i < list.ListCount(); ++i) {
                    body += "<label class=\"item\"><input type=\"checkbox\" name=\"" + name + "." +
                            std::to_string(i) + "\" value=\"on\"" +
                            (list.Selected(i) ? " checked" : "") + "> " + Escape(list.List(i)) +
                            "</label>";
                }
                break;
            }
            case platform::ControlKind::CheckBox:
                body += "<label class=\"item\"><input type=\"checkbox\" name=\"" + name +
                        "\" value=\"on\"" +
                        (static_cast<const platform::CheckBox&>(*control).Value() == 1 ? " checked"
                                                                                       : "") +
                        "> " + Escape(control->Caption()) + "</label>";
                break;
            case platform::ControlKind::TextBox:
                body += "<p><input name=\"" + name + "\" value=\"" +
                        Escape(static_cast<const platform::TextBox&>(*control).Text()) +
                        "\" maxlength=\"32\"></p>";
                break;
            default:
                break;
        }
    }
    body += "<p><button>Apply</button></p></form>";
    Html(response, Page("Settings", session->csrf, body));
}

void AdminPages::ChangeSettings(const Request& request, Response& response) {
    if (!m_session.Authorised(request, response, true))
        return;
    std::string notice = "The settings are applied; the kiosks take them at their next punch.";
    try {
        SetupPage setup(m_options.config_file);
        // The administrator's edits, made on the page's controls as a person would make them.
        for (const auto& control : setup.Form().Controls()) {
            if (!control->Visible() || !control->Enabled())
                continue;
            const auto name = control->QualifiedName();
            if (auto* list = dynamic_cast<platform::ListBox*>(control.get())) {
                for (int i = 0; i < list->ListCount(); ++i) {
                    const bool wanted =
                        request.get_param_value(name + "." + std::to_string(i)) == "on";
                    if (list->Selected(i) != wanted)
                        list->ClickItem(i);
                }
            } else if (auto* check = dynamic_cast<platform::CheckBox*>(control.get())) {
                if ((check->Value() == 1) != (request.get_param_value(name) == "on"))
                    check->Click();
            } else if (auto* text = dynamic_cast<platform::TextBox*>(control.get())) {
                const auto value = request.get_param_value(name);
                if (request.has_param(name) && IsUtf8(value) && Utf8Length(value) <= 32)
                    text->SetText(value);
            }
        }
        setup.page->ApplyChanges();
        setup.config.StoreStep(setup.step);
        setup.config.Save(m_options.config_file);
    } catch (const platform::RaisedError& error) {
        notice = "The settings were not applied: " + error.description();
    }
    m_session.Notice(request, notice);
    response.set_redirect("/admin/settings", 303);
}

}  // namespace timeclock::web
