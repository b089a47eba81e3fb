#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Api.h"

namespace platform {

enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

// The computer's regional settings as the date and number conversions read them. US English is
// the default; other settings (British English, day first) are values a host or a test installs
// through the platform services.
struct PLATFORM_API RegionalSettings {
    std::string name = "en-US";
    DateOrder order = DateOrder::MonthDayYear;
    char date_separator = '/';
    char time_separator = ':';
    // The period may also separate the parts of a time ("8.30", "04.28.14").
    bool period_separates_time = true;
    std::string am = "AM";
    std::string pm = "PM";
    // The short date of the general form: day and month with or without a leading zero.
    bool short_date_leading_zeros = false;
    // The time of the general form: a 12-hour clock with AM/PM, or a 24-hour clock.
    bool twelve_hour_clock = true;
    // Two-digit years are read into the hundred years that end with this year.
    int two_digit_year_max = 2049;

    static RegionalSettings us_english();
    static RegionalSettings british_english();
    // The settings of a name ("en-US", "en-GB"); nothing for a name the platform does not know.
    static std::optional<RegionalSettings> by_name(std::string_view name);
};

}  // namespace platform
