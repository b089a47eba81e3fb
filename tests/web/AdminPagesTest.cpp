// The administrator's pages against a running `timeclock serve` on loopback: what a wrong form
// leaves behind, what the pages show beside what the `timeclock` commands say, and the session.
#include <cmath>
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

TEST_F(AdminPagesTest, ARefusedSettingLeavesTheFileAsItWasAndSaysWhyBesideTheField) {
    const Administrator admin(*s_server);
    struct Case {
        const char* page;
        std::vector<std::pair<std::string, std::string>> fields;
        const char* reason;
    };
    const std::vector<Case> cases{
        {"/admin/settings",
         {{"chkUseGlidepass", "on"}, {"txtResetSpan", "twelve"}},
         "&quot;twelve&quot; is no number"},
        {"/admin/settings", {{"txtResetSpan", "0"}}, "0 is out of bounds"},
        {"/admin/settings", {{"txtResetSpan", "500"}}, "500 is out of bounds"},
        {"/admin/clock", {{"idle_seconds", "twelve"}}, "is no whole number of seconds from 0"},
        {"/admin/clock", {{"confirm_seconds", "-1"}}, "is no whole number of seconds from 0"},
        {"/admin/clock", {{"week_starts", "Someday"}}, "is not a day of the week"},
        {"/admin/clock", {{"regional", "fr-FR"}}, "is neither"},
        {"/admin/clock",
         {{"pay_period", "biweekly"}, {"pay_anchor", ""}, {"overtime", "none"}},
         "biweekly period needs"},
    };
    for (const auto& c : cases) {
        const auto before = ReadText(s_server->Config());
        const auto answer = admin.Post(c.page, c.fields);
        EXPECT_EQ(StatusOf(answer), 422) << c.page << " " << c.fields.back().second;
        EXPECT_TRUE(Holds(answer, "<span class=\"reason\" role=\"alert\">"));
        EXPECT_TRUE(Holds(answer, c.reason));
        EXPECT_FALSE(Holds(answer, "applied;"));
        EXPECT_EQ(ReadText(s_server->Config()), before) << c.page << " " << c.reason;
    }
    // A right value is applied and kept.
    EXPECT_EQ(StatusOf(admin.Post("/admin/settings",
                                  {{"chkUseGlidepass", "on"}, {"txtResetSpan", "12.5"}})),
              303);
    const auto shown =
        json::parse(s_server->Run({"setup", "--config", s_server->Config().string(), "--show"}));
    EXPECT_EQ(shown["GlidepassSpan"], 12.5);
    EXPECT_EQ(shown["IsGlidepass"], true);
}

TEST_F(AdminPagesTest, TheClocksSettingsAreSavedWithTheKeysThePageDoesNotShow) {
    const Administrator admin(*s_server);
    auto config = json::parse(ReadText(s_server->Config()));
    config["a_newer_clocks_key"] = "kept";
    std::ofstream(s_server->Config()) << config.dump();
    const auto answer = admin.Post("/admin/clock", {{"idle_seconds", "45"},
                                                    {"week_starts", "Monday"},
                                                    {"clock_name", "Front desk"},
                                                    {"kiosk_sounds", "on"}});
    ASSERT_EQ(StatusOf(answer), 303) << answer;
    config = json::parse(ReadText(s_server->Config()));
    EXPECT_EQ(config["idle_seconds"], 45);
    EXPECT_EQ(config["week_starts"], "Monday");
    EXPECT_EQ(config["clock_name"], "Front desk");
    EXPECT_EQ(config["a_newer_clocks_key"], "kept");
    EXPECT_TRUE(config.contains("kiosks"));
    EXPECT_TRUE(Holds(admin.Get("/admin/clock"), "value=\"45\""));
}

TEST_F(AdminPagesTest, AWrongEmployeeIsRefusedWithItsReasonAndNobodyIsAdded) {
    const Administrator admin(*s_server);
    std::string sixty, sixty_one;
    for (int i = 0; i < 60; ++i)
        sixty += "\xC3\xA9";  // é: two bytes, one character
    sixty_one = sixty + "e";
    struct Case {
        std::vector<std::pair<std::string, std::string>> fields;
        const char* reason;
    };
    const std::vector<Case> cases{
        {{{"card", "2001"}, {"name", "  "}}, "A name cannot be blank."},
        {{{"card", "2002"}, {"name", "\t\xC2\xA0"}}, "A name cannot be blank."},
        {{{"card", "2003"}, {"name", sixty_one}}, "at most 60 characters; this one has 61"},
        {{{"card", "2004"}, {"name", "Pat Doe"}, {"pin", "1234"}}, "A PIN is only for managers"},
        {{{"card", "2005"}, {"name", "Pat Doe"}, {"manager", "on"}}, "A manager needs a PIN"},
        {{{"card", "2006"}, {"name", "Pat Doe"}, {"manager", "on"}, {"pin", "12"}}, "PIN"},
        {{{"card", "0"}, {"name", "Pat Doe"}}, "A card number is 1 to 9 digits"},
        {{{"card", "1001"}, {"name", "Pat Doe"}}, "1001"},
        {{{"card", "2007"}, {"name", "Bad \xFF name"}}, "bytes that are not"},
    };
    for (const auto& c : cases) {
        auto fields = c.fields;
        fields.insert(fields.begin(), {"action", "add"});
        const auto answer = admin.Post("/admin/employees", fields);
        EXPECT_EQ(StatusOf(answer), 422) << c.reason;
        EXPECT_TRUE(Holds(answer, "class=\"reason\"")) << c.reason;
        EXPECT_TRUE(Holds(answer, c.reason)) << BodyOf(answer);
    }
    const auto listed =
        json::parse(s_server->Run({"employee", "list", "--db", s_server->Database().string()}));
    for (const auto& employee : listed)
        EXPECT_TRUE(employee["card"] == 1001 || employee["card"] >= 3000) << employee;
    // Sixty characters are a name, however many bytes they take.
    EXPECT_TRUE(Holds(admin.Change("/admin/employees",
                                   "action=add&card=2010&name=" + Administrator::Encoded(sixty)),
                      "Added card 2010"));
}

TEST_F(AdminPagesTest, AKiosksKeyIsShownOnceAndItsRemovalEndsIt) {
    const Administrator admin(*s_server);
    const auto added = admin.Post("/admin/kiosks", {{"action", "add"}, {"name", "Back Door"}});
    ASSERT_EQ(StatusOf(added), 200) << added;
    std::smatch key;
    ASSERT_TRUE(std::regex_search(added, key,
                                  std::regex("/kiosk#key=([a-z2-7]{26})&amp;kiosk=Back%20Door")));
    EXPECT_FALSE(Holds(ReadText(s_server->Config()), key[1].str()));
    const auto listed = admin.Get("/admin/kiosks");
    EXPECT_TRUE(Holds(listed, "Back Door"));
    EXPECT_FALSE(Holds(listed, key[1].str()));
    EXPECT_EQ(StatusOf(admin.Post("/admin/kiosks", {{"action", "add"}, {"name", "Back Door"}})),
              422);
    EXPECT_EQ(StatusOf(admin.Post("/admin/kiosks", {{"action", "add"}, {"name", "<b>"}})), 422);
    EXPECT_EQ(StatusOf(admin.Post("/admin/kiosks", {{"action", "remove"}, {"name", "Back Door"}})),
              303);
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

// The timesheet's figures against `timeclock report`, and its downloads against `timeclock
// export`, for one week under the California rules: a 12:30 day (daily overtime and double
// time), a 9:00 day, and an IN left without its OUT, an exception that stops the export.
TEST_F(AdminPagesTest, TheTimesheetAddsUpAsTheReportAndDownloadsWhatTheExportWrites) {
    auto config = json::parse(ReadText(s_server->Config()));
    config["pay_rules"] = {{"overtime", "california"}};
    config["week_starts"] = "Sunday";
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
    const auto report = json::parse(s_server->Run(
        {"report", "--db", db, "--config", file, "--period", "2026-11-03", "--format", "json"}));
    const auto minutes = [&](const std::string& card, const std::string& field) {
        std::smatch cell;
        const std::regex pattern("data-card=\"" + card + "\"[^]*?data-field=\"" + field +
                                 "\" data-minutes=\"(\\d+)\"");
        return std::regex_search(page, cell, pattern) ? std::stoi(cell[1]) : -1;
    };
    ASSERT_EQ(report["employees"].size(), 1u);
    const auto& total = report["employees"][0]["total"];
    for (const char* field : {"worked", "regular", "overtime", "double_time"}) {
        EXPECT_EQ(minutes("1001", field), std::lround(total[field].get<double>() * 60)) << field;
        EXPECT_EQ(minutes("total", field), minutes("1001", field)) << field;
    }
    EXPECT_EQ(minutes("1001", "regular"), 16 * 60);
    EXPECT_EQ(minutes("1001", "overtime"), 5 * 60);
    EXPECT_EQ(minutes("1001", "double_time"), 30);
    EXPECT_EQ(minutes("1001", "paid"), minutes("1001", "regular") + minutes("1001", "overtime") +
                                           minutes("1001", "double_time"));

    // Unresolved exceptions stop a download unless it is asked for anyway, as --force does.
    int status = 0;
    s_server->Run(
        {"export", "--db", db, "--config", file, "--format", "csv", "--period", "2026-11-03"}, "",
        &status);
    EXPECT_EQ(status, 2);
    const auto refused = admin.Get("/admin/export?period=2026-11-03&format=csv");
    EXPECT_EQ(StatusOf(refused), 409);
    EXPECT_TRUE(Holds(refused, "<ul id=\"unresolved\"><li>card 1001"));
    EXPECT_TRUE(Holds(page, "<span class=\"exception\">2026-11-05: "));
    for (const std::string format : {"csv", "hours-by-code", "daily", "fixed-width"}) {
        const auto download =
            admin.Get("/admin/export?period=2026-11-03&force=on&format=" + format);
        ASSERT_EQ(StatusOf(download), 200) << format;
        EXPECT_TRUE(Holds(download, "Content-Disposition: attachment"));
        EXPECT_EQ(BodyOf(download),
                  s_server->Run({"export", "--db", db, "--config", file, "--format", format,
                                 "--period", "2026-11-03", "--force"}))
            << format;
    }
}

}  // namespace
