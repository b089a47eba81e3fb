#pragma once

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/database/ClockDatabase.h"
#include "host/database/Sqlite.h"
#include "host/hours/Hours.h"

// Pay rule cases worked out by hand: each a short history of one employee in one week, a rule
// set as the configuration's "pay_rules" holds it, and how its hours split into regular time,
// overtime and double time. Every reader of pay (the calculation, the report, the export, the
// clock's statistics) is run over the same cases and must give the same split.
namespace pay_cases {

using hours::Minutes;
using Row = orvane::ClockDatabase::Row;

// Day 44164 is Sunday 2020-11-29, the first day of a week that starts on Sunday: long past, so
// that no record is ever in the future of the clock that reads it.
inline constexpr int64_t kSunday = 44164;

// A moment written as a weekday (0 Sunday to 6 Saturday, 7 the next Sunday) and "HH:MM".
inline Minutes At(int weekday, const char* clock) {
    int hour = 0, minute = 0;
    std::sscanf(clock, "%d:%d", &hour, &minute);
    return (kSunday + weekday) * hours::kMinutesPerDay + hour * 60 + minute;
}

// A closed record of a type as the clock database stores it, from one moment to another.
inline Row Stored(const char* type, Minutes in, Minutes out) {
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
inline Row Work(int weekday, const char* in, const char* out) {
    const Minutes start = At(weekday, in);
    Minutes end = At(weekday, out);
    if (end < start)
        end += hours::kMinutesPerDay;
    return Stored("O", start, end);
}
inline Row Lunch(int weekday, const char* leave, const char* back) {
    return Stored("LI", At(weekday, leave), At(weekday, back));
}
inline Row Break(int weekday, const char* leave, const char* back) {
    return Stored("BI", At(weekday, leave), At(weekday, back));
}
// The same hours on each of several weekdays.
inline std::vector<Row> Days(std::vector<int> weekdays, const char* in, const char* out) {
    std::vector<Row> rows;
    for (const int weekday : weekdays)
        rows.push_back(Work(weekday, in, out));
    return rows;
}
inline std::vector<Row> Joined(std::vector<std::vector<Row>> parts) {
    std::vector<Row> rows;
    for (auto& part : parts)
        rows.insert(rows.end(), part.begin(), part.end());
    return rows;
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
inline void PrintTo(const RuleCase& c, std::ostream* out) {
    *out << c.name;
}
inline std::string CaseName(const ::testing::TestParamInfo<RuleCase>& info) {
    return info.param.name;
}

// clang-format off
inline const std::vector<RuleCase>& Table() {
    static const std::vector<RuleCase> cases{
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
    // A single minute on Sunday is a day worked: Saturday is the seventh.
        RuleCase{"OneMinuteIsADayWorked", R"({"overtime": "california"})",
                 Joined({{Work(0, "08:00", "08:01")}, Days({1, 2, 3, 4, 5}, "08:00", "14:00"),
                         {Work(6, "08:00", "18:00")}}),
                 H(30) + 1, H(8), H(2)},
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
    // At the end of work the grace lies before the mark, whatever the direction: rounded down,
    // 16:55 still counts as 17:00...
        RuleCase{"GraceBeforeTheMarkAtTheOut",
                 R"({"rounding": {"minutes": 15, "direction": "down", "grace_minutes": 5}})",
                 {Work(1, "08:00", "16:55")}, H(9), 0, 0},
    // ... and 16:54 is past it and goes down to 16:45.
        RuleCase{"GracePastAtTheOut",
                 R"({"rounding": {"minutes": 15, "direction": "down", "grace_minutes": 5}})",
                 {Work(1, "08:00", "16:54")}, H(8.75), 0, 0},
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
                 {Work(1, "08:00", "16:00"), Break(1, "10:00", "10:15")}, H(8), 0, 0}};
    return cases;
}
// clang-format on

// Writes the rows into the clock database in a file (made when missing) as records of one card.
inline void StoreRows(const std::filesystem::path& file, int32_t card,
                      const std::vector<Row>& rows) {
    orvane::ClockDatabase made(file);
    const auto connection = orvane::sqlite::Open(file, orvane::sqlite::OpenMode::Existing);
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(connection.get(), R"sql(INSERT INTO "Clock Data Table"
        ("Card ID", "Date In", "Time In", "Date Out", "Time Out", "Punch Type")
        VALUES (?, ?, ?, ?, ?, ?))sql",
                                 -1, &insert, nullptr),
              SQLITE_OK);
    for (const Row& row : rows) {
        sqlite3_bind_int(insert, 1, card);
        sqlite3_bind_double(insert, 2, row.date_in->days);
        sqlite3_bind_double(insert, 3, row.time_in->days);
        sqlite3_bind_double(insert, 4, row.date_out->days);
        sqlite3_bind_double(insert, 5, row.time_out->days);
        sqlite3_bind_text(insert, 6, row.punch_type.c_str(), -1, SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE) << sqlite3_errmsg(connection.get());
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
}

}  // namespace pay_cases
