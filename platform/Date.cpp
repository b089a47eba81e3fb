#include "platform/Date.h"

#include <cmath>
#include <cstdint>

#include "platform/Error.h"

namespace platform {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

bool is_leap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : kDays[month - 1];
}

// Days from 1899-12-30 to the given day of the proleptic Gregorian calendar. The count runs
// through March-based years so that the leap day falls at the end of each year.
int64_t serial_from_civil(int year, int month, int day) {
    const int64_t y = month <= 2 ? year - 1 : year;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t year_of_era = y - era * 400;
    const int64_t month_index = month > 2 ? month - 3 : month + 9;
    const int64_t day_of_year = (153 * month_index + 2) / 5 + day - 1;
    const int64_t day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    const int64_t days_since_0000_03_01 = era * 146097 + day_of_era;
    // 1899-12-30 is day 693899 after 0000-03-01.
    return days_since_0000_03_01 - 693899;
}

void civil_from_serial(int64_t serial, int& year, int& month, int& day) {
    const int64_t z = serial + 693899;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t day_of_era = z - era * 146097;
    const int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int64_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t month_index = (5 * day_of_year + 2) / 153;
    day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
    month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
    year = static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
}

// A date value as a whole day and the seconds of its time of day. The time of a negative value
// counts forward from midnight of its (truncated) day.
struct DaySeconds {
    int64_t day;
    int64_t seconds;
};

enum class SubSecond { Round, Cut };

DaySeconds to_day_seconds(Date value, SubSecond rule = SubSecond::Round) {
    // Values far outside the date type (or not numbers at all) are held to a bound that keeps
    // the calendar arithmetic defined; they are no dates, and their parts mean nothing.
    constexpr double kBound = 1e9;
    if (!std::isfinite(value.days) || std::fabs(value.days) > kBound) {
        return {std::isnan(value.days) ? 0
                : value.days > 0       ? static_cast<int64_t>(kBound)
                                       : -static_cast<int64_t>(kBound),
                0};
    }
    const double whole = std::trunc(value.days);
    const double fraction = std::fabs(value.days - whole);
    auto day = static_cast<int64_t>(whole);
    int64_t seconds = 0;
    if (rule == SubSecond::Round) {
        seconds = std::llround(fraction * kSecondsPerDay);
    } else {
        seconds = std::llround(fraction * kSecondsPerDay * 1000.0) / 1000;
    }
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        ++day;
    }
    return {day, seconds};
}

Date from_day_seconds(int64_t day, int64_t seconds) {
    const double fraction = static_cast<double>(seconds) / kSecondsPerDay;
    const auto whole = static_cast<double>(day);
    return Date{day < 0 ? whole - fraction : whole + fraction};
}

DateParts parts_of(DaySeconds ds) {
    DateParts parts;
    civil_from_serial(ds.day, parts.year, parts.month, parts.day);
    parts.hour = static_cast<int>(ds.seconds / 3600);
    parts.minute = static_cast<int>(ds.seconds / 60 % 60);
    parts.second = static_cast<int>(ds.seconds % 60);
    return parts;
}

constexpr int64_t kMinDay = -657434;  // 100-01-01
constexpr int64_t kMaxDay = 2958465;  // 9999-12-31

}  // namespace

bool is_valid_day(int year, int month, int day) {
    return year >= kMinYear && year <= kMaxYear && month >= 1 && month <= 12 && day >= 1 &&
           day <= days_in_month(year, month);
}

std::optional<Date> make_date(int year, int month, int day) {
    if (!is_valid_day(year, month, day)) {
        return std::nullopt;
    }
    return Date{static_cast<double>(serial_from_civil(year, month, day))};
}

std::optional<Date> make_time(int hour, int minute, int second) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    return from_day_seconds(0, hour * 3600 + minute * 60 + second);
}

std::optional<Date> make_date_time(const DateParts& parts) {
    const auto day = make_date(parts.year, parts.month, parts.day);
    const auto time = make_time(parts.hour, parts.minute, parts.second);
    if (!day || !time) {
        return std::nullopt;
    }
    return from_day_seconds(static_cast<int64_t>(day->days), to_day_seconds(*time).seconds);
}

bool in_range(Date value) {
    if (!std::isfinite(value.days)) {
        return false;
    }
    const double whole = std::trunc(value.days);
    return whole >= static_cast<double>(kMinDay) && whole <= static_cast<double>(kMaxDay);
}

DateParts split_rounded(Date value) {
    return parts_of(to_day_seconds(value, SubSecond::Round));
}

DateParts split_cut(Date value) {
    return parts_of(to_day_seconds(value, SubSecond::Cut));
}

Date whole_minute(Date value) {
    if (!in_range(value)) {
        return value;
    }
    const DaySeconds ds = to_day_seconds(value, SubSecond::Cut);
    return from_day_seconds(ds.day, ds.seconds - ds.seconds % 60);
}

Date date_part(Date value) {
    return Date{std::trunc(value.days) + 0.0};
}

Date time_part(Date value) {
    return Date{std::fabs(value.days - std::trunc(value.days))};
}

Date add_hours(Date value, double hours) {
    if (!in_range(value) || !std::isfinite(hours)) {
        raise(err::kInvalidProcedureCall);
    }
    // Work on a straight count of seconds (negative days counted as moments before day zero),
    // add the interval rounded to the second, then encode the result back.
    const DaySeconds ds = to_day_seconds(value);
    // Day -5 at 06:00 lies 6 hours after the midnight that begins day -5, as day 5 at 06:00
    // lies 6 hours after its midnight: both are a straight count of seconds.
    int64_t linear = ds.day * kSecondsPerDay + ds.seconds;
    const double added = std::round(hours * 3600.0);
    if (std::fabs(added) > 1e12) {
        raise(err::kInvalidProcedureCall);
    }
    linear += static_cast<int64_t>(added);
    const int64_t day =
        linear >= 0 ? linear / kSecondsPerDay : -((-linear + kSecondsPerDay - 1) / kSecondsPerDay);
    const int64_t seconds = linear - day * kSecondsPerDay;
    if (day < kMinDay || day > kMaxDay) {
        raise(err::kInvalidProcedureCall);
    }
    return from_day_seconds(day, seconds);
}

Date from_moment(double days) {
    if (days >= 0 || !std::isfinite(days)) {
        return Date{days};
    }
    const double day = std::floor(days);
    const double fraction = days - day;
    return Date{fraction == 0.0 ? day : day - fraction};
}

}  // namespace platform
