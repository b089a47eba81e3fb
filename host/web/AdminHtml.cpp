#include "host/web/AdminHtml.h"

#include "host/web/AdminTemplates.h"
#include "host/web/Utf8.h"
#include "platform/Date.h"
#include "platform/Error.h"

namespace timeclock::web {

namespace {

// The menu of every signed-in page, in its order: a page of its own is one line here.
struct MenuEntry {
    const char* caption;
    const char* link;
};
constexpr MenuEntry kMenu[] = {
    {"Timesheet", "/admin/timesheet"},   {"Employees", "/admin/employees"},
    {"Settings", "/admin/settings"},     {"Clock", "/admin/clock"},
    {"Kiosks", "/admin/kiosks"},         {"Punches", "/admin/punches"},
    {"Exceptions", "/admin/exceptions"}, {"Who is in", "/admin/whos-in"},
    {"Approval", "/admin/approval"},     {"Audit", "/admin/audit"},
};

}  // namespace

std::string Escape(std::string_view text) {
    std::string out;
    for (char c : RepairUtf8(text)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Render(std::string_view name, const PageData& data) {
    const auto text = AdminTemplate(name);
    kainjow::mustache::mustache page{std::string(text)};
    if (text.empty() || !page.is_valid()) {
        platform::raise(platform::err::kHostBase + 1,
                        "The page template \"" + std::string(name) + "\" cannot be used: " +
                            (text.empty() ? "there is none" : page.error_message()));
    }
    page.set_custom_escape([](const std::string& value) { return Escape(value); });
    return page.render(data);
}

std::string Page(const std::string& title, const std::string& csrf, const std::string& body) {
    PageList menu;
    for (const auto& entry : kMenu)
        menu.push_back(PageObject{
            {"caption", entry.caption}, {"link", entry.link}, {"current", title == entry.caption}});
    return Render("frame", PageObject{{"title", title},
                                      {"signed_in", !csrf.empty()},
                                      {"csrf", csrf},
                                      {"menu", menu},
                                      {"body", body}});
}

std::string HoursText(hours::Minutes minutes) {
    return hours::FormatHoursMinutes(minutes);
}

std::optional<int64_t> ParseDay(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    for (const size_t at : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[at] < '0' || text[at] > '9')
            return std::nullopt;
    const auto day = platform::make_date(std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)),
                                         std::stoi(text.substr(8, 2)));
    if (!day)
        return std::nullopt;
    return static_cast<int64_t>(day->days);
}

void Html(Response& response, const std::string& html, int status) {
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_header("Content-Security-Policy",
                        "default-src 'none'; style-src 'unsafe-inline'; "
                        "form-action 'self'; frame-ancestors 'none'");
    response.set_content(html, "text/html; charset=utf-8");
}

}  // namespace timeclock::web
