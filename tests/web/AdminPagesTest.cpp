// The administrator's pages against a running `timeclock serve` on loopback: what a wrong form
// leaves behind, what the pages show beside what the `timeclock` commands say, and the session.
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "host/web/AdminHtml.h"
#include "tests/web/ClockServer.h"

namespace {

using nlohmann::json;
using timeclock::web::PageObject;

class AdminPagesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { s_server = std::make_unique<ClockServer>(); }
    static void TearDownTestSuite() { s_server.reset(); }
    static inline std::unique_ptr<ClockServer> s_server;
};

TEST(AdminHtmlTest, EveryValueIsEscapedUnlessTheTemplateAsksForItRaw) {
    const auto page = timeclock::web::Page("Employees", "abc", "<p>body</p>");
    EXPECT_TRUE(Holds(page, "<p>body</p>"));
    EXPECT_TRUE(Holds(page, "href=\"/admin/employees\" aria-current=\"page\""));
    EXPECT_FALSE(Holds(page, "href=\"/admin/timesheet\" aria-current"));
    const auto login =
        timeclock::web::Render("login", PageObject{{"refused", "<b>O'Neil</b> & \"Co\"\xFF"}});
    EXPECT_TRUE(Holds(login, "&lt;b&gt;O&#39;Neil&lt;/b&gt; &amp; &quot;Co&quot;\xEF\xBF\xBD"));
}

TEST(AdminHtmlTest, DaysAreReadOnlyAsWholeCalendarDays) {
    const std::map<std::string, bool> cases{
        {"2026-12-01", true}, {"2024-02-29", true},  {"2026-02-29", false},  {"2026-13-01", false},
        {"2026-1-01", false}, {"+026-12-01", false}, {"2026-12-01x", false}, {"", false}};
    for (const auto& [text, valid] : cases)
        EXPECT_EQ(timeclock::web::ParseDay(text).has_value(), valid) << text;
    EXPECT_EQ(*timeclock::web::ParseDay("2026-12-02") - *timeclock::web::ParseDay("2026-12-01"), 1);
}

TEST_F(AdminPagesTest, ARefusedSettingLeavesTheFileAsItWasAndARightOneIsKept) {
    const Administrator admin(*s_server);
    struct Case {
        const char* page;
        const char* fields;
        const char* reason;
    };
    const std::vector<Case> cases{
        {"/admin/settings", "chkUseGlidepass=on&txtResetSpan=twelve",
         "&quot;twelve&quot; is no number: give a number of hours more than 0 and at most 168."},
        {"/admin/settings", "txtResetSpan=0",
         "0 is out of bounds: give a number of hours more than 0 and at most 168."},
        {"/admin/settings", "txtResetSpan=500",
         "500 is out of bounds: give a number of hours more than 0 and at most 168."},
        {"/admin/clock", "idle_seconds=twelve",
         "&quot;twelve&quot; is no whole number of seconds from 0 to 3600."},
        {"/admin/clock", "confirm_seconds=-1",
         "&quot;-1&quot; is no whole number of seconds from 0 to 3600."},
        {"/admin/clock", "week_starts=Someday",
         "&quot;Someday&quot; is not a day of the week (&quot;Sunday&quot; to "
         "&quot;Saturday&quot;)."},
        {"/admin/clock", "regional=fr-FR",
         "&quot;fr-FR&quot; is neither &quot;en-US&quot; nor &quot;en-GB&quot;."},
        {"/admin/clock", "clock_name=Front+desk+of+the+north+building+X",
         "This is too long or not text: at most 32 characters."},
        {"/admin/clock", "pay_period=biweekly&pay_anchor=&overtime=none",
         "The pay rules cannot be used: &quot;pay_rules.period.anchor&quot; is missing: a biweekly "
         "period needs the first day of one"},
    };
    for (const auto& c : cases) {
        const auto before = ReadText(s_server->Config());
        const auto answer = admin.Post(c.page, c.fields);
        EXPECT_EQ(StatusOf(answer), 422) << c.fields;
        EXPECT_TRUE(Holds(
            answer, std::string("<span class=\"reason\" role=\"alert\">") + c.reason + "</span>"));
        EXPECT_FALSE(Holds(answer, "applied;"));
        EXPECT_EQ(ReadText(s_server->Config()), before) << c.fields;
    }
    // A wrong value stays in its field, to be mended.
    EXPECT_TRUE(Holds(admin.Post("/admin/settings", "txtResetSpan=twelve"),
                      "<div class=\"field wrong\">\n<h2>Reset Span (hours)</h2>\n\n\n<input "
                      "name=\"txtResetSpan\" value=\"twelve\""));
    // Right values are applied and kept, the step's as `timeclock setup` shows them (the last
    // punch type unticked), the clock's beside the keys the page does not show.
    std::string allowed;
    for (int i = 0; i < 9; ++i)
        allowed += "&lstManagerStampkinds." + std::to_string(i) + "=on";
    EXPECT_EQ(
        StatusOf(admin.Post("/admin/settings", "chkUseGlidepass=on&txtResetSpan=12.5" + allowed)),
        303);
    const auto shown =
        json::parse(s_server->Run({"setup", "--config", s_server->Config().string(), "--show"}));
    EXPECT_EQ(shown["GlidepassSpan"], 12.5);
    EXPECT_EQ(shown["IsGlidepass"], true);
    EXPECT_EQ(shown["AllowedStampkinds"], "1111111110");
    // The page shows the list's every punch type again, ticked as kept.
    const auto page = admin.Get("/admin/settings");
    const std::regex item("name=\"lstManagerStampkinds\\.(\\d+)\" value=\"on\"( checked)?");
    std::string ticks;
    for (std::sregex_iterator it(page.begin(), page.end(), item), end; it != end; ++it)
        ticks += (*it)[1].str() + ((*it)[2].matched ? "+ " : "- ");
    EXPECT_EQ(ticks, "0+ 1+ 2+ 3+ 4+ 5+ 6+ 7+ 8+ 9- ");
    auto config = json::parse(ReadText(s_server->Config()));
    config["a_newer_clocks_key"] = "kept";
    std::ofstream(s_server->Config()) << config.dump();
    const auto answer =
        admin.Post("/admin/clock", "idle_seconds=45&week_starts=Monday&clock_name=Front+desk");
    ASSERT_EQ(StatusOf(answer), 303) << answer;
    config = json::parse(ReadText(s_server->Config()));
    const json saved{{"idle_seconds", 45},
                     {"week_starts", "Monday"},
                     {"clock_name", "Front desk"},
                     {"kiosk_sounds", false},
                     {"a_newer_clocks_key", "kept"}};
    for (const auto& [key, value] : saved.items())
        EXPECT_EQ(config[key], value) << key;
    EXPECT_TRUE(config.contains("kiosks"));
    EXPECT_TRUE(Holds(admin.Get("/admin/clock"), "value=\"45\""));
}

// The employees' list and its forms: a wrong new employee is refused with the reason beside its
// field, each change made from the list leaves its notice, and the list is read whole at the end.
TEST(AdminEmployees, ChangesAreSaidAndTheListShowsThem) {
    ClockServer server;
    const Administrator admin(server);
    std::string sixty;
    for (int i = 0; i < 60; ++i)
        sixty += "%C3%A9";  // é: two bytes, one character
    const struct {
        std::string fields;
        const char* reason;
    } cases[] = {
        {"card=2001&name=++", "A name cannot be blank."},
        {"card=2002&name=%09%C2%A0", "A name cannot be blank."},
        {"card=2003&name=" + sixty + "e", "at most 60 characters; this one has 61"},
        {"card=2004&name=Pat+Doe&pin=1234", "A PIN is only for managers"},
        {"card=2005&name=Pat+Doe&manager=on", "A manager needs a PIN"},
        {"card=2006&name=Pat+Doe&manager=on&pin=12", "PIN"},
        {"card=0&name=Pat+Doe", "A card number is 1 to 9 digits"},
        {"card=1001&name=Pat+Doe", "1001"},
        {"card=2007&name=Bad+%FF+name", "bytes that are not"},
    };
    for (const auto& c : cases) {
        const auto answer = admin.Post("/admin/employees", "action=add&" + c.fields);
        EXPECT_EQ(StatusOf(answer), 422) << c.reason;
        EXPECT_TRUE(Holds(answer, c.reason));
    }
    const struct {
        std::string fields;
        const char* notice;
    } changes[] = {
        {"action=add&card=1002&name=Jordan+Reyes", "Added card 1002: Jordan Reyes."},
        {"action=add&card=9001&name=Morgan+Lee&manager=on&pin=2468",
         "Added card 9001: Morgan Lee."},
        // A name is shown as the text it is, never as markup.
        {"action=rename&card=1002&name=Dana+%3Cb%3EO%27Neil%3C%2Fb%3E+%26+%22Co%22",
         "Card 1002 is now named Dana &lt;b&gt;O&#39;Neil&lt;/b&gt; &amp; &quot;Co&quot;."},
        {"action=rename&card=1002&name=+", "A name cannot be blank. The name is unchanged."},
        {"action=rename&card=4444&name=Nobody", "No employee has card 4444."},
        {"action=card&card=1002&new_card=1003",
         "Card 1002 is now card 1003; its records moved with it."},
        {"action=card&card=1003&new_card=1003", "Card 1003 is already that employee&#39;s card."},
        {"action=card&card=1003&new_card=0",
         "The new card: A card number is 1 to 9 digits, not all zero."},
        {"action=card&card=1003&new_card=1001", "An employee with card 1001 already exists."},
        {"action=card&card=4444&new_card=4445", "No employee has card 4444."},
        {"action=pin&card=9001&pin=1357", "The PIN of card 9001 is changed."},
        {"action=pin&card=1001&pin=1357",
         "Card 1001 is not a manager&#39;s card; only managers have PINs."},
        {"action=remove&card=1001&confirm=yes",
         "Card 1001 (Avery Stone) is inactive: it cannot punch, and its records stay."},
        {"action=remove&card=abc", "A card number is 1 to 9 digits, not all zero."},
    };
    // Removal is asked first, and nothing changes until it is confirmed.
    EXPECT_TRUE(
        Holds(admin.Post("/admin/employees", "action=remove&card=1001"), "Remove card 1001?"));
    for (const auto& change : changes)
        EXPECT_EQ(NoticeOf(admin.Change("/admin/employees", change.fields)), change.notice)
            << change.fields;
    const std::string dana = "Dana &lt;b&gt;O&#39;Neil&lt;/b&gt; &amp; &quot;Co&quot;";
    EXPECT_EQ(Rows(admin.Get("/admin/employees")),
              "Card | Name | Role | Changes\n"
              "1001 | Avery Stone |  (inactive) | \n"
              "1003 | " +
                  dana + " |  | [" + dana +
                  "]RenameNew cardRemove…\n"
                  "9001 | Morgan Lee | Manager | [Morgan Lee]RenameNew cardSet PINRemove…\n");
    // Sixty characters are a name, however many bytes they take.
    EXPECT_TRUE(Holds(admin.Change("/admin/employees", "action=add&card=2010&name=" + sixty),
                      "Added card 2010"));
}

TEST_F(AdminPagesTest, AKiosksKeyIsShownOnceAndItsRemovalEndsIt) {
    const Administrator admin(*s_server);
    const auto added = admin.Post("/admin/kiosks", "action=add&name=Back+Door");
    ASSERT_EQ(StatusOf(added), 200) << added;
    std::smatch key;
    ASSERT_TRUE(std::regex_search(added, key,
                                  std::regex("/kiosk#key=([a-z2-7]{26})&amp;kiosk=Back%20Door")));
    EXPECT_FALSE(Holds(ReadText(s_server->Config()), key[1].str()));
    const auto listed = admin.Get("/admin/kiosks");
    EXPECT_EQ(Rows(listed), "Kiosk | \nBack Door | Remove\nFront | Remove\n");
    EXPECT_FALSE(Holds(listed, key[1].str()));
    for (const auto& [fields, notice] : std::vector<std::pair<std::string, std::string>>{
             {"action=add&name=Back+Door",
              "422 A kiosk named &quot;Back Door&quot; is registered; remove it first to give it a "
              "new key."},
             {"action=add&name=%3Cb%3E",
              "422 Nothing was added: a kiosk&#39;s name is 1 to 40 letters, digits, blanks or "
              "&quot;-_.&quot;."},
             {"action=remove&name=Back+Door",
              "200 Kiosk &quot;Back Door&quot; is removed; its key no longer opens it."},
             {"action=remove&name=Back+Door", "200 No kiosk is named &quot;Back Door&quot;."},
             {"action=rename&name=Front", "200 That is no change of the kiosks."},
         }) {
        const auto page = admin.Change("/admin/kiosks", fields);
        EXPECT_EQ(std::to_string(StatusOf(page)) + " " + NoticeOf(page), notice) << fields;
    }
    EXPECT_EQ(s_server->Run({"kiosk-key", "list", "--config", s_server->Config().string()}),
              "Front\n");
}

TEST_F(AdminPagesTest, EveryPageIsKeptByNoBrowserAndSigningOutEndsTheSession) {
    const Administrator admin(*s_server);
    for (const char* page : {"/admin/timesheet", "/admin/employees", "/admin/settings",
                             "/admin/clock", "/admin/kiosks"}) {
        const auto answer = admin.Get(page);
        EXPECT_EQ(StatusOf(answer), 200) << page;
        EXPECT_TRUE(Holds(answer, "Cache-Control: no-store")) << page;
    }
    const auto out = admin.Post("/admin/logout", "");
    EXPECT_TRUE(Holds(out, "Clear-Site-Data: \"cache\""));
    const auto after = admin.Get("/admin/timesheet");
    EXPECT_EQ(StatusOf(after), 303);
    EXPECT_TRUE(Holds(after, "Location: /admin/login"));
}

// The timesheet's figures, and its downloads against `timeclock export`, for one week under the
// California rules: a 12:30 day (daily overtime and double time), a 9:00 day, and an IN left
// without its OUT, an exception that stops the export.
TEST_F(AdminPagesTest, TheTimesheetShowsThePeriodsFiguresAndDownloadsWhatTheExportWrites) {
    auto config = json::parse(ReadText(s_server->Config()));
    config["pay_rules"] = {{"overtime", "california"}};
    config["week_starts"] = "Sunday";
    // A template of the shop's own beside the shipped ones, and one that replaces a shipped one.
    const json columns = {{"columns", {{{"field", "card"}}}}};
    config["export_templates"] = {{"totals", columns}, {"daily", columns}};
    std::ofstream(s_server->Config()) << config.dump();
    const auto db = s_server->Database().string(), file = s_server->Config().string();
    for (const auto& [moment, button] :
         std::vector<std::pair<std::string, int>>{{"2026-11-02 07:00:00", 0},
                                                  {"2026-11-02 19:30:00", 1},
                                                  {"2026-11-03 08:00:00", 0},
                                                  {"2026-11-03 17:00:00", 1},
                                                  {"2026-11-05 08:00:00", 0}})
        s_server->Run({"punch", "--db", db, "--config", file, "--card", "1001", "--now", moment,
                       "--keys", "CLICK:cmdStampkind(" + std::to_string(button) + ") ENTER"});
    const Administrator admin(*s_server);
    const auto page = admin.Get("/admin/timesheet?period=2026-11-03");
    ASSERT_EQ(StatusOf(page), 200);
    EXPECT_TRUE(Holds(page, "Timesheet, 2026-11-01 to 2026-11-07"));
    EXPECT_TRUE(Holds(page, "<a href=\"?period=2026-10-25\">&larr; Period before</a>"));
    EXPECT_TRUE(Holds(page, "<a href=\"?period=2026-11-08\">Period after &rarr;</a>"));
    EXPECT_TRUE(Holds(page,
                      "<option>csv</option><option>hours-by-code</option><option>daily"
                      "</option><option>fixed-width</option><option>totals</option></select>"))
        << page;
    // The period is the whole week: no days before it count towards its weekly overtime.
    EXPECT_FALSE(Holds(page, "Weekly overtime counts the whole week"));
    // Monday is 12:30 (daily overtime and double time), Tuesday 9:00; each bar is a share of the
    // longest day.
    std::string bars;
    const std::regex bar("height:(\\d+)%");
    for (std::sregex_iterator it(page.begin(), page.end(), bar), end; it != end; ++it)
        bars += (*it)[1].str() + " ";
    EXPECT_EQ(bars, "0 100 72 0 0 0 0 ");
    EXPECT_EQ(
        Rows(page),
        "Card | Employee | Worked | Paid | Regular | Overtime 1.5x | Double time 2x | Lunch | "
        "Breaks | Leave | Dollars | Exceptions\n"
        "1001 | Avery Stone | 21:30 | 21:30 | 16:00 | 5:00 | 0:30 | 0:00 | 0:00 |  |  | "
        "2026-11-05: missing out (in at 08:00)\n"
        " | Total | 21:30 | 21:30 | 16:00 | 5:00 | 0:30 | 0:00 | 0:00 |  |  | \n");

    // Unresolved exceptions stop a download unless it is asked for anyway, as --force does.
    int status = 0;
    s_server->Run(
        {"export", "--db", db, "--config", file, "--format", "csv", "--period", "2026-11-03"}, "",
        &status);
    EXPECT_EQ(status, 2);
    const auto refused = admin.Get("/admin/export?period=2026-11-03&format=csv");
    EXPECT_EQ(StatusOf(refused), 409);
    EXPECT_EQ(NoticeOf(refused),
              "1 exception is unresolved in this period, so nothing was exported. Resolve them, or "
              "tick &quot;Export anyway&quot;.");
    EXPECT_TRUE(Holds(refused, "<ul id=\"unresolved\"><li>card 1001"));
    const auto unknown = admin.Get("/admin/export?period=2026-11-03&force=on&format=payslips");
    EXPECT_EQ(StatusOf(unknown), 409);
    EXPECT_EQ(NoticeOf(unknown), "There is no export &quot;payslips&quot;.");
    for (const std::string format : {"csv", "hours-by-code", "daily", "fixed-width"}) {
        const auto download =
            admin.Get("/admin/export?period=2026-11-03&force=on&format=" + format);
        ASSERT_EQ(StatusOf(download), 200) << format;
        const bool text = format == "fixed-width";
        EXPECT_TRUE(Holds(download, "Content-Disposition: attachment; filename=\"payroll-" +
                                        format + "-2026-11-01" + (text ? ".txt" : ".csv")));
        EXPECT_TRUE(Holds(download, text ? "text/plain" : "text/csv"));
        EXPECT_EQ(BodyOf(download),
                  s_server->Run({"export", "--db", db, "--config", file, "--format", format,
                                 "--period", "2026-11-03", "--force"}))
            << format;
    }
}

}  // namespace
