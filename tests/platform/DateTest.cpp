#include "platform/Date.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/Error.h"
#include "tests/support/Raised.h"

namespace platform {
// Readable failures: a date's parts as "2026-12-04 08:30:00".
void PrintTo(const DateParts& p, std::ostream* os) {
    *os << p.year << "-" << p.month << "-" << p.day << " " << p.hour << ":" << p.minute << ":"
        << p.second;
}
}  // namespace platform

namespace {

using platform::Date;
using platform::DateParts;

struct CalendarCase {
    DateParts parts;
    double days;
};

// Days known from the date type's own scale, including the far ends and the leap rules.
const CalendarCase kCalendar[] = {
    {{1899, 12, 30, 0, 0, 0}, 0.0},
    {{1899, 12, 31, 0, 0, 0}, 1.0},
    {{1900, 1, 1, 0, 0, 0}, 2.0},
    {{1900, 3, 1, 0, 0, 0}, 61.0},  // 1900 is no leap year on this scale
    {{2000, 2, 29, 0, 0, 0}, 36585.0},
    {{2026, 12, 4, 0, 0, 0}, 46360.0},
    {{1899, 12, 25, 6, 0, 0}, -5.25},  // negative days: the time counts forward
    {{1899, 12, 29, 23, 0, 0}, -1.0 - 23.0 / 24.0},
    {{100, 1, 1, 0, 0, 0}, -657434.0},
    {{9999, 12, 31, 0, 0, 0}, 2958465.0},
    {{2026, 12, 4, 16, 51, 10}, 46360.0 + (16 * 3600 + 51 * 60 + 10) / 86400.0},
};

TEST(DateTest, BuildsAndTakesApartKnownDays) {
    for (const auto& c : kCalendar) {
        const auto built = platform::make_date_time(c.parts);
        ASSERT_TRUE(built) << c.days;
        EXPECT_NEAR(built->days, c.days, 1e-9) << c.days;
        EXPECT_EQ(platform::split_rounded(Date{c.days}), c.parts) << c.days;
    }
}

TEST(DateTest, RefusesDaysThatDoNotExist) {
    const DateParts invalid[] = {
        {2026, 2, 29, 0, 0, 0}, {1900, 2, 29, 0, 0, 0}, {2026, 4, 31, 0, 0, 0},
        {2026, 13, 1, 0, 0, 0}, {2026, 0, 1, 0, 0, 0},  {2026, 1, 0, 0, 0, 0},
        {99, 12, 31, 0, 0, 0},  {10000, 1, 1, 0, 0, 0}, {2026, 1, 1, 24, 0, 0},
        {2026, 1, 1, 0, 60, 0}, {2026, 1, 1, 0, 0, 60}, {2026, 1, 1, -1, 0, 0},
    };
    for (const auto& p : invalid)
        EXPECT_FALSE(platform::make_date_time(p)) << testing::PrintToString(p);
}

TEST(DateTest, RoundedSplitCrossesMidnightCutSplitAndWholeMinuteStayOnTheDay) {
    // 0.4 s before midnight: the platform's text rounds into the next day; a moment cut stays.
    const Date late{46360.0 + (86400.0 - 0.4) / 86400.0};
    EXPECT_EQ(platform::split_rounded(late), (DateParts{2026, 12, 5, 0, 0, 0}));
    EXPECT_EQ(platform::split_cut(late), (DateParts{2026, 12, 4, 23, 59, 59}));
    EXPECT_EQ(platform::whole_minute(late), *platform::make_date_time({2026, 12, 4, 23, 59, 0}));
    // A whole second held a hair below itself in the double is not cut to the second before.
    const Date whole = *platform::make_date_time({9999, 12, 31, 14, 7, 0});
    EXPECT_EQ(platform::split_cut(whole), (DateParts{9999, 12, 31, 14, 7, 0}));
}

TEST(DateTest, AddsHoursByTheCalendar) {
    struct Case {
        DateParts from;
        double hours;
        DateParts to;
    };
    const Case cases[] = {
        {{2026, 12, 4, 8, 30, 0}, 16.0, {2026, 12, 5, 0, 30, 0}},
        {{2026, 12, 31, 23, 0, 0}, 1.5, {2027, 1, 1, 0, 30, 0}},
        {{2026, 12, 4, 8, 0, 0}, -24.0, {2026, 12, 3, 8, 0, 0}},
        {{1899, 12, 30, 1, 0, 0}, -2.0, {1899, 12, 29, 23, 0, 0}},  // across day zero
        {{1899, 12, 25, 6, 0, 0}, 20.0, {1899, 12, 26, 2, 0, 0}},
        {{2026, 12, 4, 0, 0, 0}, 1.0 / 3600.0, {2026, 12, 4, 0, 0, 1}},
    };
    for (const auto& c : cases) {
        const Date result = platform::add_hours(*platform::make_date_time(c.from), c.hours);
        EXPECT_EQ(platform::split_rounded(result), c.to) << c.hours;
    }
}

TEST(DateTest, RangeOfTheDateTypeAndSplitOfValuesThatAreNoDates) {
    for (const double days : {1e300, -1e300, std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()}) {
        const DateParts parts = platform::split_rounded(Date{days});
        EXPECT_FALSE(platform::in_range(Date{days}));
        EXPECT_GE(parts.month, 1);
        EXPECT_LE(parts.month, 12);
    }

    // The range runs from 100-01-01 (late in that day too) to the last second of 9999; adding
    // hours past either end is raised.
    EXPECT_TRUE(platform::in_range(Date{platform::kMinDateDays}));
    EXPECT_TRUE(platform::in_range(Date{-657434.99}));
    EXPECT_TRUE(platform::in_range(Date{platform::kMaxDateDays}));
    EXPECT_FALSE(platform::in_range(Date{-657435.0}));
    EXPECT_FALSE(platform::in_range(Date{2958466.0}));
    const Date last = *platform::make_date_time({9999, 12, 31, 23, 0, 0});
    EXPECT_EQ(ErrorNumberOf([&] { platform::add_hours(last, 1.0); }),
              platform::err::kInvalidProcedureCall);
    EXPECT_THROW(platform::add_hours(Date{platform::kMinDateDays}, -1.0), platform::RaisedError);
}

// Before day zero the whole days count back and the time of day forward: -5.25 is 06:00 on the
// fifth day before.
TEST(DateTest, NegativeDaysCountTheirTimeForward) {
    EXPECT_EQ(platform::date_part(Date{-5.25}).days, -5.0);
    EXPECT_EQ(platform::time_part(Date{-5.25}).days, 0.25);
    EXPECT_EQ(platform::date_part(Date{46360.75}).days, 46360.0);
    EXPECT_EQ(platform::time_part(Date{46360.75}).days, 0.75);
    EXPECT_EQ(platform::from_moment(-4.75).days, -5.25);
    EXPECT_EQ(platform::from_moment(-5.0).days, -5.0);
    EXPECT_EQ(platform::from_moment(3.5).days, 3.5);
}

}  // namespace
