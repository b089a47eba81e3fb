#include "host/clock/EmployeeStatistics.h"

#include <gtest/gtest.h>

#include <fstream>

#include "host/clock/Configuration.h"
#include "platform/Error.h"
#include "tests/support/TempFolder.h"

namespace {

using timeclock::Configuration;

// The figures are the hours calculation's and are tested with it (tests/hours); here only the
// way the step writes hours for people.
TEST(EmployeeStatistics, HoursShowAsHoursAndMinutes) {
    using timeclock::EmployeeStatistics;
    EXPECT_EQ(EmployeeStatistics::FormatHours(0), "0:00");
    EXPECT_EQ(EmployeeStatistics::FormatHours(7.5), "7:30");
    EXPECT_EQ(EmployeeStatistics::FormatHours(41.0 + 59.6 / 60), "42:00");
}

// The first day of the week is kept by name, survives a save, and a name that is no day is
// refused as a damaged file.
TEST(EmployeeStatistics, WeekStartsIsADayByName) {
    TempFolder folder;
    const auto file = folder.path() / "timeclock.json";
    EXPECT_EQ(Configuration::Load(file).week_starts, 0);
    std::ofstream(file) << R"({"week_starts": "Monday", "clock_name": "door"})";
    auto config = Configuration::Load(file);
    EXPECT_EQ(config.week_starts, 1);
    EXPECT_EQ(config.ClockName(), "door");
    config.week_starts = 6;
    config.Save(file);
    EXPECT_EQ(Configuration::Load(file).week_starts, 6);
    std::ofstream(file) << R"({"week_starts": "Funday"})";
    EXPECT_THROW(Configuration::Load(file), platform::RaisedError);
}

}  // namespace
