#include "host/web/AdminHtml.h"

#include <sstream>

#include "host/web/Utf8.h"

namespace timeclock::web {

namespace {

// Days from day zero of the clock's dates (1899-12-30) to 1970-01-01.
constexpr int64_t kUnixEpochDays = 25569;

const char* kStyle = R"css(
body{margin:0;font-family:"DejaVu Sans",Roboto,Helvetica,Arial,sans-serif;background:#f3f5f9;color:#15203a}
header{background:#0c1326;color:#fff;padding:14px 28px;display:flex;gap:28px;align-items:center}
header b{letter-spacing:.06em}header a{color:#bcd0ff;text-decoration:none;font-weight:600}
header form{margin-left:auto}main{padding:24px 28px;max-width:1200px}
h1{font-size:24px;margin:0 0 16px}table{border-collapse:collapse;background:#fff;width:100%;margin:12px 0 24px}
th,td{padding:8px 10px;border-bottom:1px solid #e1e6ef;text-align:left;font-size:14px}
th{background:#e9eef7}td.n{text-align:right;font-variant-numeric:tabular-nums}
.notice{background:#e6f0ff;border-left:5px solid #3d8bfd;padding:10px 14px;margin-bottom:16px}
.refused{background:#fdecec;border-left:5px solid #ef5350;padding:10px 14px;margin-bottom:16px}
button,input{font:inherit;padding:6px 10px}button{background:#3d8bfd;color:#fff;border:0;border-radius:6px;cursor:pointer}
button.quiet{background:#5b6b8c}.chart{display:grid;gap:10px;background:#fff;padding:16px;margin-bottom:24px}
.row{display:grid;grid-template-columns:180px repeat(7,1fr);align-items:end;gap:8px}
.bars{height:70px;display:flex;align-items:flex-end;justify-content:center}
.bar{width:45%;background:#3d8bfd;border-radius:4px 4px 0 0;min-height:1px}
.lbl{font-size:12px;text-align:center;color:#5b6b8c}.who{font-weight:600;align-self:center}
.login{max-width:380px;margin:80px auto;background:#fff;padding:28px;border-radius:10px}
.login input{width:100%;box-sizing:border-box;margin:8px 0 16px}
.settings{background:#fff;padding:16px 24px}.settings .item{display:block;padding:4px 0}
)css";

}  // namespace

// Text for a page, escaped; bytes that are not UTF-8 (an older record's name) are shown as U+FFFD.
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

std::string Page(const std::string& title, const std::string& csrf, const std::string& body) {
    std::string html = "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><title>" +
                       Escape(title) + " — Stampkind</title><style>" + kStyle +
                       "</style></head><body>";
    if (!csrf.empty()) {
        html +=
            "<header><b>STAMPKIND ADMIN</b><a href=\"/admin/timesheet\">Timesheet</a>"
            "<a href=\"/admin/employees\">Employees</a>"
            "<a href=\"/admin/settings\">Settings</a>"
            "<a href=\"/admin/punches\">Punches</a>"
            "<a href=\"/admin/exceptions\">Exceptions</a>"
            "<a href=\"/admin/whos-in\">Who is in</a>"
            "<a href=\"/admin/approval\">Approval</a>"
            "<a href=\"/admin/audit\">Audit</a>"
            "<form method=\"post\" action=\"/admin/logout\"><input type=\"hidden\" "
            "name=\"csrf\" value=\"" +
            csrf + "\"><button class=\"quiet\">Sign out</button></form></header>";
    }
    return html + "<main>" + body + "</main></body></html>";
}

std::string HoursText(hours::Minutes minutes) {
    return std::to_string(minutes / 60) + ":" + (minutes % 60 < 10 ? "0" : "") +
           std::to_string(minutes % 60);
}

// "YYYY-MM-DD" as a day of the clock's dates; none when it is no such day.
std::optional<int64_t> ParseDay(const std::string& text) {
    int y = 0;
    unsigned m = 0, d = 0;
    char a = 0, b = 0;
    std::istringstream in(text);
    if (text.size() != 10 || !(in >> y >> a >> m >> b >> d) || a != '-' || b != '-')
        return std::nullopt;
    const std::chrono::year_month_day day{std::chrono::year{y}, std::chrono::month{m},
                                          std::chrono::day{d}};
    if (!day.ok())
        return std::nullopt;
    return std::chrono::sys_days(day).time_since_epoch().count() + kUnixEpochDays;
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
