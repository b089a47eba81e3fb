#include "host/hours/PayRules.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "host/hours/PayCalculation.h"
#include "host/hours/PayPeriod.h"
#include "platform/Error.h"

namespace {

using hours::Minutes;
using nlohmann::json;
using Row = orvane::ClockDatabase::Row;

// Day 46355 is Sunday 2026-11-29, the first day of a week that starts on Sunday.
constexpr int64_t kSunday = 46355;

// A moment written as a weekday (0 Sunday to 6 Saturday, 7 the next Sunday) and "HH:MM".
Minutes At(int weekday, const char* clock) {
    int hour = 0, minute = 0;
    std::sscanf(clock, "%d:%d", &hour, &minute);
    return (kSunday + weekday) * hours::kMinutesPerDay + hour * 60 + minute;
}

// A closed record of a type as the clock database stores it, from one moment to another.
Row Stored(const char* type, Minutes in, Minutes out) {
    static int64_t next_id = 1;
    Row row;
    row.id = next_id++;
    row.punch_type = type;
    const auto place = [](Minutes moment, auto& date, auto& time) {
        const auto day = hours::DayOf(moment);
        date = platform::Date{static_cast<double>(day)};
        time = platform::Date{static_cast<double>(moment - day * hours::kMinutesPerDay) /
                              hours::kMinutesPerDay};
    };
    place(in, row.date_in, row.time_in);
    place(out, row.date_out, row.time_out);
    return row;
}
// Work from in to out; an out before its in's time of day is on the next day.
Row Work(int weekday, const char* in, const char* out) {
    const Minutes start = At(weekday, in);
    Minutes end = At(weekday, out);
    if (end < start)
        end += hours::kMinutesPerDay;
    return Stored("O", start, end);
}
Row Lunch(int weekday, const char* leave, const char* back) {
    return Stored("LI", At(weekday, leave), At(weekday, back));
}
Row Break(int weekday, const char* leave, const char* back) {
    return Stored("BI", At(weekday, leave), At(weekday, back));
}
// The same hours on each of several weekdays.
std::vector<Row> Days(std::vector<int> weekdays, const char* in, const char* out) {
    std::vector<Row> rows;
    for (const int weekday : weekdays)
        rows.push_back(Work(weekday, in, out));
    return rows;
}
std::vector<Row> Joined(std::vector<std::vector<Row>> parts) {
    std::vector<Row> rows;
    for (auto& part : parts)
        rows.insert(rows.end(), part.begin(), part.end());
    return rows;
}

hours::PayCalculation Pay(const std::vector<Row>& rows, const std::string& rules) {
    const platform::Date now{static_cast<double>(kSunday + 30)};
    const auto card = hours::Timecard::Calculate(rows, {now});
    return hours::PayCalculation::Calculate(card, hours::ReadPayRules(json::parse(rules)));
}

constexpr Minutes H(double hours) {
    return static_cast<Minutes>(hours * 60);
}

// A short history under a rule set, with its hours split by hand into regular time, overtime
// and double time (over every day), and the number of meal-rule findings.
struct RuleCase {
    const char* name;
    const char* rules;
    std::vector<Row> rows;
    Minutes regular, overtime, double_time;
    size_t findings = 0;
};
void PrintTo(const RuleCase& c, std::ostream* out) {
    *out << c.name;
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

// clang-format off
INSTANTIATE_TEST_SUITE_P(PayRules, RuleCases, ::testing::Values(
    // No rules: the hours of today, all regular.
    RuleCase{"NoRulesAllRegular", "{}", {Work(1, "08:00", "21:00")}, H(13), 0, 0},
    // 13 h in a day: 8 regular, 8 to 12 at 1.5x, the 13th at 2x.
    RuleCase{"CaliforniaLongDay", R"({"overtime": "california"})",
             {Work(1, "08:00", "21:00")}, H(8), H(4), H(1)},
    // The federal rule knows no daily overtime.
    RuleCase{"WeeklyFortyLongDay", R"({"overtime": "weekly-40"})",
             {Work(1, "08:00", "21:00")}, H(13), 0, 0},
    // Five days of 9 h: 45 h, 5 past 40.
    RuleCase{"WeeklyFortyFiveDays", R"({"overtime": "weekly-40"})",
             Days({1, 2, 3, 4, 5}, "08:00", "17:00"), H(40), H(5), 0},
    // Five days of 9 h pay 1 h a day at 1.5x and 40 regular; Saturday's 6 regular hours are then
    // past 40 and are paid at 1.5x, not on top of the daily hours again.
    RuleCase{"DailyOvertimeNotCountedTowardsForty", R"({"overtime": "california"})",
             Joined({Days({1, 2, 3, 4, 5}, "08:00", "17:00"), {Work(6, "08:00", "14:00")}}),
             H(40), H(5 + 6), 0},
    // 40 regular by Friday; Saturday's 10 h shift is over 8 in the day (2 h) and its other 8 h
    // are past 40 in the week: the one shift meets both rules, each hour paid once.
    RuleCase{"OneShiftDailyAndWeekly", R"({"overtime": "california"})",
             Joined({Days({1, 2, 3, 4, 5}, "08:00", "16:00"), {Work(6, "08:00", "18:00")}}),
             H(40), H(10), 0},
    // Every day of the week worked: Sunday to Friday 6 h (36 regular); the seventh day's 10 h
    // pay the first 8 at 1.5x and the rest at 2x.
    RuleCase{"CaliforniaSeventhDay", R"({"overtime": "california"})",
             Joined({Days({0, 1, 2, 3, 4, 5}, "08:00", "14:00"), {Work(6, "08:00", "18:00")}}),
             H(36), H(8), H(2)},
    // Sunday off: Saturday is the sixth day worked, and only its daily rule applies.
    RuleCase{"SixDaysIsNoSeventh", R"({"overtime": "california"})",
             Joined({Days({1, 2, 3, 4, 5}, "08:00", "14:00"), {Work(6, "08:00", "18:00")}}),
             H(38), H(2), 0},
    // The seventh-day rule alone, with no daily or weekly threshold.
    RuleCase{"SeventhDayAlone", R"({"overtime": {"seventh_day_hours": 8}})",
             Days({0, 1, 2, 3, 4, 5, 6}, "08:00", "18:00"), H(60), H(8), H(2)},
    // A preset with one threshold changed: double time from 10 h.
    RuleCase{"PresetWithOneThresholdChanged",
             R"({"overtime": {"preset": "california", "daily_double_hours": 10}})",
             {Work(1, "08:00", "19:00")}, H(8), H(2), H(1)},
    // Forty hours by Friday, then a shift from Saturday 20:00 into the next week's Sunday: it is
    // paid whole in the week it began, all 8 h past 40.
    RuleCase{"NightShiftIntoNewWeek", R"({"overtime": "weekly-40"})",
             Joined({Days({1, 2, 3, 4, 5}, "08:00", "16:00"), {Work(6, "20:00", "04:00")}}),
             H(40), H(8), 0},
    // The same night shift in a week of 32 h stays regular, though 4 of its hours lie in the
    // next week.
    RuleCase{"NightShiftIntoNewWeekUnderForty", R"({"overtime": "weekly-40"})",
             Joined({Days({1, 2, 3, 4}, "08:00", "16:00"), {Work(6, "20:00", "04:00")}}),
             H(40), 0, 0},
    // Grace of 5 min over 15-minute marks rounded up: 08:05 counts as 08:00...
    RuleCase{"GraceBoundaryInside",
             R"({"rounding": {"minutes": 15, "direction": "up", "grace_minutes": 5}})",
             {Work(1, "08:05", "17:00")}, H(9), 0, 0},
    // ... and 08:06 is past it and rounds up to 08:15.
    RuleCase{"GraceBoundaryPast",
             R"({"rounding": {"minutes": 15, "direction": "up", "grace_minutes": 5}})",
             {Work(1, "08:06", "17:00")}, H(8.75), 0, 0},
    // A grace window alone counts from the hour.
    RuleCase{"GraceWithoutInterval", R"({"rounding": {"in": {"grace_minutes": 5}}})",
             {Work(1, "08:04", "17:00")}, H(9), 0, 0},
    // Nearest quarter: 08:07 goes back to 08:00, 16:53 forward to 17:00...
    RuleCase{"NearestQuarterBothWays", R"({"rounding": {"minutes": 15}})",
             {Work(1, "08:07", "16:53")}, H(9), 0, 0},
    // ... and 08:08 is past the half and goes forward to 08:15.
    RuleCase{"NearestQuarterPastHalf", R"({"rounding": {"minutes": 15}})",
             {Work(1, "08:08", "17:00")}, H(8.75), 0, 0},
    // In the employee's favour the in goes back and the out forward.
    RuleCase{"InFavourOfEmployee", R"({"rounding": {"minutes": 15, "direction": "employee"}})",
             {Work(1, "08:14", "16:46")}, H(9), 0, 0},
    // Six-minute marks (tenths of an hour) down: 08:05 to 08:00, 16:59 to 16:54.
    RuleCase{"TenthsDown", R"({"rounding": {"minutes": 6, "direction": "down"}})",
             {Work(1, "08:05", "16:59")}, H(8) + 54, 0, 0},
    // Lunch punches kept to the minute while in and out round to the quarter: 08:00 to 12:03
    // and 12:31 to 17:00.
    RuleCase{"LunchKindOverridden", R"({"rounding": {"minutes": 15, "lunch": {"minutes": 1}}})",
             {Work(1, "08:03", "12:03"), Lunch(1, "12:03", "12:31"), Work(1, "12:31", "17:02")},
             H(8) + 32, 0, 0},
    // A 5-minute lunch rounded in the employee's favour would end before it began: the quarter
    // it loses is not paid twice.
    RuleCase{"ShortLunchNotPaidTwice", R"({"rounding": {"minutes": 15, "direction": "employee"}})",
             {Work(1, "08:00", "12:07"), Lunch(1, "12:07", "12:12"), Work(1, "12:12", "16:00")},
             H(8), 0, 0},
    // A switch is not rounded; the shift's in and out are.
    RuleCase{"SwitchNotRounded", R"({"rounding": {"minutes": 15}})",
             {Work(1, "08:02", "12:04"), Work(1, "12:04", "17:07")}, H(9), 0, 0},
    // Six hours without a meal break the meal rule, and are paid as worked.
    RuleCase{"MealMissing", R"({"meal": "california"})",
             {Work(1, "08:00", "14:00")}, H(6), 0, 0, 1},
    // A half hour's lunch by the fifth hour keeps it.
    RuleCase{"MealInTime", R"({"meal": "california"})",
             {Work(1, "08:00", "12:00"), Lunch(1, "12:00", "12:30"), Work(1, "12:30", "15:00")},
             H(6.5), 0, 0, 0},
    // A lunch after 5:30 worked is too late.
    RuleCase{"MealTooLate", R"({"meal": "california"})",
             {Work(1, "08:00", "13:30"), Lunch(1, "13:30", "14:00"), Work(1, "14:00", "15:00")},
             H(6.5), 0, 0, 1},
    // A seven-hour shift with no lunch punch loses the automatic half hour, and says so.
    RuleCase{"AutomaticLunchDeduction",
             R"({"meal": {"deduct_after_hours": 6, "deduct_minutes": 30}})",
             {Work(1, "08:00", "15:00")}, H(6.5), 0, 0, 1},
    // Unpaid breaks come off the worked time; paid ones (the default) do not.
    RuleCase{"UnpaidBreak", R"({"meal": {"breaks": "unpaid"}})",
             {Work(1, "08:00", "16:00"), Break(1, "10:00", "10:15")}, H(7.75), 0, 0},
    RuleCase{"PaidBreak", "{}",
             {Work(1, "08:00", "16:00"), Break(1, "10:00", "10:15")}, H(8), 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(PayExplanation, SaysWhichRuleMovedEachPunchAndWhyEachHourIsPaid) {
    const auto pay = Pay({Work(1, "08:04", "18:00")},
                         R"({"overtime": "california",
                             "rounding": {"minutes": 15, "direction": "up", "grace_minutes": 5}})");
    EXPECT_EQ(pay.Explain(kSunday + 1),
              (std::vector<std::string>{
                  "in 08:04 -> 08:00: grace of 5 min after 08:00 (rounding of in: up 15 min, "
                  "grace 5 min)",
                  "out 18:00: on the mark (rounding of out: up 15 min, grace 5 min)",
                  "worked 10:00",
                  "8:00 regular",
                  "2:00 at 1.5x: over 8:00 worked in the day",
              }));
}

TEST(PayExplanation, NamesTheWeeklyAndSeventhDayRules) {
    const auto weekly =
        Pay(Joined({Days({1, 2, 3, 4, 5}, "08:00", "16:00"), {Work(6, "08:00", "18:00")}}),
            R"({"overtime": "california"})");
    EXPECT_EQ(weekly.Day(kSunday + 6).reasons,
              (std::vector<std::string>{
                  "2:00 at 1.5x: over 8:00 worked in the day",
                  "8:00 at 1.5x: regular hours of the week from 2026-11-29 past 40:00",
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
    EXPECT_EQ(pay.Explain(kSunday + 6).at(1), "out 2026-12-06 06:00: not rounded");
}

// Wrong settings name the key that is wrong.
TEST(PayRulesReading, NamesTheWrongKey) {
    const auto wrong_key = [](const char* stored, const std::string& key) {
        try {
            hours::ReadPayRules(json::parse(stored));
            ADD_FAILURE() << stored << " was read";
        } catch (const platform::RaisedError& error) {
            EXPECT_EQ(error.number(), platform::err::kBadFileFormat);
            EXPECT_NE(error.description().find("\"" + key + "\""), std::string::npos)
                << error.description();
        }
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

int64_t DayOfDate(int year, int month, int day) {
    return static_cast<int64_t>(platform::make_date(year, month, day)->days);
}

TEST(PayPeriods, HoldTheDayForEachKind) {
    struct PeriodCase {
        const char* name;
        const char* period;
        int week_starts;
        int64_t day, first, last;
    };
    const std::vector<PeriodCase> cases{
        {"WeekFromSunday", R"({"kind": "weekly"})", 0, DayOfDate(2026, 12, 5),
         DayOfDate(2026, 11, 29), DayOfDate(2026, 12, 5)},
        {"WeekFromMonday", R"({"kind": "weekly"})", 1, DayOfDate(2026, 12, 6),
         DayOfDate(2026, 11, 30), DayOfDate(2026, 12, 6)},
        {"BiweeklyAnchorItself", R"({"kind": "biweekly", "anchor": "2026-11-23"})", 0,
         DayOfDate(2026, 11, 23), DayOfDate(2026, 11, 23), DayOfDate(2026, 12, 6)},
        {"BiweeklyLater", R"({"kind": "biweekly", "anchor": "2026-11-23"})", 0,
         DayOfDate(2026, 12, 7), DayOfDate(2026, 12, 7), DayOfDate(2026, 12, 20)},
        {"BiweeklyBeforeAnchor", R"({"kind": "biweekly", "anchor": "2026-11-23"})", 0,
         DayOfDate(2026, 11, 22), DayOfDate(2026, 11, 9), DayOfDate(2026, 11, 22)},
        {"SemimonthlyFifteenth", R"({"kind": "semimonthly"})", 0, DayOfDate(2026, 12, 15),
         DayOfDate(2026, 12, 1), DayOfDate(2026, 12, 15)},
        {"SemimonthlySixteenth", R"({"kind": "semimonthly"})", 0, DayOfDate(2026, 12, 16),
         DayOfDate(2026, 12, 16), DayOfDate(2026, 12, 31)},
        {"SemimonthlyLeapFebruary", R"({"kind": "semimonthly"})", 0, DayOfDate(2028, 2, 20),
         DayOfDate(2028, 2, 16), DayOfDate(2028, 2, 29)},
        {"MonthlyFebruary", R"({"kind": "monthly"})", 0, DayOfDate(2027, 2, 10),
         DayOfDate(2027, 2, 1), DayOfDate(2027, 2, 28)},
        {"MonthlyLastOfTheCalendar", R"({"kind": "monthly"})", 0, DayOfDate(9999, 12, 31),
         DayOfDate(9999, 12, 1), DayOfDate(9999, 12, 31)},
    };
    for (const auto& c : cases) {
        auto rules = hours::ReadPayRules(json{{"period", json::parse(c.period)}});
        rules.week_starts = c.week_starts;
        EXPECT_EQ(hours::PeriodHolding(c.day, rules), (hours::PayPeriod{c.first, c.last}))
            << c.name;
    }
    hours::PayRules semimonthly;
    semimonthly.period.kind = hours::PeriodKind::Semimonthly;
    EXPECT_EQ(hours::PreviousPeriod({DayOfDate(2026, 12, 1), DayOfDate(2026, 12, 15)}, semimonthly),
              (hours::PayPeriod{DayOfDate(2026, 11, 16), DayOfDate(2026, 11, 30)}));
}

}  // namespace
