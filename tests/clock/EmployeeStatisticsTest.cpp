#include "host/clock/EmployeeStatistics.h"

#include <gtest/gtest.h>

namespace {

using orvane::ClockDatabase;
using timeclock::EmployeeStatistics;

// Day 46361 is Saturday 2026-12-05; its week began on Sunday 2026-11-29 (day 46355).
constexpr double kSaturday = 46361.0;
constexpr double kHour = 1.0 / 24.0;

ClockDatabase::Row Worked(double day, double in_hour, std::optional<double> out_day,
                          double out_hour = 0) {
    ClockDatabase::Row row;
    row.date_in = platform::Date{day};
    row.time_in = platform::Date{in_hour * kHour};
    if (out_day) {
        row.date_out = platform::Date{*out_day};
        row.time_out = platform::Date{out_hour * kHour};
    }
    return row;
}

struct FiguresCase {
    const char* name;
    std::vector<ClockDatabase::Row> rows;
    double today;
    double week;
};

class StatisticsFigures : public ::testing::TestWithParam<FiguresCase> {};

TEST_P(StatisticsFigures, CountHoursOfTodayAndThisWeek) {
    const platform::Date now{kSaturday + 17 * kHour};
    const auto figures = EmployeeStatistics::Compute(GetParam().rows, now);
    EXPECT_NEAR(figures.hours_today, GetParam().today, 1e-6);
    EXPECT_NEAR(figures.hours_this_week, GetParam().week, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(
    EmployeeStatistics, StatisticsFigures,
    ::testing::Values(FiguresCase{"NoRows", {}, 0, 0},
                      FiguresCase{"ClosedToday", {Worked(kSaturday, 8, kSaturday, 12.5)}, 4.5, 4.5},
                      FiguresCase{"OpenCountsToNow", {Worked(kSaturday, 13, std::nullopt)}, 4, 4},
                      FiguresCase{
                          "AcrossMidnightSplits", {Worked(kSaturday - 1, 22, kSaturday, 2)}, 2, 4},
                      FiguresCase{"SundayStartsTheWeek",
                                  {Worked(kSaturday - 6, 8, kSaturday - 6, 16),
                                   Worked(kSaturday - 7, 8, kSaturday - 7, 16)},
                                  0,
                                  8},
                      FiguresCase{"OutOnlyRowIgnored",
                                  {[] {
                                      ClockDatabase::Row row;
                                      row.date_out = platform::Date{kSaturday};
                                      row.time_out = platform::Date{9 * kHour};
                                      return row;
                                  }()},
                                  0,
                                  0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EmployeeStatistics, HoursShowAsHoursAndMinutes) {
    EXPECT_EQ(EmployeeStatistics::FormatHours(0), "0:00");
    EXPECT_EQ(EmployeeStatistics::FormatHours(7.5), "7:30");
    EXPECT_EQ(EmployeeStatistics::FormatHours(41.0 + 59.6 / 60), "42:00");
}

}  // namespace
