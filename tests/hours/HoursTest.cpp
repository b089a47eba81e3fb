#include "host/hours/Hours.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/clock/EmployeeStatistics.h"
#include "host/database/Sqlite.h"
#include "tests/support/SqlitePlan.h"
#include "tests/support/TempFolder.h"

namespace {

using orvane::ClockDatabase;
using Row = ClockDatabase::Row;

// Day 46361 is Saturday 2026-12-05; its week began on Sunday 2026-11-29.
constexpr int64_t kSaturday = 46361;

// A row as the clock database stores it; moments are hours from Saturday's midnight.
Row Stored(const char* type, std::optional<double> in, std::optional<double> out = std::nullopt,
           double amount = 0, const char* notes = "") {
    static int64_t next_id = 1;
    Row row;
    row.id = next_id++;
    row.punch_type = type;
    row.notes = notes;
    const auto place = [](double hours, auto& date, auto& time) {
        const double moment = static_cast<double>(kSaturday) + hours / 24.0;
        date = platform::Date{std::floor(moment)};
        time = platform::Date{moment - std::floor(moment)};
    };
    if (in)
        place(*in, row.date_in, row.time_in);
    if (out)
        place(*out, row.date_out, row.time_out);
    const std::string t = type;
    (t == "V"   ? row.vacation
     : t == "A" ? row.advances
     : t == "P" ? row.personal
                : row.other) = amount;
    return row;
}

struct DayShape {
    const char* name;
    std::vector<Row> rows;
    hours::Minutes worked, lunch, breaks;  // on Saturday
    std::map<std::string, double> leave, dollars;
    size_t exceptions;         // on any day
    hours::Minutes week = -1;  // shifts started this week; -1: as worked
};

class DayShapes : public ::testing::TestWithParam<DayShape> {};

TEST_P(DayShapes, AddUp) {
    const DayShape& shape = GetParam();
    const platform::Date now{static_cast<double>(kSaturday) + 17.0 / 24.0};
    const auto card = hours::Timecard::Calculate(shape.rows, {now});
    const auto day = card.Day(kSaturday);
    EXPECT_EQ(day.worked, shape.worked);
    EXPECT_EQ(day.lunch, shape.lunch);
    EXPECT_EQ(day.breaks, shape.breaks);
    EXPECT_EQ(day.leave, shape.leave);
    EXPECT_EQ(day.dollars, shape.dollars);
    size_t exceptions = 0;
    for (const auto& [number, figures] : card.days())
        exceptions += figures.exceptions.size();
    EXPECT_EQ(exceptions, shape.exceptions);
    EXPECT_EQ(card.WorkedInShiftsStarting(kSaturday - 6, kSaturday),
              shape.week < 0 ? shape.worked : shape.week);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Hours, DayShapes, ::testing::Values(
    DayShape{"FullDayWithLunchAndBreak",
             {Stored("O", 8, 12), Stored("LI", 12, 13), Stored("O", 13, 17),
              Stored("BI", 15, 15.5)}, 480, 60, 30, {}, {}, 0},
    DayShape{"Switch", {Stored("O", 8, 12), Stored("O", 12, 17)}, 540, 0, 0, {}, {}, 0},
    DayShape{"NightShiftSplitsAtMidnight", {Stored("O", -2, 6)}, 360, 0, 0, {}, {}, 0, 480},
    DayShape{"OpenShiftCountsUpToNow", {Stored("I", 8)}, 540, 0, 0, {}, {}, 0},
    DayShape{"ForgottenOutPastTheLongestShift", {Stored("I", 0)}, 0, 0, 0, {}, {}, 1},
    DayShape{"ShiftClosedADayLaterCountsNothing", {Stored("O", -16, 16)}, 0, 0, 0, {}, {}, 2},
    DayShape{"ReturnWithoutLeave", {Stored("O", 8, 12), Stored("LI", std::nullopt, 13)},
             240, 0, 0, {}, {}, 1},
    DayShape{"OutWithNoOpenWorkRecord", {Stored("O", std::nullopt, 17)}, 0, 0, 0, {}, {}, 1},
    DayShape{"LeaveAndDollarsWithoutPunches",
             {Stored("V", 8, std::nullopt, 8), Stored("A", 9, std::nullopt, 150)},
             0, 0, 0, {{"Vacation", 8}}, {{"Advances", 150}}, 0},
    DayShape{"FuneralAndJuryDutyToldApart",
             {Stored("P", 8, std::nullopt, 8, "Funeral Leave"),
              Stored("P", 8, std::nullopt, 4, "Jury Duty"), Stored("P", 8, std::nullopt, 2)},
             0, 0, 0, {{"Funeral Leave", 8}, {"Jury Duty", 4}, {"Personal", 2}}, {}, 0},
    DayShape{"CompleteEntry", {Stored("E", 9, 13)}, 240, 0, 0, {}, {}, 0},
    DayShape{"OverlappingRecordsCountNothing",
             {Stored("O", 8, 12), Stored("E", 10, 14), Stored("O", 14, 16)}, 120, 0, 0, {}, {}, 2},
    DayShape{"RecordInTheFuture", {Stored("O", 18, 19)}, 0, 0, 0, {}, {}, 1}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A shift from Saturday 22:00 to Sunday 06:00, and eight hours on the Monday before: on Sunday
// morning the shift counts today, and in the week it started.
TEST(EmployeeStatistics, ShiftBelongsToTheWeekItStarted) {
    const std::vector<Row> rows{Stored("O", -5 * 24 + 8, -5 * 24 + 16), Stored("O", 22, 30)};
    const platform::Date sunday_morning{static_cast<double>(kSaturday) + 32 / 24.0};
    const struct {
        int week_starts;
        double today, week;
    } cases[] = {{0, 6, 0}, {1, 6, 16}};
    for (const auto& c : cases) {
        const auto figures =
            timeclock::EmployeeStatistics::Compute(rows, sunday_morning, c.week_starts);
        EXPECT_DOUBLE_EQ(figures.hours_today, c.today) << c.week_starts;
        EXPECT_DOUBLE_EQ(figures.hours_this_week, c.week) << c.week_starts;
    }
}

TEST(EmployeeStatistics, ShowsHoursAndMinutesAndLeaveOnASecondLineOnlyWhenBooked) {
    EXPECT_EQ(timeclock::EmployeeStatistics::FormatHours(41.0 + 59.6 / 60), "42:00");
    const platform::Date now{static_cast<double>(kSaturday) + 17.0 / 24.0};
    EXPECT_EQ(timeclock::EmployeeStatistics::Compute({Stored("O", 8, 12.5)}, now).Lines(),
              std::vector<std::string>{"Today 4:30  This week 4:30"});
    EXPECT_EQ(
        timeclock::EmployeeStatistics::Compute({Stored("V", 8, std::nullopt, 7.5)}, now).Lines(),
        (std::vector<std::string>{"Today 0:00  This week 0:00", "Leave this week: Vacation 7:30"}));
}

// The statistics read one card's rows of the week through the moment indexes, whatever the
// length of the history, and never scan the table.
TEST(EmployeeStatistics, ReadOnlyTheWeeksRowsThroughAnIndex) {
    TempFolder folder;
    ClockDatabase database(folder.path() / "clock.db");
    const auto file =
        orvane::sqlite::Open(folder.path() / "clock.db", orvane::sqlite::OpenMode::Existing);
    sqlite3* db = file.get();
    // Card 7 worked 06:00 to 12:00 on Saturday (day 46361) and on each of the 400 days before;
    // card 8 on Saturday only.
    ASSERT_EQ(sqlite3_exec(db, R"sql(
        WITH RECURSIVE d(n) AS (SELECT 46361 - 400 UNION ALL SELECT n + 1 FROM d WHERE n < 46361)
        INSERT INTO "Clock Data Table"
            ("Card ID", "Date In", "Time In", "Date Out", "Time Out", "Punch Type")
        SELECT 7, n, 0.25, n, 0.5, 'O' FROM d UNION ALL SELECT 8, 46361, 0.25, 46361, 0.5, 'O')sql",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(db);

    std::vector<std::string> statements;
    database.ObserveStatements([&](const std::string& sql) { statements.push_back(sql); });
    const auto figures = timeclock::EmployeeStatistics::Compute(
        database, 7, platform::Date{static_cast<double>(kSaturday) + 0.75});
    database.ObserveStatements(nullptr);
    EXPECT_DOUBLE_EQ(figures.hours_today, 6);
    EXPECT_DOUBLE_EQ(figures.hours_this_week, 6 * 7);

    ASSERT_EQ(statements.size(), 1u);
    ASSERT_EQ(sqlite3_exec(db, "ANALYZE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto plan = SqlitePlan(db, statements[0]);
    EXPECT_FALSE(ScansATable(plan)) << plan;
    EXPECT_NE(plan.find("Clock Data In Moment"), std::string::npos) << plan;
    EXPECT_NE(plan.find("Clock Data Out Moment"), std::string::npos) << plan;
}

}  // namespace
