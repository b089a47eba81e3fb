#include "platform/Regional.h"

namespace platform {

RegionalSettings RegionalSettings::us_english() {
    return RegionalSettings{};
}

RegionalSettings RegionalSettings::british_english() {
    RegionalSettings settings;
    settings.name = "en-GB";
    settings.order = DateOrder::DayMonthYear;
    settings.date_separator = '/';
    settings.time_separator = ':';
    settings.period_separates_time = true;
    settings.am = "AM";
    settings.pm = "PM";
    settings.short_date_leading_zeros = true;
    settings.twelve_hour_clock = false;
    return settings;
}

std::optional<RegionalSettings> RegionalSettings::by_name(std::string_view name) {
    if (name == "en-US") {
        return us_english();
    }
    if (name == "en-GB") {
        return british_english();
    }
    return std::nullopt;
}

}  // namespace platform
