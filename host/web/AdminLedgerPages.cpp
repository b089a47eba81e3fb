#include "host/web/AdminLedgerPages.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "host/clock/ComponentLibrary.h"
#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/hours/Attendance.h"
#include "host/hours/Audit.h"
#include "host/hours/Hours.h"
#include "host/hours/Timesheet.h"
#include "host/punches/PunchRules.h"
#include "host/web/AdminHtml.h"
#include "host/web/HttpServer.h"
#include "platform/Error.h"
#include "platform/Services.h"
#include "step/PunchCodes.h"

namespace timeclock::web {

namespace {

// Every correction from these pages is made in this name.
constexpr const char* kCorrector = "administrator";

// The time punches a correction adds or sets, in the order of the kiosk's buttons.
constexpr std::array<std::string_view, 6> kTimePunches{"I", "O", "LO", "LI", "BO", "BI"};

struct Span {
    int64_t from = 0;
    int64_t to = 0;
};

int64_t Today() {
    return static_cast<int64_t>(std::floor(platform::services().Now().days));
}

std::string Two(int value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

// A moment as "YYYY-MM-DD HH:MM", or as a date-time field's value ("YYYY-MM-DDTHH:MM").
std::string MomentText(platform::Date at, char between = ' ') {
    const auto parts = platform::split_cut(at);
    return std::to_string(parts.year) + "-" + Two(parts.month) + "-" + Two(parts.day) + between +
           Two(parts.hour) + ":" + Two(parts.minute);
}

std::optional<platform::Date> MomentOf(const std::optional<platform::Date>& date,
                                       const std::optional<platform::Date>& time) {
    if (!date)
        return std::nullopt;
    return platform::Date{date->days + (time ? time->days : 0.0)};
}

// "YYYY-MM-DD HH:MM" or a date-time field's "YYYY-MM-DDTHH:MM"; none for anything else.
std::optional<platform::Date> ParseMoment(const std::string& text) {
    if (text.size() != 16 || (text[10] != ' ' && text[10] != 'T') || text[13] != ':')
        return std::nullopt;
    const auto day = ParseDay(text.substr(0, 10));
    const auto digits = [&](size_t at) {
        return std::isdigit(static_cast<unsigned char>(text[at])) &&
                       std::isdigit(static_cast<unsigned char>(text[at + 1]))
                   ? (text[at] - '0') * 10 + (text[at + 1] - '0')
                   : -1;
    };
    const int hour = digits(11), minute = digits(14);
    if (!day || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    return platform::Date{static_cast<double>(*day) + (hour * 60 + minute) / (24.0 * 60)};
}

// A positive number of 1 to `longest` digits; none for anything else.
std::optional<int64_t> ParseNumber(const std::string& text, size_t longest) {
    if (text.empty() || text.size() > longest ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const auto number = std::stoll(text);
    return number > 0 ? std::optional(number) : std::nullopt;
}

// A card number: 1 to 9 digits.
std::optional<int32_t> ParseCard(const std::string& text) {
    const auto card = ParseNumber(text, 9);
    return card ? std::optional(static_cast<int32_t>(*card)) : std::nullopt;
}

std::string Hidden(const std::string& name, const std::string& value) {
    return "<input type=\"hidden\" name=\"" + name + "\" value=\"" + Escape(value) + "\">";
}

// The opening of a form that posts to `action` with the session's token.
std::string FormOpen(const std::string& action, const std::string& csrf,
                     const std::string& css = "inline") {
    return "<form method=\"post\" action=\"" + action + "\" class=\"" + css + "\">" +
           Hidden("csrf", csrf);
}

std::string ReasonField() {
    return "<input name=\"reason\" aria-label=\"Reason\" placeholder=\"Reason\" required "
           "maxlength=\"200\">";
}

std::string TypeSelect(std::string_view chosen, bool keep) {
    std::string html = "<select name=\"type\" aria-label=\"Punch type\">";
    if (keep)
        html += "<option value=\"\">(type as it is)</option>";
    for (const auto code : kTimePunches) {
        html += "<option value=\"" + std::string(code) + "\"" +
                (code == chosen ? " selected" : "") + ">" + std::string(code) + " " +
                stampkind::PunchWord(code) + "</option>";
    }
    return html + "</select>";
}

std::string NoticeHtml(const AdminSession::Session& session) {
    return session.notice.empty() ? std::string()
                                  : "<div class=\"notice\">" + Escape(session.notice) + "</div>";
}

// The days asked for by "from" and "to", each the default when missing; a day that is no day
// is said in `refused`.
Span SpanOf(const Request& request, Span span, std::string& refused) {
    for (auto [name, day] : {std::pair{"from", &span.from}, std::pair{"to", &span.to}}) {
        const auto text = request.get_param_value(name);
        if (text.empty())
            continue;
        if (const auto asked = ParseDay(text))
            *day = *asked;
        else
            refused = "A day is given as YYYY-MM-DD; the usual days are shown.";
    }
    if (span.to < span.from)
        std::swap(span.from, span.to);
    return span;
}

std::string SpanForm(const std::string& path, const Span& span, const std::string& extra = "") {
    return "<form method=\"get\" action=\"" + path + "\" class=\"filter\">" + extra +
           "From <input type=\"date\" name=\"from\" aria-label=\"From\" value=\"" +
           hours::DayText(span.from) +
           "\"> to <input type=\"date\" name=\"to\" aria-label=\"To\" value=\"" +
           hours::DayText(span.to) + "\"> <button>Show</button></form>";
}

const char* kLedgerStyle =
    "<style>form.inline{display:inline-block;margin:2px 0}form.filter{margin-bottom:12px}"
    "form.block{background:#fff;padding:12px 16px;margin-bottom:16px}"
    "form.block input,form.block select{margin:2px 6px 2px 0}"
    "tr.voided td{color:#8a94a6;text-decoration:line-through}"
    "td small{display:block;color:#5b6b8c}details summary{cursor:pointer;color:#3d8bfd}"
    ".state{font-weight:600}td.day{white-space:nowrap}</style>";

// The page with the ledger's own few rules of style after the frame's.
std::string LedgerPage(const std::string& title, const std::string& csrf, std::string body) {
    return Page(title, csrf, kLedgerStyle + std::move(body));
}

}  // namespace

AdminLedgerPages::AdminLedgerPages(const ServerOptions& options, AdminSession& session,
                                   std::shared_ptr<std::mutex> write_turn)
    : m_options(options), m_session(session), m_write_turn(std::move(write_turn)) {}

void AdminLedgerPages::Register(HttpServer& server) {
    server.Get("/admin/punches",
               [this](const auto& request, auto& response) { Punches(request, response); });
    server.Post("/admin/punches",
                [this](const auto& request, auto& response) { CorrectPunches(request, response); });
    server.Get("/admin/exceptions",
               [this](const auto& request, auto& response) { Exceptions(request, response); });
    server.Get("/admin/whos-in",
               [this](const auto& request, auto& response) { WhosIn(request, response); });
    server.Get("/admin/approval",
               [this](const auto& request, auto& response) { Approval(request, response); });
    server.Post("/admin/approval",
                [this](const auto& request, auto& response) { ChangeApproval(request, response); });
    server.Get("/admin/audit",
               [this](const auto& request, auto& response) { Audit(request, response); });
}

void AdminLedgerPages::Punches(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    const auto config = Configuration::Load(m_options.config_file);
    std::string refused;
    const auto week = hours::WeekStart(Today(), config.week_starts);
    const Span span = SpanOf(request, {week, week + 6}, refused);
    const auto card_text = request.get_param_value("card");
    const auto card = ParseCard(card_text);
    if (!card_text.empty() && !card)
        refused = "A card number is 1 to 9 digits; every card is shown.";

    const orvane::ClockDatabase database(AdminSession::DatabaseFile(m_options));
    std::map<int32_t, std::string> names;
    for (const auto& employee : database.Employees())
        names[employee.card] = employee.name;
    const auto punches =
        hours::CorrectedPunches(database, card, platform::Date{static_cast<double>(span.from)},
                                platform::Date{static_cast<double>(span.to)});

    const std::string view =
        Hidden("from", hours::DayText(span.from)) + Hidden("to", hours::DayText(span.to));
    std::string body = "<h1>Punches</h1>" + NoticeHtml(*session);
    if (!refused.empty())
        body += "<div class=\"refused\">" + Escape(refused) + "</div>";
    body += SpanForm(
        "/admin/punches", span,
        "Card <input name=\"card\" aria-label=\"Card\" inputmode=\"numeric\" size=\"9\" value=\"" +
            (card ? std::to_string(*card) : std::string()) + "\"> ");
    body +=
        "<table><tr><th>Punch</th><th>Employee</th><th>Type</th><th>In</th><th>Out</th>"
        "<th>Amount</th><th>History</th><th>Correct</th></tr>";
    for (const auto& punch : punches) {
        const auto& row = punch.row;
        const auto id = std::to_string(row.id);
        const auto in = MomentOf(row.date_in, row.time_in);
        const auto out = MomentOf(row.date_out, row.time_out);
        std::string amount;
        if (const auto* kind = punches::AmountKindOf(row)) {
            std::ostringstream text;
            text << punches::AmountOf(row, *kind) << (kind->dollars ? " $ " : " h ") << kind->name;
            amount = text.str();
        }
        std::string history;
        for (const auto& correction : punch.corrections) {
            history += "<small>" + MomentText(correction.by.at) + " " + Escape(correction.by.who) +
                       ": " + Escape(correction.action) + " — " + Escape(correction.by.reason) +
                       "</small>";
        }
        if (punch.original && !punch.voided)
            history += "<small>was " + Escape(hours::RecordText(*punch.original)) + "</small>";
        body += std::string("<tr") + (punch.voided ? " class=\"voided\"" : "") + "><td>" + id +
                (punch.voided  ? " <span class=\"state\">voided</span>"
                 : punch.added ? " <span class=\"state\">added</span>"
                               : "") +
                "</td><td>" + std::to_string(row.card) + " " + Escape(names[row.card]) +
                "</td><td>" + Escape(row.punch_type) + "</td><td>" + (in ? MomentText(*in) : "") +
                "</td><td>" + (out ? MomentText(*out) : "") + "</td><td>" + Escape(amount) +
                "</td><td>" + history + "</td><td>";
        if (!punch.voided) {
            body += "<details><summary>Change</summary>" +
                    FormOpen("/admin/punches", session->csrf) + Hidden("action", "edit") +
                    Hidden("id", id) + view +
                    "In <input type=\"datetime-local\" name=\"at\" aria-label=\"In\" value=\"" +
                    (in ? MomentText(*in, 'T') : "") +
                    "\"> Out <input type=\"datetime-local\" name=\"out_at\" aria-label=\"Out\" "
                    "value=\"" +
                    (out ? MomentText(*out, 'T') : "") + "\"> " + TypeSelect("", true) + " " +
                    ReasonField() + " <button>Change</button></form></details>" +
                    FormOpen("/admin/punches", session->csrf) + Hidden("action", "void") +
                    Hidden("id", id) + view + ReasonField() +
                    " <button class=\"quiet\">Void</button></form>";
        }
        body += "</td></tr>";
    }
    if (punches.empty())
        body += "<tr><td colspan=\"8\">No punches in these days.</td></tr>";
    body += "</table>";

    const auto card_field =
        "Card <input name=\"card\" aria-label=\"Card\" inputmode=\"numeric\" size=\"9\" value=\"" +
        (card ? std::to_string(*card) : std::string()) + "\" required> ";
    body += "<h2>Add a missing punch</h2>" + FormOpen("/admin/punches", session->csrf, "block") +
            Hidden("action", "add") + view + card_field + TypeSelect("I", false) +
            " at <input type=\"datetime-local\" name=\"at\" aria-label=\"Moment\" required> " +
            ReasonField() + " <button>Add</button></form>";
    std::string kinds;
    for (size_t i = 0; i < punches::kAmountCodes.size(); ++i) {
        if (!punches::kAmountKinds[i].dollars) {
            kinds += "<option value=\"" + std::string(punches::kAmountCodes[i]) + "\">" +
                     std::string(punches::kAmountKinds[i].name) + "</option>";
        }
    }
    body += "<h2>Book leave over several days</h2>" +
            FormOpen("/admin/punches", session->csrf, "block") + Hidden("action", "leave") + view +
            card_field + "<select name=\"leave\" aria-label=\"Leave kind\">" + kinds +
            "</select> <input type=\"number\" name=\"hours\" aria-label=\"Hours a day\" "
            "min=\"0.25\" max=\"23.75\" "
            "step=\"0.25\" value=\"8\" size=\"5\" required> hours a day from <input "
            "type=\"date\" name=\"first\" aria-label=\"First day\" required> to <input "
            "type=\"date\" name=\"last\" aria-label=\"Last day\" "
            "required> <label><input type=\"checkbox\" name=\"weekdays\" value=\"on\" checked> "
            "Monday to Friday only</label> " +
            ReasonField() + " <button>Book</button></form>";
    Html(response, LedgerPage("Punches", session->csrf, body));
}

void AdminLedgerPages::CorrectPunches(const Request& request, Response& response) {
    if (!m_session.Authorised(request, response, true))
        return;
    const auto action = request.get_param_value("action");
    const auto config = Configuration::Load(m_options.config_file);
    const orvane::Corrector by{kCorrector, platform::services().Now(), config.ClockName(),
                               request.get_param_value("reason")};
    std::optional<int32_t> card = ParseCard(request.get_param_value("card"));
    std::string notice;
    try {
        orvane::ClockDatabase database(AdminSession::DatabaseFile(m_options));
        database.TakeWritesInTurn(m_write_turn);
        const auto at_text = request.get_param_value("at");
        const auto at = ParseMoment(at_text);
        const auto id_text = request.get_param_value("id");
        const auto id = ParseNumber(id_text, 18);
        if (action == "add") {
            if (!card || !at) {
                notice = "A punch is added with its card and its moment.";
            } else {
                const auto added =
                    database.AddPunch(*card, request.get_param_value("type"), *at,
                                      static_cast<double>(config.max_shift_hours), by);
                notice = "Punch " + std::to_string(added.record_id) + " is " +
                         (added.before ? "completed" : "added") + ": " +
                         hours::RecordText(*added.after) + ".";
            }
        } else if (action == "edit" || action == "void") {
            const auto out_text = request.get_param_value("out_at");
            const auto out_at = ParseMoment(out_text);
            const auto type = request.get_param_value("type");
            if (!id) {
                notice = "There is no punch " + id_text + " to correct.";
            } else if ((!at_text.empty() && !at) || (!out_text.empty() && !out_at)) {
                notice = "A moment is given as a date and a time.";
            } else if (action == "void") {
                database.VoidPunch(*id, by);
                notice = "Punch " + id_text + " is voided.";
            } else {
                // The form shows the punch's moments: only what differs is changed. A punch that
                // holds only its out shows it as its out, which the database moves as its moment.
                const auto row = database.RowWithId(*id);
                const auto was_in = row ? MomentOf(row->date_in, row->time_in) : std::nullopt;
                const auto was_out = row ? MomentOf(row->date_out, row->time_out) : std::nullopt;
                const auto changed = [](const std::optional<platform::Date>& asked,
                                        const std::optional<platform::Date>& was) {
                    const bool same =
                        asked && was && std::abs(asked->days - was->days) < 0.5 / (24 * 60);
                    return same ? std::nullopt : asked;
                };
                if (row && !was_in && at) {
                    platform::raise(platform::err::kInvalidProcedureCall,
                                    "Punch " + id_text +
                                        " has no in: add the IN before it and it completes "
                                        "this punch.");
                }
                const auto edited =
                    database.EditPunch(*id, was_in ? changed(at, was_in) : changed(out_at, was_out),
                                       was_in ? changed(out_at, was_out) : std::nullopt,
                                       type.empty() ? std::nullopt : std::optional(type), by);
                notice = "Punch " + id_text + " is now " + hours::RecordText(*edited.after) + ".";
            }
            if (const auto row = id ? database.RowWithId(*id) : std::nullopt)
                card = row->card;
        } else if (action == "leave") {
            const auto first = ParseDay(request.get_param_value("first"));
            const auto last = ParseDay(request.get_param_value("last"));
            double hours = 0;
            std::istringstream(request.get_param_value("hours")) >> hours;
            if (!card || !first || !last) {
                notice = "Leave is booked with a card, a first and a last day.";
            } else {
                const orvane::LeaveBooking leave{*card,
                                                 request.get_param_value("leave"),
                                                 hours,
                                                 platform::Date{static_cast<double>(*first)},
                                                 platform::Date{static_cast<double>(*last)},
                                                 request.get_param_value("weekdays") == "on"};
                const auto booked = database.AddLeave(leave, by);
                notice = "Booked " + std::to_string(booked.size()) + " days of leave for card " +
                         std::to_string(*card) + ".";
            }
        } else {
            notice = "That is no correction of the punches.";
        }
    } catch (const platform::RaisedError& error) {
        notice = "Not changed: " + error.description();
    }
    m_session.Notice(request, notice);
    const bool exceptions = request.get_param_value("back") == "exceptions";
    std::string to = exceptions ? "/admin/exceptions?" : "/admin/punches?";
    if (card && !exceptions)
        to += "card=" + std::to_string(*card) + "&";
    for (const char* name : {"from", "to"}) {
        if (const auto day = ParseDay(request.get_param_value(name)))
            to += std::string(name) + "=" + hours::DayText(*day) + "&";
    }
    to.pop_back();
    response.set_redirect(to, 303);
}

void AdminLedgerPages::Exceptions(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    const auto config = Configuration::Load(m_options.config_file);
    const punches::ShiftRules rules{static_cast<double>(config.max_shift_hours)};
    std::string refused;
    const Span span = SpanOf(request, {Today() - 13, Today()}, refused);
    const orvane::ClockDatabase database(AdminSession::DatabaseFile(m_options));
    const auto listed =
        hours::ListExceptions(database, platform::Date{static_cast<double>(span.from)},
                              platform::Date{static_cast<double>(span.to)}, std::nullopt,
                              platform::services().Now(), rules);

    std::string body = "<h1>Exceptions</h1>" + NoticeHtml(*session);
    if (!refused.empty())
        body += "<div class=\"refused\">" + Escape(refused) + "</div>";
    body += SpanForm("/admin/exceptions", span);
    body +=
        "<table><tr><th>Employee</th><th>Day</th><th>Exception</th><th>Fix</th>"
        "<th>Make the fix</th></tr>";
    const auto form = [&](const std::string& action) {
        return FormOpen("/admin/punches", session->csrf) + Hidden("action", action) +
               Hidden("back", "exceptions") + Hidden("from", hours::DayText(span.from)) +
               Hidden("to", hours::DayText(span.to));
    };
    for (const auto& item : listed) {
        const auto& exception = item.exception;
        const auto id = std::to_string(exception.record_id);
        const auto row = database.RowWithId(exception.record_id);
        const auto* kind = row ? punches::KindOfType(row->punch_type) : nullptr;
        std::string fixes;
        if (row && kind) {
            const auto in = MomentOf(row->date_in, row->time_in);
            const auto out = MomentOf(row->date_out, row->time_out);
            // A shift lasts a working day; a lunch or a break half an hour.
            const double usual = kind->activity == punches::Activity::Working ? 8.0 / 24 : 0.5 / 24;
            if (exception.kind == punches::ExceptionKind::MissingOut && in && !out) {
                const std::string closing(kind->closing);
                fixes += form("add") + Hidden("card", std::to_string(row->card)) +
                         Hidden("type", closing) + "Add the " + stampkind::PunchWord(closing) +
                         " at <input type=\"datetime-local\" name=\"at\" aria-label=\"Moment\" "
                         "value=\"" +
                         MomentText(platform::Date{in->days + usual}, 'T') + "\" required> " +
                         ReasonField() + " <button>Add</button></form>";
            } else if (out && !in) {
                const std::string opening(kind->opening);
                fixes += form("add") + Hidden("card", std::to_string(row->card)) +
                         Hidden("type", opening) + "Add the " + stampkind::PunchWord(opening) +
                         " at <input type=\"datetime-local\" name=\"at\" aria-label=\"Moment\" "
                         "value=\"" +
                         MomentText(platform::Date{out->days - usual}, 'T') + "\" required> " +
                         ReasonField() + " <button>Add</button></form>";
            } else if (in && out) {
                fixes +=
                    form("edit") + Hidden("id", id) +
                    "In <input type=\"datetime-local\" name=\"at\" aria-label=\"In\" value=\"" +
                    MomentText(*in, 'T') +
                    "\"> Out <input type=\"datetime-local\" name=\"out_at\" aria-label=\"Out\" "
                    "value=\"" +
                    MomentText(*out, 'T') + "\"> " + ReasonField() +
                    " <button>Change</button></form>";
            }
        }
        fixes += form("void") + Hidden("id", id) + ReasonField() +
                 " <button class=\"quiet\">Void punch " + id + "</button></form>";
        body += "<tr><td>" + std::to_string(item.card) + " " + Escape(item.name) +
                "</td><td class=\"day\">" + item.date + "</td><td>" + Escape(exception.detail) +
                "</td><td>" + Escape(punches::FixOf(exception.kind)) + "</td><td>" + fixes +
                "</td></tr>";
    }
    if (listed.empty())
        body += "<tr><td colspan=\"5\">No exceptions in these days.</td></tr>";
    body += "</table>";
    Html(response, LedgerPage("Exceptions", session->csrf, body));
}

void AdminLedgerPages::WhosIn(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    const auto config = Configuration::Load(m_options.config_file);
    const auto now = platform::services().Now();
    const orvane::ClockDatabase database(AdminSession::DatabaseFile(m_options));
    const auto in = hours::WhosIn(database, now, {static_cast<double>(config.max_shift_hours)});
    static const std::map<punches::Activity, std::string> kStates{
        {punches::Activity::Working, "Working"},
        {punches::Activity::Lunch, "At lunch"},
        {punches::Activity::Break, "On a break"}};
    // The page reads the database again every second: a punch at any clock shows within one. Its
    // reloads do not keep the session alive: on a screen left alone it signs itself out.
    std::string body =
        std::string("<meta http-equiv=\"refresh\" content=\"1; url=/admin/whos-in?") +
        AdminSession::kReload + "=1\"><h1>Who is in</h1><p>As of " + MomentText(now) + ", " +
        std::to_string(in.size()) + (in.size() == 1 ? " person is in" : " people are in") + ".</p>";
    body +=
        "<table id=\"whos-in\"><tr><th>Card</th><th>Name</th><th>State</th><th>Since</th>"
        "<th>Clock</th></tr>";
    for (const auto& present : in) {
        body += "<tr><td>" + std::to_string(present.employee.card) + "</td><td>" +
                Escape(present.employee.name) + "</td><td>" + kStates.at(present.state.activity) +
                "</td><td>" + (present.state.since ? MomentText(*present.state.since) : "") +
                "</td><td>" + Escape(present.clock) + "</td></tr>";
    }
    if (in.empty())
        body += "<tr><td colspan=\"5\">No one is in.</td></tr>";
    Html(response, LedgerPage("Who is in", session->csrf, body + "</table>"));
}

void AdminLedgerPages::Approval(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    const orvane::ClockDatabase database(AdminSession::DatabaseFile(m_options));
    std::map<int32_t, std::string> names;
    for (const auto& employee : database.Employees())
        names[employee.card] = employee.name;
    const auto scope = [&](const std::optional<int32_t>& card) {
        return card ? std::to_string(*card) + " " + Escape(names[*card]) : std::string("everyone");
    };
    const auto approvals = database.WeekApprovals();
    // A week is approved for a scope while its latest action there is an approval.
    std::map<std::pair<double, int64_t>, const orvane::WeekApproval*> latest;
    for (const auto& approval : approvals)
        latest[{approval.week_start.days, approval.card ? *approval.card : -1}] = &approval;

    std::string body =
        "<h1>Approval</h1>" + NoticeHtml(*session) +
        FormOpen("/admin/approval", session->csrf, "block") +
        "Week of <input type=\"date\" name=\"week\" aria-label=\"Week of\" required> card <input "
        "name=\"card\" aria-label=\"Card\" inputmode=\"numeric\" size=\"9\" "
        "placeholder=\"everyone\"> "
        "<button name=\"action\" value=\"approve\">Approve</button> <button "
        "name=\"action\" value=\"reopen\" class=\"quiet\">Reopen</button></form>"
        "<h2>Approved weeks</h2><table><tr><th>Week of</th><th>For</th>"
        "<th>Approved by</th><th>At</th></tr>";
    bool any = false;
    for (auto it = latest.rbegin(); it != latest.rend(); ++it) {
        const auto& approval = *it->second;
        if (approval.action != "approve")
            continue;
        any = true;
        body += "<tr><td>" + hours::DayText(static_cast<int64_t>(approval.week_start.days)) +
                "</td><td>" + scope(approval.card) + "</td><td>" + Escape(approval.who) +
                "</td><td>" + MomentText(approval.at) + "</td></tr>";
    }
    if (!any)
        body += "<tr><td colspan=\"4\">No week is approved.</td></tr>";
    body += "</table>";
    Html(response, LedgerPage("Approval", session->csrf, body));
}

void AdminLedgerPages::ChangeApproval(const Request& request, Response& response) {
    if (!m_session.Authorised(request, response, true))
        return;
    const auto action = request.get_param_value("action");
    const auto day = ParseDay(request.get_param_value("week"));
    const auto card_text = request.get_param_value("card");
    const auto card = ParseCard(card_text);
    std::string notice;
    if (!day) {
        notice = "A week is chosen by one of its days, as YYYY-MM-DD.";
    } else if (!card_text.empty() && !card) {
        notice = "A card number is 1 to 9 digits; leave it empty for everyone.";
    } else if (action != "approve" && action != "reopen") {
        notice = "A week is approved or reopened.";
    } else {
        try {
            const auto config = Configuration::Load(m_options.config_file);
            const platform::Date start{
                static_cast<double>(hours::WeekStart(*day, config.week_starts))};
            orvane::ClockDatabase database(AdminSession::DatabaseFile(m_options));
            database.TakeWritesInTurn(m_write_turn);
            const auto now = platform::services().Now();
            const auto changed = action == "approve"
                                     ? database.ApproveWeek(start, card, kCorrector, now)
                                     : database.ReopenWeek(start, card, kCorrector, now);
            notice = "The week of " + hours::DayText(static_cast<int64_t>(start.days)) +
                     (action == "approve" ? " is approved" : " is reopened") +
                     (changed.card ? " for card " + std::to_string(*changed.card)
                                   : std::string(" for everyone")) +
                     ".";
        } catch (const platform::RaisedError& error) {
            notice = "Not changed: " + error.description();
        }
    }
    m_session.Notice(request, notice);
    response.set_redirect("/admin/approval", 303);
}

void AdminLedgerPages::Audit(const Request& request, Response& response) {
    const auto session = m_session.Authorised(request, response, false);
    if (!session)
        return;
    std::string refused;
    const Span span = SpanOf(request, {Today() - 30, Today()}, refused);
    const orvane::ClockDatabase database(AdminSession::DatabaseFile(m_options));
    const auto list = hours::AuditList(database, platform::Date{static_cast<double>(span.from)},
                                       platform::Date{static_cast<double>(span.to + 1)});
    std::string body = "<h1>Audit</h1>";
    if (!refused.empty())
        body += "<div class=\"refused\">" + Escape(refused) + "</div>";
    body += SpanForm("/admin/audit", span);
    // The list's sections, each a header line and lines of columns two blanks apart.
    constexpr std::array<const char*, 3> kSections{"Manager entries", "Corrections",
                                                   "Approvals and reopenings"};
    std::istringstream lines(list);
    std::string line;
    size_t section = 0;
    bool header = true;
    body += "<h2>" + std::string(kSections[0]) + "</h2><table>";
    while (std::getline(lines, line)) {
        if (line.empty()) {
            if (++section < kSections.size())
                body += "</table><h2>" + std::string(kSections[section]) + "</h2><table>";
            header = true;
            continue;
        }
        const std::string cell = header ? "th" : "td";
        body += "<tr>";
        for (size_t at = 0;;) {
            const auto end = line.find("  ", at);
            body += "<" + cell + ">" + Escape(line.substr(at, end - at)) + "</" + cell + ">";
            if (end == std::string::npos)
                break;
            at = end + 2;
        }
        body += "</tr>";
        header = false;
    }
    body += "</table>";
    Html(response, LedgerPage("Audit", session->csrf, body));
}

}  // namespace timeclock::web
