#include "host/web/AdminTimesheetPage.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>

#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/hours/Export.h"
#include "host/hours/PayPeriod.h"
#include "host/hours/Timesheet.h"
#include "host/web/AdminHtml.h"
#include "host/web/HttpServer.h"
#include "platform/Services.h"

namespace timeclock::web {

namespace {

constexpr int kConflict = 409;
constexpr const char* kCsvFormat = "csv";

// The configuration's pay rules, with its first day of the week.
hours::PayRules PayRulesOf(const Configuration& config) {
    auto rules = config.pay_rules;
    rules.week_starts = config.week_starts;
    return rules;
}

int64_t Today() {
    return static_cast<int64_t>(std::floor(platform::services().Now().days));
}

// The period asked for by one of its days ("period", or "week" as older links name it); the one
// of today when none is asked, with the reason when what was asked is no day.
hours::PayPeriod PeriodAsked(const Request& request, const hours::PayRules& rules,
                             std::string& refused) {
    auto day = Today();
    for (const char* name : {"period", "week"}) {
        if (!request.has_param(name))
            continue;
        if (const auto asked = ParseDay(request.get_param_value(name)))
            day = *asked;
        else
            refused = "A period is chosen by one of its days, as YYYY-MM-DD; this one is shown.";
        break;
    }
    return hours::PeriodHolding(day, rules);
}

hours::Timesheet SheetOf(const ServerOptions& options, const Configuration& config,
                         const hours::PayPeriod& period) {
    const hours::HoursRules rules{platform::services().Now(),
                                  static_cast<double>(config.max_shift_hours)};
    const orvane::ClockDatabase database(AdminSession::DatabaseFile(options));
    return hours::Timesheet::Build(database, period.first, period.last, std::nullopt, rules,
                                   PayRulesOf(config));
}

std::string Amount(double value, const std::string& unit) {
    char text[32];
    std::snprintf(text, sizeof text, unit == "$" ? "$%.2f" : "%.2f h", value);
    return text;
}

std::string Kinds(const std::map<std::string, double>& kinds, const std::string& unit) {
    std::string text;
    for (const auto& [kind, value] : kinds)
        text += (text.empty() ? "" : ", ") + kind + " " + Amount(value, unit);
    return text;
}

// Minutes as a cell: shown as h:mm, kept as minutes for whoever reads the page by program.
PageObject Cell(hours::Minutes minutes) {
    return PageObject{{"text", HoursText(minutes)}, {"minutes", std::to_string(minutes)}};
}

// The export formats a period downloads as: the clock's CSV, the built-in templates and the
// configuration's own.
std::vector<std::string> FormatNames(const Configuration& config) {
    std::vector<std::string> names{kCsvFormat};
    for (const auto& layout : hours::BuiltInTemplates())
        names.push_back(layout.name);
    for (const auto& layout : config.export_templates)
        if (std::find(names.begin(), names.end(), layout.name) == names.end())
            names.push_back(layout.name);
    return names;
}

// A name as part of a download's file name: letters, digits, "-" and "_" only.
std::string FileNamePart(const std::string& name) {
    std::string part;
    for (const char c : name)
        part += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ? c : '_';
    return part;
}

// The timesheet page of `sheet`; `refused` above it, and the exceptions that stopped an export.
std::string Draw(const Configuration& config, const hours::Timesheet& sheet,
                 const std::string& csrf, const std::string& notice, const std::string& refused,
                 const std::vector<std::string>& blocking) {
    const auto rules = PayRulesOf(config);
    const auto previous = hours::PreviousPeriod({sheet.from, sheet.to}, rules);
    const auto next = hours::PeriodHolding(sheet.to + 1, rules);
    PageList labels;
    for (auto d = sheet.from; d <= sheet.to; ++d)
        labels.push_back(PageData(hours::DayText(d).substr(5)));

    // One scale for every bar: the longest day, and never less than eight hours.
    hours::Minutes longest = 8 * 60;
    for (const auto& employee : sheet.employees)
        for (const auto& day : employee.days)
            longest = std::max(longest, day.pay.worked);

    PageList chart, rows;
    hours::Minutes total_worked = 0, total_paid = 0, total_regular = 0, total_overtime = 0,
                   total_double = 0, total_lunch = 0, total_breaks = 0;
    std::map<std::string, double> total_leave, total_dollars;
    bool night_shift = false;
    for (const auto& employee : sheet.employees) {
        PageList bars, exceptions;
        hours::Minutes paid = 0, lunch = 0, breaks = 0;
        for (auto d = sheet.from; d <= sheet.to; ++d) {
            const auto day = std::find_if(employee.days.begin(), employee.days.end(),
                                          [&](const auto& s) { return s.figures.day == d; });
            const hours::Minutes worked = day == employee.days.end() ? 0 : day->pay.worked;
            bars.push_back(PageObject{{"height", std::to_string(worked * 100 / longest)},
                                      {"text", HoursText(worked)}});
        }
        for (const auto& day : employee.days) {
            paid += day.pay.worked;
            lunch += day.figures.lunch;
            breaks += day.figures.breaks;
            night_shift = night_shift || day.figures.worked != day.pay.worked;
            for (const auto& exception : day.figures.exceptions)
                exceptions.push_back(
                    PageData(hours::DayText(day.figures.day) + ": " + exception.text));
        }
        const bool rounded = paid != employee.worked;
        chart.push_back(PageObject{{"name", employee.name}, {"bars", bars}});
        rows.push_back(PageObject{{"card", std::to_string(employee.card)},
                                  {"name", employee.name},
                                  {"worked", Cell(employee.worked)},
                                  {"paid", Cell(paid)},
                                  {"regular", Cell(employee.regular)},
                                  {"overtime", Cell(employee.overtime)},
                                  {"double_time", Cell(employee.double_time)},
                                  {"lunch", Cell(lunch)},
                                  {"breaks", Cell(breaks)},
                                  {"leave", Kinds(employee.leave, "h")},
                                  {"dollars", Kinds(employee.dollars, "$")},
                                  {"exceptions", exceptions},
                                  {"rounded", rounded}});
        total_worked += employee.worked;
        total_paid += paid;
        total_regular += employee.regular;
        total_overtime += employee.overtime;
        total_double += employee.double_time;
        total_lunch += lunch;
        total_breaks += breaks;
        for (const auto& [kind, value] : employee.leave)
            total_leave[kind] += value;
        for (const auto& [kind, value] : employee.dollars)
            total_dollars[kind] += value;
    }
    // Weekly overtime counts the whole week, also its days before a period that starts mid-week.
    const bool week_before = (rules.overtime.weekly || rules.overtime.seventh_day) &&
                             hours::WeekStart(sheet.from, rules.week_starts) != sheet.from;
    PageList formats;
    for (const auto& name : FormatNames(config))
        formats.push_back(PageData(name));
    PageList blocked;
    for (const auto& line : blocking)
        blocked.push_back(PageData(line));
    return Render(
        "timesheet",
        PageObject{
            {"csrf", csrf},
            {"notice", TextOrNothing(notice)},
            {"refused", TextOrNothing(refused)},
            {"blocked", blocked},
            {"has_blocked", !blocking.empty()},
            {"from", hours::DayText(sheet.from)},
            {"to", hours::DayText(sheet.to)},
            {"kind", std::string(hours::kPeriodKindNames[static_cast<size_t>(rules.period.kind)])},
            {"previous", hours::DayText(previous.first)},
            {"next", hours::DayText(next.first)},
            {"days", std::to_string(sheet.to - sheet.from + 1)},
            {"labels", labels},
            {"chart", chart},
            {"rows", rows},
            {"empty", sheet.employees.empty()},
            {"total", PageObject{{"worked", Cell(total_worked)},
                                 {"paid", Cell(total_paid)},
                                 {"regular", Cell(total_regular)},
                                 {"overtime", Cell(total_overtime)},
                                 {"double_time", Cell(total_double)},
                                 {"lunch", Cell(total_lunch)},
                                 {"breaks", Cell(total_breaks)},
                                 {"leave", Kinds(total_leave, "h")},
                                 {"dollars", Kinds(total_dollars, "$")}}},
            {"night_shift", night_shift},
            {"week_before", week_before},
            {"week_start", hours::DayText(hours::WeekStart(sheet.from, rules.week_starts))},
            {"formats", formats}});
}

}  // namespace

AdminTimesheetPage::AdminTimesheetPage(const ServerOptions& options, AdminSession& session)
    : m_options(options), m_session(session) {}

void AdminTimesheetPage::Register(HttpServer& server) {
    server.Get("/admin/timesheet",
               [this](const auto& request, auto& response) { Show(request, response); });
    server.Get("/admin/export",
               [this](const auto& request, auto& response) { Export(request, response); });
    // The older link of the week's CSV: the period's CSV now.
    server.Get("/admin/timesheet.csv",
               [this](const auto& request, auto& response) { Export(request, response); });
}

void AdminTimesheetPage::Show(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    const auto config = Configuration::Load(m_options.config_file);
    std::string refused;
    const auto period = PeriodAsked(request, PayRulesOf(config), refused);
    Html(response, Page("Timesheet", session->csrf,
                        Draw(config, SheetOf(m_options, config, period), session->csrf,
                             session->notice, refused, {})));
}

void AdminTimesheetPage::Export(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    const auto config = Configuration::Load(m_options.config_file);
    std::string refused;
    const auto period = PeriodAsked(request, PayRulesOf(config), refused);
    const auto sheet = SheetOf(m_options, config, period);
    const auto format =
        request.has_param("format") ? request.get_param_value("format") : kCsvFormat;
    const auto built_in = hours::BuiltInTemplates();
    const auto* layout = hours::FindTemplate(config.export_templates, built_in, format);
    if (format != kCsvFormat && !layout)
        refused = "There is no export \"" + format + "\".";
    // Payroll is never sent hours that a manager has yet to settle, unless asked to.
    const auto exceptions = hours::UnresolvedExceptions(sheet);
    const bool blocked = !exceptions.empty() && request.get_param_value("force") != "on";
    if (!refused.empty() || blocked) {
        if (blocked && refused.empty())
            refused = std::to_string(exceptions.size()) +
                      (exceptions.size() == 1 ? " exception is" : " exceptions are") +
                      " unresolved in this period, so nothing was exported. Resolve them, or "
                      "tick \"Export anyway\".";
        Html(response,
             Page("Timesheet", session->csrf,
                  Draw(config, sheet, session->csrf, "", refused,
                       blocked ? exceptions : std::vector<std::string>{})),
             kConflict);
        return;
    }
    std::string text = request.get_param_value("bom") == "on" ? hours::kUtf8Bom : "";
    text += layout && format != kCsvFormat ? hours::ExportSheet(sheet, *layout) : sheet.Csv();
    const bool fixed = layout && format != kCsvFormat && layout->layout == "fixed-width";
    response.set_header("Cache-Control", "no-store");
    response.set_header("Content-Disposition",
                        "attachment; filename=\"payroll-" + FileNamePart(format) + "-" +
                            hours::DayText(period.first) + (fixed ? ".txt" : ".csv") + "\"");
    response.set_content(text, fixed ? "text/plain; charset=utf-8" : "text/csv; charset=utf-8");
}

}  // namespace timeclock::web
