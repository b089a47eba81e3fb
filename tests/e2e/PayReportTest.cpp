#include <algorithm>

#include "tests/e2e/Timeclock.h"
#include "tests/support/PayHistory.h"

namespace {

using nlohmann::json;

// The report under a configuration's pay rules: a pay period instead of a range, paid hours by
// rate, the raw and rounded punches, and the explanation of one day.
class PayReportTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        ASSERT_TRUE(AddEmployee(1001, "Avery Stone"));
        // Within the grace of 08:00, over 8 hours in the day, no lunch.
        for (const auto& punch : pay_history::TenHourDay(1001, "08:04:00"))
            ASSERT_EQ(Punch(punch.at, punch.Keys(), {"--card", "1001"}).status, 0);
    }
    std::string PayConfig(const json& pay_rules) const {
        return pay_history::WriteConfig(m_folder / "pay.json", {{"pay_rules", pay_rules}});
    }
    std::string CaliforniaWithGrace() const {
        return PayConfig(json::parse(R"({
            "overtime": "california",
            "meal": "california",
            "rounding": {"minutes": 15, "direction": "up", "grace_minutes": 5},
            "period": {"kind": "semimonthly"}})"));
    }
};

TEST_F(PayReportTest, PeriodHoldingADayIsReportedWithPaidHoursAndRoundedPunches) {
    const json report = JsonOnDb({"report", "--period", "2026-12-03", "--config",
                                  CaliforniaWithGrace(), "--format", "json"});
    EXPECT_EQ(report["from"], "2026-12-01");
    EXPECT_EQ(report["to"], "2026-12-15");
    const json& employee = report["employees"][0];
    const json& day = employee["days"][0];
    EXPECT_EQ(day["worked"], 9.93);  // 9:56 as punched
    EXPECT_EQ(day["regular"], 8);    // 08:00 to 18:00 as paid
    EXPECT_EQ(day["overtime"], 2);
    EXPECT_EQ(day["double_time"], 0);
    EXPECT_EQ(day["raw"], json::parse(R"(["2026-12-01T08:04:00", "2026-12-01T18:00:00"])"));
    EXPECT_EQ(day["rounded"], json::parse(R"(["2026-12-01T08:00:00", "2026-12-01T18:00:00"])"));
    // A shift that breaks a meal rule is listed, and paid as worked.
    EXPECT_EQ(day["exceptions"],
              json::array({"no meal of 30 min within the first 5:00 worked (shift from 08:04, "
                           "10:00 worked)"}));
    EXPECT_EQ(employee["total"]["regular"], 8);
    EXPECT_EQ(employee["total"]["overtime"], 2);
}

TEST_F(PayReportTest, ExplainsOneDay) {
    const auto result = RunOnDb({"report", "--explain", "--card", "1001", "--date", "2026-12-01",
                                 "--config", CaliforniaWithGrace()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "Card 1001  2026-12-01\n"
              "  in 08:04 -> 08:00: grace of 5 min after 08:00 (rounding of in: up 15 min, "
              "grace 5 min)\n"
              "  out 18:00: on the mark (rounding of out: up 15 min, grace 5 min)\n"
              "  worked 10:00\n"
              "  ! no meal of 30 min within the first 5:00 worked (shift from 08:04, 10:00 "
              "worked)\n"
              "  8:00 regular\n"
              "  2:00 at 1.5x: over 8:00 worked in the day\n");
}

// The clock's figures after the next morning's punch are the report's: the paid 10 hours of the
// day before in the period so far, 2 of them overtime.
TEST_F(PayReportTest, ClockShowsThePaidFiguresAfterAPunch) {
    const auto punch = Punch("2026-12-02 08:00:00", "CLICK:cmdStampkind(0) ENTER",
                             {"--card", "1001", "--statistics"}, CaliforniaWithGrace());
    ASSERT_EQ(punch.status, 0) << punch.err;
    const json display = punch.json()["display"];
    const json shown = {"SetUserInput", "Today 0:00  This period 10:00 (2:00 overtime)"};
    EXPECT_NE(std::find(display.begin(), display.end(), shown), display.end()) << punch.out;
}

TEST_F(PayReportTest, RefusesWhatCannotBeWorkedOut) {
    const auto bad_rules = RunOnDb({"report", "--period", "2026-12-01", "--config",
                                    PayConfig(json::parse(R"({"rounding": {"minutes": 7}})"))});
    EXPECT_EQ(bad_rules.status, 1);
    EXPECT_NE(bad_rules.err.find("\"pay_rules.rounding.minutes\""), std::string::npos)
        << bad_rules.err;
}

}  // namespace
