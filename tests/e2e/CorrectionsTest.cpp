#include "tests/e2e/Timeclock.h"

namespace {

using nlohmann::json;

class CorrectionsTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        ASSERT_TRUE(AddEmployee(1001, "Avery Stone"));
    }
    double Worked() const {
        const auto employees = JsonOnDb({"report", "--from", "2026-11-29", "--to", "2026-12-05",
                                         "--format", "json"})["employees"];
        return employees.empty() ? 0.0 : employees[0]["total"]["worked"].get<double>();
    }
};

// A day punched at the clock, corrected by a clerk: the report counts the corrected punches,
// the list keeps the originals and the voided punch, and the audit names every change.
TEST_F(CorrectionsTest, ReportCountsTheCorrectedPunchesAndTheAuditListsThem) {
    PunchButton("2026-12-01 08:00:00", 1001, 0);
    PunchButton("2026-12-01 16:00:00", 1001, 1);
    EXPECT_EQ(Worked(), 8.0);

    const auto edit = JsonOnDb(
        {"punches", "edit", "--id", "1", "--at", "2026-12-01 09:30", "--reason", "came in late"});
    EXPECT_EQ(edit["before"]["in"], "2026-12-01T08:00:00");
    EXPECT_EQ(edit["after"]["in"], "2026-12-01T09:30:00");
    EXPECT_EQ(Worked(), 6.5);

    // A forgotten day added whole: the out closes the added in.
    for (const auto& [type, at] : {std::pair{"I", "2026-12-02 08:00"}, {"O", "2026-12-02 12:00"}}) {
        const auto added = RunOnDb({"punches", "add", "--card", "1001", "--type", type, "--at", at,
                                    "--reason", "forgot to punch"});
        ASSERT_EQ(added.status, 0) << added.err;
    }
    EXPECT_EQ(Worked(), 10.5);
    ASSERT_EQ(RunOnDb({"punches", "void", "--id", "1", "--reason", "was on leave"}).status, 0);
    EXPECT_EQ(Worked(), 4.0);

    const auto punches = JsonOnDb({"punches", "list", "--card", "1001", "--format", "json"});
    ASSERT_EQ(punches.size(), 2u);
    EXPECT_EQ(punches[0]["id"], 1);
    EXPECT_TRUE(punches[0]["voided"].get<bool>());
    EXPECT_EQ(punches[0]["void_reason"], "was on leave");
    EXPECT_EQ(punches[0]["original"]["in"], "2026-12-01T08:00:00");
    EXPECT_EQ(punches[1]["out"], "2026-12-02T12:00:00");
    EXPECT_TRUE(punches[1]["added"].get<bool>());

    const auto audit = RunOnDb({"audit"});
    ASSERT_EQ(audit.status, 0) << audit.err;
    for (const char* line : {"1001 Avery Stone  edit", "came in late", "was on leave",
                             "forgot to punch", "2026-12-02 08:00 to 2026-12-02 12:00 4.00 h"})
        EXPECT_NE(audit.out.find(line), std::string::npos) << line << "\n" << audit.out;
}

// An approved week refuses the clock's punches and every correction, with a clear message,
// until it is reopened; both are audited.
TEST_F(CorrectionsTest, ApprovedWeekIsLockedUntilReopened) {
    PunchButton("2026-12-01 08:00:00", 1001, 0);
    const auto approved =
        RunOnDb({"approve", "--week", "2026-12-03", "--config", Config().string()});
    ASSERT_EQ(approved.status, 0) << approved.err;
    EXPECT_EQ(approved.out, "The week of 2026-11-29 is approved for everyone.\n");

    const auto at_clock =
        Punch("2026-12-01 17:00:00", "CLICK:cmdStampkind(1) ENTER", {"--card", "1001"});
    EXPECT_EQ(at_clock.json()["error"]["number"], 3033) << at_clock.out;
    const std::vector<std::vector<std::string>> refused{
        {"punches", "edit", "--id", "1", "--at", "2026-12-01 07:00", "--reason", "r"},
        {"punches", "void", "--id", "1", "--reason", "r"},
        {"punches", "add", "--card", "1001", "--type", "O", "--at", "2026-12-01 17:00", "--reason",
         "r"},
    };
    for (const auto& command : refused) {
        const auto result = RunOnDb(command);
        EXPECT_EQ(result.status, 2) << command[1];
        EXPECT_NE(result.err.find("is approved for everyone"), std::string::npos) << result.err;
    }
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});

    ASSERT_EQ(RunOnDb({"reopen", "--week", "2026-11-29"}).status, 0);
    EXPECT_EQ(Punch("2026-12-01 17:00:00", "CLICK:cmdStampkind(1) ENTER", {"--card", "1001"})
                  .json()["stored"],
              "stored");
    const auto audit = RunOnDb({"audit"}).out;
    for (const char* line : {"approve  2026-11-29  everyone", "reopen  2026-11-29  everyone"})
        EXPECT_NE(audit.find(line), std::string::npos) << line << "\n" << audit;
}

// The fixes the exceptions name, made as corrections: an IN added before an OUT that had none
// begins that record, and an OUT added after a forgotten one closes it.
TEST_F(CorrectionsTest, AddedPunchesClearMissingInsAndOuts) {
    PunchButton("2026-12-01 16:00:00", 1001, 1);
    PunchButton("2026-12-02 08:00:00", 1001, 0);
    const auto kinds = [&] {
        std::vector<std::string> listed;
        for (const auto& item :
             JsonOnDb({"exceptions", "--now", "2026-12-03 12:00:00", "--format", "json"}))
            listed.push_back(item["kind"]);
        return listed;
    };
    EXPECT_EQ(kinds(), (std::vector<std::string>{"missing_in", "missing_out"}));
    for (const auto& [type, at] : {std::pair{"I", "2026-12-01 08:00"}, {"O", "2026-12-02 12:00"}}) {
        const auto added = RunOnDb(
            {"punches", "add", "--card", "1001", "--type", type, "--at", at, "--reason", "forgot"});
        ASSERT_EQ(added.status, 0) << added.err;
        EXPECT_FALSE(added.json()["before"].is_null()) << type;
    }
    EXPECT_EQ(kinds(), std::vector<std::string>{});
    EXPECT_EQ(Worked(), 12.0);
}

// Leave over several days: one entry per day booked (Monday to Friday with --weekdays), each
// holding the day's hours, counted by the report and audited; refusals store nothing.
TEST_F(CorrectionsTest, LeaveOverSeveralDaysBooksOneEntryPerDay) {
    // Leave of `code` for `hours` a day ("" leaves the option out).
    const auto leave = [&](const char* code, const char* hours, const char* from, const char* to,
                           const char* reason, std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments{"punches", "add", "--card", "1001", "--leave",  code,
                                           "--from",  from,  "--to",   to,     "--reason", reason};
        if (*hours)
            arguments.insert(arguments.end(), {"--hours", hours});
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return RunOnDb(arguments);
    };
    // Friday 2026-12-04 to Tuesday 2026-12-08: Friday, Monday and Tuesday.
    const auto booked = leave("H", "8", "2026-12-04", "2026-12-08", "plant closed", {"--weekdays"});
    ASSERT_EQ(booked.status, 0) << booked.err;
    ASSERT_EQ(booked.json().size(), 3u) << booked.out;
    EXPECT_EQ(booked.json()[1]["after"]["in"], "2026-12-07T00:00:00");
    EXPECT_EQ(StoredTypes(), (std::vector<std::string>{"H", "H", "H"}));

    const auto employee = JsonOnDb({"report", "--from", "2026-12-01", "--to", "2026-12-10",
                                    "--format", "json"})["employees"][0];
    EXPECT_EQ(employee["total"]["leave"]["Holiday"], 24.0) << employee;
    std::vector<std::string> days;
    for (const auto& day : employee["days"])
        days.push_back(day["date"]);
    EXPECT_EQ(days, (std::vector<std::string>{"2026-12-04", "2026-12-07", "2026-12-08"}));
    EXPECT_NE(RunOnDb({"audit"}).out.find("plant closed"), std::string::npos);

    // Every day, funeral leave kept apart from personal leave by its notes.
    const auto every_day = leave("FL", "7.5", "2026-12-12", "2026-12-13", "funeral");
    ASSERT_EQ(every_day.status, 0) << every_day.err;
    EXPECT_EQ(every_day.json()[0]["after"]["notes"], "Funeral Leave");
    EXPECT_EQ(every_day.json()[1]["after"]["personal"], 7.5);

    // Refused whole: a range that reaches into an approved week, 24 hours a day, a dollar
    // entry, a weekend with --weekdays, no reason, leave mixed with a punch's options, no hours.
    ASSERT_EQ(RunOnDb({"approve", "--week", "2026-12-20"}).status, 0);
    const std::vector<std::tuple<const char*, const char*, const char*, const char*, const char*,
                                 std::vector<std::string>>>
        refused{
            {"S", "8", "2026-12-17", "2026-12-22", "flu", {}},
            {"S", "24", "2026-12-14", "2026-12-14", "flu", {}},
            {"A", "8", "2026-12-14", "2026-12-14", "flu", {}},
            {"S", "8", "2026-12-12", "2026-12-13", "flu", {"--weekdays"}},
            {"S", "8", "2026-12-14", "2026-12-14", " ", {}},
            {"S", "8", "2026-12-14", "2026-12-14", "flu", {"--type", "I"}},
            {"S", "", "2026-12-14", "2026-12-14", "flu", {}},
        };
    for (const auto& [code, hours, from, to, reason, extra] : refused) {
        const auto result = leave(code, hours, from, to, reason, extra);
        EXPECT_EQ(result.status, 2) << code << ' ' << hours << ' ' << to << ": " << result.err;
        EXPECT_FALSE(result.err.empty());
    }
    EXPECT_EQ(StoredTypes().size(), 5u);
}

}  // namespace
