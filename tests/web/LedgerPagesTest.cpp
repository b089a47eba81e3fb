#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "tests/web/ClockServer.h"

namespace {

size_t RowCount(const ClockServer& server) {
    return orvane::ClockDatabase(server.Database()).Rows().size();
}

// One punch of card 1001 in the clock database, and a form for each change of the ledger.
TEST(LedgerPages, EveryFormRefusesAMissingTokenAndACorrectionWithoutReason) {
    ClockServer server;
    orvane::ClockDatabase(server.Database())
        .AddPunch(1001, "I", platform::Date{46357.25}, 16, {"test", {}, "", "setting up"});
    const Administrator admin(server);
    struct Form {
        const char* name;
        std::string path;
        std::string fields;  // without the reason
        bool needs_reason;
    };
    const std::vector<Form> forms{
        {"Add", "/admin/punches", "action=add&card=1001&type=O&at=2026-12-01T16:00", true},
        {"Edit", "/admin/punches", "action=edit&id=1&at=2026-12-01T07:00", true},
        {"Void", "/admin/punches", "action=void&id=1", true},
        {"Leave", "/admin/punches",
         "action=leave&card=1001&leave=V&hours=8&first=2026-12-07&last=2026-12-08", true},
        {"Approve", "/admin/approval", "action=approve&week=2026-12-01", false},
    };
    for (const auto& form : forms) {
        const auto refused = admin.Post(form.path, form.fields, false);
        EXPECT_EQ(StatusOf(refused), 403) << form.name;
        EXPECT_TRUE(Holds(refused, "did not come from this clock's pages"));
        if (form.needs_reason) {
            const auto page = admin.Change(form.path, form.fields + "&reason=+");
            EXPECT_TRUE(Holds(page, "Not changed: A correction needs a reason.")) << form.name;
        }
    }
    EXPECT_EQ(RowCount(server), 1u);
    EXPECT_TRUE(Holds(admin.Get("/admin/approval"), "No week is approved."));
    // The IN without its OUT, with the OUT it needs ready at the end of a working day; an OUT
    // without its IN, with the IN ready at the start of one.
    orvane::ClockDatabase(server.Database())
        .AddPunch(1001, "O", platform::Date{46359.75}, 16, {"test", {}, "", "setting up"});
    EXPECT_EQ(
        Rows(admin.Get("/admin/exceptions?from=2026-12-05&to=2026-11-29")),
        "Employee | Day | Exception | Fix | Make the fix\n"
        "1001 Avery Stone | 2026-12-01 | missing out (in at 06:00) | add the OUT at the end of "
        "this shift, or void the IN | Add the OUT at [2026-12-01T14:00]  Add Void punch 1\n"
        "1001 Avery Stone | 2026-12-03 | missing in (out at 18:00) | add the IN at the start of "
        "this shift, or void the OUT | Add the IN at [2026-12-03T10:00]  Add Void punch 2\n");
}

// Corrections from the pages land in the ledger, are refused in an approved week with the
// database's own words, and show on the punches page and in the audit as the administrator's.
TEST(LedgerPages, CorrectionsLeaveAndApprovalFromThePages) {
    ClockServer server;
    auto config = nlohmann::json::parse(ReadText(server.Config()));
    config["clock_name"] = "Office";
    std::ofstream(server.Config()) << config.dump();
    const Administrator admin(server);
    const std::string week = "&from=2026-11-29&to=2026-12-05";
    // Each change as its form posts it, and the notice on the page it leads to. Leave Friday to
    // Tuesday, weekdays only, is three days; once the week is approved, a range that reaches into
    // it stores nothing.
    const struct {
        const char* path;
        std::string fields;
        const char* notice;
    } changes[] = {
        {"/admin/punches", "action=add&card=1001&type=I&at=2026-12-01T08:00&reason=forgot" + week,
         "Punch 1 is added: #1 &quot;I&quot; 2026-12-01 08:00 to -."},
        {"/admin/punches",
         "action=add&card=1001&type=O&at=2026-12-01+16:30&reason=left+at+4.30&back=exceptions" +
             week,
         "Punch 1 is completed: #1 &quot;O&quot; 2026-12-01 08:00 to 2026-12-01 16:30 8.50 h."},
        {"/admin/punches",
         "action=edit&id=1&at=2026-12-01T07:45&out_at=2026-12-01T16:30&reason=badge",
         "Punch 1 is now #1 &quot;O&quot; 2026-12-01 07:45 to 2026-12-01 16:30 8.75 h."},
        {"/admin/punches",
         "action=leave&card=1001&leave=S&hours=7.5&first=2026-12-04&last=2026-12-08&weekdays=on&"
         "reason=flu",
         "Booked 3 days of leave for card 1001."},
        {"/admin/punches", "action=void&id=2&reason=was+well", "Punch 2 is voided."},
        {"/admin/approval", "action=approve&week=2026-12-10&card=",
         "The week of 2026-12-06 is approved for everyone."},
        {"/admin/approval", "action=approve&week=2026-12-01&card=1001",
         "The week of 2026-11-29 is approved for card 1001."},
        {"/admin/approval", "action=reopen&week=2026-11-30&card=1001",
         "The week of 2026-11-29 is reopened for card 1001."},
        {"/admin/punches",
         "action=leave&card=1001&leave=V&hours=8&first=2026-12-02&last=2026-12-07&reason=trip",
         "Not changed: The week of 2026-12-06 is approved for everyone: nothing in it changes "
         "until it is reopened."},
        {"/admin/punches",
         "action=leave&card=1001&leave=V&hours=24&first=2026-11-30&last=2026-11-30&reason=trip",
         "Not changed: Leave is more than 0 and less than 24 hours a day."},
        {"/admin/punches", "action=edit&id=x&reason=r", "There is no punch x to correct."},
        {"/admin/punches", "action=edit&id=1&at=2026-12-01T08:60&reason=r",
         "A moment is given as a date and a time."},
        {"/admin/punches", "action=add&card=1001&type=I&reason=r",
         "A punch is added with its card and its moment."},
        {"/admin/punches", "action=leave&card=1001&first=2026-12-01&reason=r",
         "Leave is booked with a card, a first and a last day."},
        {"/admin/approval", "action=approve&week=soon",
         "A week is chosen by one of its days, as YYYY-MM-DD."},
        {"/admin/approval", "action=approve&week=2026-12-01&card=x",
         "A card number is 1 to 9 digits; leave it empty for everyone."},
    };
    for (const auto& change : changes)
        EXPECT_EQ(NoticeOf(admin.Change(change.path, change.fields)), change.notice)
            << change.fields;
    // The pages as read, each moment the server's clock stamped shown as "(at)".
    const auto read = [&](const std::string& path) {
        return std::regex_replace(
            Rows(admin.Get(path)),
            std::regex("[-0-9]{10} [:0-9]{5}( administrator:|\n| \\| Office| \\| administrator)"),
            "(at)$1");
    };
    EXPECT_EQ(read("/admin/punches?from=2026-11-29&to=2026-12-12"),
              "Punch | Employee | Type | In | Out | Amount | History | Correct\n"
              "1 added | 1001 Avery Stone | O | 2026-12-01 07:45 | 2026-12-01 16:30 |  | (at) "
              "administrator: add — forgot(at) administrator: add — left at 4.30(at) "
              "administrator: edit — badge | ChangeIn [2026-12-01T07:45] Out [2026-12-01T16:30]   "
              "Change Void\n"
              "2 voided | 1001 Avery Stone | S | 2026-12-04 00:00 |  | 7.5 h Sick | (at) "
              "administrator: add — flu(at) administrator: void — was well | \n"
              "3 added | 1001 Avery Stone | S | 2026-12-07 00:00 |  | 7.5 h Sick | (at) "
              "administrator: add — flu | ChangeIn [2026-12-07T00:00] Out []   Change Void\n"
              "4 added | 1001 Avery Stone | S | 2026-12-08 00:00 |  | 7.5 h Sick | (at) "
              "administrator: add — flu | ChangeIn [2026-12-08T00:00] Out []   Change Void\n");
    EXPECT_EQ(read("/admin/approval"),
              "Week of | For | Approved by | At\n2026-12-06 | everyone | administrator | (at)\n");
    // The audit in its three sections: the first correction, and the approvals and reopenings.
    const auto audit = read("/admin/audit?from=2000-01-01&to=2100-01-01");
    EXPECT_TRUE(Holds(audit,
                      "Entered at | Clock | Manager | Employee | Record\nCorrected at | Clock | "
                      "By | Employee | Action | Before | After | Reason\n(at) | Office | "
                      "administrator | 1001 Avery Stone | add | - | #1 &quot;I&quot; "
                      "2026-12-01 08:00 to - | forgot\n"));
    EXPECT_TRUE(Holds(audit,
                      "was well\nAt | By | Action | Week | Employees\n"
                      "(at) | administrator | approve | 2026-12-06 | everyone\n"
                      "(at) | administrator | approve | 2026-11-29 | 1001 Avery Stone\n"
                      "(at) | administrator | reopen | 2026-11-29 | 1001 Avery Stone\n"));
}

// A punch made by `timeclock punch` on the same database shows on the page's next reading,
// and the page asks to be read again every second.
TEST(LedgerPages, WhosInShowsAPunchFromAnotherClock) {
    ClockServer server;
    const Administrator admin(server);
    auto page = admin.Get("/admin/whos-in");
    EXPECT_TRUE(
        Holds(page, "<meta http-equiv=\"refresh\" content=\"1; url=/admin/whos-in?reload=1\">"));
    EXPECT_TRUE(Holds(page, ", 0 people are in.</p>"));
    EXPECT_TRUE(Holds(page, "No one is in."));
    int status = -1;
    server.Run({"punch", "--db", server.Database().string(), "--card", "1001", "--no-pause",
                "--keys", "CLICK:cmdStampkind(0) ENTER"},
               "", &status);
    ASSERT_EQ(status, 0) << server.Errors();
    page = admin.Get("/admin/whos-in");
    EXPECT_TRUE(Holds(page, ", 1 person is in.</p>"));
    EXPECT_TRUE(Holds(page, "<td>1001</td><td>Avery Stone</td><td>Working</td>"));
}

// The page's own reloads do not keep the administrator signed in: a page left open on a screen
// signs itself out once the session's time has gone by with no page asked for by a person.
TEST(LedgerPages, WhosInReloadsDoNotKeepTheSessionAlive) {
    ClockServer server(nlohmann::json{{"admin_session_seconds", 1}});
    const Administrator admin(server);
    std::smatch reload;
    const auto page = admin.Get("/admin/whos-in");
    ASSERT_TRUE(std::regex_search(page, reload, std::regex("content=\"1; url=([^\"]+)\"")));
    // Reloaded without a pause; the bound only keeps a broken server from holding the test.
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string answer;
    do
        answer = admin.Get(reload[1]);
    while (StatusOf(answer) == 200 && std::chrono::steady_clock::now() < bound);
    EXPECT_EQ(StatusOf(answer), 303);
    EXPECT_TRUE(Holds(answer, "Location: /admin/login?refused=Sign+in+to+continue.\r\n"));
    EXPECT_EQ(StatusOf(admin.Get("/admin/employees")), 303);
}

}  // namespace
