#pragma once

#include <compare>
#include <optional>

#include "platform/Api.h"

namespace platform {

// The platform's date type: days since 1899-12-30 (day zero). The whole part is the date; the
// fraction is the time of day, which for negative values counts forward from midnight, so
// -5.25 is 1899-12-25 06:00. Valid years are 100 to 9999.
struct Date {
    double days = 0.0;

    friend constexpr bool operator==(Date, Date) = default;
    friend constexpr auto operator<=>(Date, Date) = default;
};

// A date taken apart into its calendar day and its time of day to the second.
struct DateParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const DateParts&, const DateParts&) = default;
};

inline constexpr int kMinYear = 100;
inline constexpr int kMaxYear = 9999;
// The first and last moments the date type can hold: 100-01-01 and 9999-12-31 23:59:59.
inline constexpr double kMinDateDays = -657434.0;
inline constexpr double kMaxDateDays = 2958465.99998843;

// True when the year, month and day name a day of the calendar in years 100 to 9999 (no roll-over).
PLATFORM_API bool is_valid_day(int year, int month, int day);

// The date of a calendar day at midnight; nothing when the day does not exist (no roll-over).
PLATFORM_API std::optional<Date> make_date(int year, int month, int day);
// A time of day on day zero; nothing when an hour, minute or second is out of range.
PLATFORM_API std::optional<Date> make_time(int hour, int minute, int second);
// A day and a time of day together; nothing when either is invalid.
PLATFORM_API std::optional<Date> make_date_time(const DateParts& parts);

// The parts of a date as the platform's conversions of a date to text read them: the fraction
// of a second rounded to the nearest second, so 23:59:59.7 reads as midnight of the next day.
PLATFORM_API DateParts split_rounded(Date value);
// The parts of a moment with the fraction of a second dropped, not rounded, so 23:59:59.7 stays
// on its day at 23:59:59. The moment is first read to the millisecond, the finest the clock gives,
// so that a whole second held slightly below itself in the double is not cut to the one before.
PLATFORM_API DateParts split_cut(Date value);
// The moment cut to its whole minute: seconds and fractions of a second dropped.
PLATFORM_API Date whole_minute(Date value);
// True when the value lies within the years 100 to 9999.
PLATFORM_API bool in_range(Date value);

// The date at midnight of the same day (the date part of the value).
PLATFORM_API Date date_part(Date value);
// The time of day of the value, on day zero.
PLATFORM_API Date time_part(Date value);

// Adds a number of hours (fractions exact to the second) by calendar arithmetic, the way the
// platform adds an interval; raises "Invalid procedure call or argument" (5) past year 9999 or
// before year 100.
PLATFORM_API Date add_hours(Date value, double hours);

// The date as a plain count of days ... the same double, for arithmetic on moments.
constexpr double to_double(Date value) {
    return value.days;
}
// A moment as the sum of a date part and a time part, both on the date type's scale.
PLATFORM_API Date from_moment(double days);

}  // namespace platform
