#include "host/hours/PayRules.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

#include "host/hours/PayCalculation.h"
#include "host/hours/PayPeriod.h"
#include "platform/Error.h"
#include "tests/support/PayRuleCases.h"
#include "tests/support/Raised.h"

namespace {

using nlohmann::json;

using namespace pay_cases;

hours::PayCalculation Pay(const std::vector<Row>& rows, const std::string& rules) {
    const platform::Date now{static_cast<double>(kSunday + 30)};
    const auto card = hours::Timecard::Calculate(rows, {now});
    return hours::PayCalculation::Calculate(card, hours::ReadPayRules(json::parse(rules)));
}

class RuleCases : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RuleCases, SplitAsWorkedOutByHand) {
    const RuleCase& c = GetParam();
    Minutes regular = 0, overtime = 0, double_time = 0;
    size_t findings = 0;
    const auto pay = Pay(c.rows, c.rules);
    for (const auto& [day, paid] : pay.days()) {
        EXPECT_EQ(paid.regular + paid.overtime + paid.double_time, paid.worked) << day;
        regular += paid.regular;
        overtime += paid.overtime;
        double_time += paid.double_time;
        findings += paid.exceptions.size();
    }
    EXPECT_EQ(regular, c.regular);
    EXPECT_EQ(overtime, c.overtime);
    EXPECT_EQ(double_time, c.double_time);
    EXPECT_EQ(findings, c.findings);
}

INSTANTIATE_TEST_SUITE_P(PayRules, RuleCases, ::testing::ValuesIn(Table()), CaseName);

TEST(PayExplanation, NamesTheWeeklyAndSeventhDayRules) {
    const auto weekly =
        Pay(Joined({Days({1, 2, 3, 4, 5}, "08:00", "16:00"), {Work(6, "08:00", "18:00")}}),
            R"({"overtime": "california"})");
    EXPECT_EQ(weekly.Day(kSunday + 6).reasons,
              (std::vector<std::string>{
                  "2:00 at 1.5x: over 8:00 worked in the day",
                  "8:00 at 1.5x: regular hours of the week from 2020-11-29 past 40:00",
              }));
    const auto seventh =
        Pay(Days({0, 1, 2, 3, 4, 5, 6}, "08:00", "18:00"), R"({"overtime": "california"})");
    EXPECT_EQ(seventh.Day(kSunday + 6).reasons,
              (std::vector<std::string>{
                  "8:00 at 1.5x: seventh day worked in a row this week, the first 8:00",
                  "2:00 at 2x: seventh day worked in a row this week, beyond 8:00",
              }));
}

TEST(PayExplanation, NightShiftIsPaidOnTheDayItBegan) {
    const auto pay = Pay({Work(6, "22:00", "06:00")}, R"({"overtime": "california"})");
    EXPECT_EQ(pay.Day(kSunday + 6).worked, H(8));
    EXPECT_EQ(pay.Day(kSunday + 7).worked, 0);
    EXPECT_EQ(pay.Explain(kSunday + 6).at(1), "out 2020-12-06 06:00: not rounded");
}

// Wrong settings name the key that is wrong.
TEST(PayRulesReading, NamesTheWrongKey) {
    const auto wrong_key = [](const char* stored, const std::string& key) {
        std::string error;
        EXPECT_EQ(ErrorNumberOf([&] { hours::ReadPayRules(json::parse(stored)); }, &error),
                  platform::err::kBadFileFormat)
            << stored;
        EXPECT_NE(error.find("\"" + key + "\""), std::string::npos) << error;
    };
    wrong_key(R"({"overtime": "weekly-48"})", "pay_rules.overtime");
    wrong_key(R"({"overtime": {"preset": "texas"}})", "pay_rules.overtime.preset");
    wrong_key(R"({"overtime": {"daily_hours": -1}})", "pay_rules.overtime.daily_hours");
    wrong_key(R"({"overtime": {"daily_hours": 12, "daily_double_hours": 8}})",
              "pay_rules.overtime.daily_double_hours");
    wrong_key(R"({"rounding": {"minutes": 7}})", "pay_rules.rounding.minutes");
    wrong_key(R"({"rounding": {"in": {"direction": "sideways"}}})",
              "pay_rules.rounding.in.direction");
    wrong_key(R"({"rounding": {"minutes": 5, "grace_minutes": 5}})",
              "pay_rules.rounding.grace_minutes");
    wrong_key(R"({"rounding": {"out": {"in": {}}}})", "pay_rules.rounding.out");
    wrong_key(R"({"meal": {"breaks": "sometimes"}})", "pay_rules.meal.breaks");
    wrong_key(R"({"period": {"kind": "biweekly"}})", "pay_rules.period.anchor");
    wrong_key(R"({"period": {"kind": "biweekly", "anchor": "2026-02-30"}})",
              "pay_rules.period.anchor");
    wrong_key(R"({"period": {"kind": "monthly", "anchor": "2026-02-01"}})",
              "pay_rules.period.anchor");
    wrong_key(R"({"colour": "blue"})", "pay_rules.colour");
    wrong_key(R"([])", "pay_rules");
}

TEST(PayRulesReading, KindsTakeTheCommonRuleAndTheirOwnOverrides) {
    const auto rules = hours::ReadPayRules(json::parse(
        R"({"rounding": {"minutes": 15, "direction": "up", "in": {"grace_minutes": 7}}})"));
    EXPECT_EQ(rules.rounding.For(hours::PunchKind::In),
              (hours::RoundingRule{15, hours::RoundDirection::Up, 7}));
    EXPECT_EQ(rules.rounding.For(hours::PunchKind::Break),
              (hours::RoundingRule{15, hours::RoundDirection::Up, 0}));
    EXPECT_EQ(hours::ReadPayRules(json::object()), hours::PayRules{});
}

TEST(PayRulesReading, WrittenRulesReadBackTheSame) {
    for (const char* stored : {
             R"({})",
             R"({"overtime": "california", "meal": "california"})",
             R"({"overtime": {"preset": "weekly-40", "daily_hours": 7.5}})",
             R"({"rounding": {"minutes": 6, "direction": "employee", "lunch": {"minutes": 1},
                 "break": {"grace_minutes": 3}},
                 "meal": {"deduct_after_hours": 6, "breaks": "unpaid"},
                 "period": {"kind": "biweekly", "anchor": "2026-11-23"}})",
             R"({"period": {"kind": "semimonthly"}})",
         }) {
        const auto rules = hours::ReadPayRules(json::parse(stored));
        EXPECT_EQ(hours::ReadPayRules(hours::WritePayRules(rules)), rules) << stored;
    }
    EXPECT_EQ(
        hours::WritePayRules(hours::ReadPayRules(json::parse(R"({"overtime": "weekly-40"})"))),
        json::parse(R"({"overtime": "weekly-40"})"));
}

// A day written "YYYY-MM-DD", as days since day zero.
int64_t DayOf(const char* text) {
    int year = 0, month = 0, day = 0;
    std::sscanf(text, "%d-%d-%d", &year, &month, &day);
    return static_cast<int64_t>(platform::make_date(year, month, day)->days);
}

// The period that holds a day, for each kind of period; biweekly ones count from 2026-11-23.
TEST(PayPeriods, HoldTheDayForEachKind) {
    struct PeriodCase {
        const char* kind;
        int week_starts;
        const char *day, *first, *last;
    };
    const PeriodCase cases[] = {
        {"weekly", 0, "2026-12-05", "2026-11-29", "2026-12-05"},
        {"weekly", 1, "2026-12-06", "2026-11-30", "2026-12-06"},
        {"biweekly", 0, "2026-11-23", "2026-11-23", "2026-12-06"},  // the anchor itself
        {"biweekly", 0, "2026-12-07", "2026-12-07", "2026-12-20"},
        {"biweekly", 0, "2026-11-22", "2026-11-09", "2026-11-22"},  // before the anchor
        {"semimonthly", 0, "2026-12-15", "2026-12-01", "2026-12-15"},
        {"semimonthly", 0, "2026-12-16", "2026-12-16", "2026-12-31"},
        {"semimonthly", 0, "2028-02-20", "2028-02-16", "2028-02-29"},  // leap February
        {"monthly", 0, "2027-02-10", "2027-02-01", "2027-02-28"},
        {"monthly", 0, "9999-12-31", "9999-12-01", "9999-12-31"},  // the calendar's last
    };
    for (const auto& c : cases) {
        json period{{"kind", c.kind}};
        if (std::string(c.kind) == "biweekly")
            period["anchor"] = "2026-11-23";
        auto rules = hours::ReadPayRules(json{{"period", period}});
        rules.week_starts = c.week_starts;
        EXPECT_EQ(hours::PeriodHolding(DayOf(c.day), rules),
                  (hours::PayPeriod{DayOf(c.first), DayOf(c.last)}))
            << c.kind << " " << c.day;
    }
    hours::PayRules semimonthly;
    semimonthly.period.kind = hours::PeriodKind::Semimonthly;
    EXPECT_EQ(hours::PreviousPeriod({DayOf("2026-12-01"), DayOf("2026-12-15")}, semimonthly),
              (hours::PayPeriod{DayOf("2026-11-16"), DayOf("2026-11-30")}));
}

}  // namespace
