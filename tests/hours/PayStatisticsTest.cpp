#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "host/clock/EmployeeStatistics.h"
#include "host/hours/PayRules.h"
#include "tests/support/PayRuleCases.h"
#include "tests/support/TempFolder.h"

namespace {

using nlohmann::json;
using namespace pay_cases;
using timeclock::EmployeeStatistics;

hours::PayRules Rules(const char* stored) {
    return hours::ReadPayRules(json::parse(stored));
}

// Noon of a day counted from the table's Sunday.
platform::Date NoonOf(int64_t day) {
    return platform::Date{static_cast<double>(kSunday + day) + 0.5};
}

// The clock's statistics read from the database on the Monday after each case's week, in a
// two-week pay period from the case's Sunday that holds the whole week, give the figures the
// case worked out by hand, and show them.
class StatisticsRuleCases : public ::testing::TestWithParam<RuleCase> {};

TEST_P(StatisticsRuleCases, ShowTheSplitWorkedOutByHand) {
    const RuleCase& c = GetParam();
    TempFolder folder;
    StoreRows(folder.path() / "clock.db", 7, c.rows);
    auto rules = Rules(c.rules);
    rules.period = {hours::PeriodKind::Biweekly, kSunday};
    const orvane::ClockDatabase database(folder.path() / "clock.db");

    const auto figures = EmployeeStatistics::Compute(database, 7, NoonOf(8), rules);
    ASSERT_TRUE(figures.paid);
    EXPECT_EQ(figures.paid->regular, c.regular);
    EXPECT_EQ(figures.paid->overtime, c.overtime);
    EXPECT_EQ(figures.paid->double_time, c.double_time);
    const Minutes paid = c.regular + c.overtime + c.double_time;
    EXPECT_DOUBLE_EQ(figures.hours_this_week * 60, static_cast<double>(paid));
    const std::string shown = figures.Lines().at(0);
    EXPECT_NE(shown.find("This period " + hours::FormatHoursMinutes(paid)), std::string::npos)
        << shown;
    if (c.overtime > 0) {
        EXPECT_NE(shown.find(hours::FormatHoursMinutes(c.overtime) + " overtime"),
                  std::string::npos)
            << shown;
    }
}

INSTANTIATE_TEST_SUITE_P(PayRules, StatisticsRuleCases, ::testing::ValuesIn(Table()), CaseName);

TEST(PayStatistics, TextNamesThePeriodAndTheOvertimeOnlyUnderTheirRules) {
    // Monday to Thursday 08:00 to 18:00, and 8 h of vacation on Friday; it is Friday noon. The
    // semimonthly and monthly periods begin on Tuesday the 1st, without Monday's 10 h.
    auto rows = Joined({Days({1, 2, 3, 4}, "08:00", "18:00"), {Stored("V", At(5, "08:00"), 0)}});
    rows.back().vacation = 8;
    rows.back().date_out.reset();
    rows.back().time_out.reset();
    struct Case {
        const char* rules;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"{}", {"Today 0:00  This week 40:00", "Leave this week: Vacation 8:00"}},
        {R"({"overtime": "weekly-40"})",
         {"Today 0:00  This week 40:00 (0:00 overtime)", "Leave this week: Vacation 8:00"}},
        {R"({"overtime": "california", "period": {"kind": "semimonthly"}})",
         {"Today 0:00  This period 30:00 (6:00 overtime)", "Leave this period: Vacation 8:00"}},
        {R"({"overtime": {"daily_hours": 8, "daily_double_hours": 9}})",
         {"Today 0:00  This week 40:00 (4:00 overtime, 4:00 double time)",
          "Leave this week: Vacation 8:00"}},
        // Rounding alone: the paid time, with no word of overtime.
        {R"({"rounding": {"minutes": 15}, "period": {"kind": "monthly"}})",
         {"Today 0:00  This period 30:00", "Leave this period: Vacation 8:00"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EmployeeStatistics::Compute(rows, NoonOf(5), Rules(c.rules)).Lines(), c.lines)
            << c.rules;
}

TEST(PayStatistics, TodayAndThePeriodArePaidAsRounded) {
    const auto rows = Joined({{Work(1, "08:07", "16:53")}, {Work(2, "08:08", "11:30")}});
    const auto figures = EmployeeStatistics::Compute(rows, NoonOf(2), Rules(R"({"rounding":
        {"minutes": 15}})"));
    EXPECT_EQ(figures.Lines(), std::vector<std::string>{"Today 3:15  This week 12:15"});
}

// A semimonthly period that begins on a Wednesday: the weekly threshold counts the Sunday to
// Tuesday before it, so the clock reads them too, and pays the period's Wednesday as the report
// does.
TEST(PayStatistics, WeeklyOvertimeCountsTheWeekBeforeThePeriodBegins) {
    // 2020-12-13 is a Sunday, two weeks after the table's; the 16th is the Wednesday.
    TempFolder folder;
    StoreRows(folder.path() / "clock.db", 7,
              Joined({Days({14, 15, 16}, "06:00", "18:00"), {Work(17, "08:00", "18:00")}}));
    const orvane::ClockDatabase database(folder.path() / "clock.db");
    const auto figures = EmployeeStatistics::Compute(
        database, 7, platform::Date{static_cast<double>(kSunday + 17) + 20 / 24.0},
        Rules(R"({"overtime": "weekly-40", "period": {"kind": "semimonthly"}})"));
    ASSERT_TRUE(figures.paid);
    EXPECT_EQ(figures.paid->period.first, kSunday + 17);
    EXPECT_EQ(figures.paid->regular, H(4));
    EXPECT_EQ(figures.paid->overtime, H(6));
    EXPECT_DOUBLE_EQ(figures.hours_today, 10);
}

}  // namespace
