#include <gtest/gtest.h>

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
}

// Corrections from the pages land in the ledger, are refused in an approved week with the
// database's own words, and show in the audit as the administrator's.
TEST(LedgerPages, CorrectionsLeaveAndApprovalFromThePages) {
    ClockServer server;
    const Administrator admin(server);
    auto page = admin.Change("/admin/punches",
                             "action=add&card=1001&type=I&at=2026-12-01T08:00&reason=forgot+to+"
                             "punch&from=2026-11-29&to=2026-12-05");
    EXPECT_TRUE(Holds(page, "Punch 1 is added"));
    page = admin.Change("/admin/punches",
                        "action=add&card=1001&type=O&at=2026-12-01T16:30&reason=left+at+4.30&back="
                        "exceptions&from=2026-11-29&to=2026-12-05");
    EXPECT_TRUE(Holds(page, "Punch 1 is completed"));

    // Leave Friday to Tuesday, weekdays only: three days; then the week is approved and a range
    // that reaches into it stores nothing.
    page = admin.Change("/admin/punches",
                        "action=leave&card=1001&leave=S&hours=7.5&first=2026-12-04&last=2026-12-08&"
                        "weekdays=on&reason=flu");
    EXPECT_TRUE(Holds(page, "Booked 3 days of leave for card 1001."));
    page = admin.Change("/admin/approval", "action=approve&week=2026-12-10&card=");
    EXPECT_TRUE(Holds(page, "The week of 2026-12-06 is approved for everyone."));
    page = admin.Change(
        "/admin/punches",
        "action=leave&card=1001&leave=V&hours=8&first=2026-12-02&last=2026-12-07&reason=trip");
    EXPECT_TRUE(Holds(page, "is approved for everyone: nothing in it changes"));
    page = admin.Change(
        "/admin/punches",
        "action=leave&card=1001&leave=V&hours=24&first=2026-11-30&last=2026-11-30&reason=trip");
    EXPECT_TRUE(Holds(page, "less than 24 hours a day"));
    EXPECT_EQ(RowCount(server), 4u);

    const auto audit = admin.Get("/admin/audit?from=2000-01-01&to=2100-01-01");
    for (const char* text : {"<td>administrator</td>", "forgot to punch", "left at 4.30", "flu",
                             "<td>approve</td>", "sick 7.50"}) {
        EXPECT_TRUE(Holds(audit, text));
    }
}

// A punch made by `timeclock punch` on the same database shows on the page's next reading,
// and the page asks to be read again every second.
TEST(LedgerPages, WhosInShowsAPunchFromAnotherClock) {
    ClockServer server;
    const Administrator admin(server);
    auto page = admin.Get("/admin/whos-in");
    EXPECT_TRUE(Holds(page, "<meta http-equiv=\"refresh\" content=\"1\">"));
    EXPECT_TRUE(Holds(page, "No one is in."));
    int status = -1;
    server.Run({"punch", "--db", server.Database().string(), "--card", "1001", "--no-pause",
                "--keys", "CLICK:cmdStampkind(0) ENTER"},
               "", &status);
    ASSERT_EQ(status, 0) << server.Errors();
    page = admin.Get("/admin/whos-in");
    EXPECT_TRUE(Holds(page, "<td>1001</td><td>Avery Stone</td><td>Working</td>"));
}

}  // namespace
