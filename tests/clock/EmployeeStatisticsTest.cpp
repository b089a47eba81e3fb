#include "host/clock/EmployeeStatistics.h"

#include <gtest/gtest.h>

namespace {

// The figures are the hours calculation's and are tested with it (tests/hours); here only the
// way the step writes hours for people.
TEST(EmployeeStatistics, HoursShowAsHoursAndMinutes) {
    using timeclock::EmployeeStatistics;
    EXPECT_EQ(EmployeeStatistics::FormatHours(0), "0:00");
    EXPECT_EQ(EmployeeStatistics::FormatHours(7.5), "7:30");
    EXPECT_EQ(EmployeeStatistics::FormatHours(41.0 + 59.6 / 60), "42:00");
}

}  // namespace
