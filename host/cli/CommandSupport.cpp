#include "host/cli/CommandSupport.h"

#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <iostream>
#include <string_view>
#include <type_traits>

#include <CLI/CLI.hpp>

#include "host/clock/ComponentLibrary.h"
#include "platform/Services.h"

namespace timeclock {

using nlohmann::ordered_json;

std::string DateToJsonText(platform::Date value) {
    const auto parts = platform::split_rounded(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", parts.year, parts.month,
                  parts.day, parts.hour, parts.minute, parts.second);
    return text;
}

ordered_json ToJson(const platform::Variant& value) {
    return std::visit(
        [](const auto& held) -> ordered_json {
            using T = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<T, platform::Empty> || std::is_same_v<T, platform::Null>) {
                return nullptr;
            } else if constexpr (std::is_same_v<T, platform::Currency>) {
                return static_cast<double>(held.ten_thousandths) / 10000.0;
            } else if constexpr (std::is_same_v<T, platform::Date>) {
                return DateToJsonText(held);
            } else if constexpr (std::is_same_v<T, platform::ObjectRef>) {
                return held ? "(object)" : nullptr;
            } else {
                return held;
            }
        },
        value.storage());
}

std::optional<platform::Date> ParseDay(const std::string& text) {
    int year = 0, month = 0, day = 0;
    char rest = 0;
    if (text.size() != 10 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &rest) != 3)
        return std::nullopt;
    return platform::make_date(year, month, day);
}

std::optional<platform::Date> ParseMoment(const std::string& text) {
    // "YYYY-MM-DD HH:MM:SS" (or a "T" between date and time), optionally followed by a fraction
    // of a second such as ".7" or ".602", which the moment keeps as a part of a day.
    platform::DateParts parts;
    char separator = 0;
    int consumed = 0;
    const int read =
        std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &parts.year, &parts.month,
                    &parts.day, &separator, &parts.hour, &parts.minute, &parts.second, &consumed);
    if (read != 7 || (separator != ' ' && separator != 'T'))
        return std::nullopt;
    std::string_view rest = std::string_view(text).substr(static_cast<size_t>(consumed));
    double fraction = 0.0;
    if (!rest.empty()) {
        if (rest.front() != '.' || rest.size() < 2 || rest.size() > 10 ||
            rest.substr(1).find_first_not_of("0123456789") != std::string_view::npos) {
            return std::nullopt;
        }
        std::from_chars(rest.data(), rest.data() + rest.size(), fraction);
    }
    const auto moment = platform::make_date_time(parts);
    if (!moment || fraction == 0.0)
        return moment;
    // The time of day counts forward from midnight also on days before day zero.
    const double part_of_day = fraction / 86400.0;
    return platform::Date{moment->days < 0 ? moment->days - part_of_day
                                           : moment->days + part_of_day};
}

ordered_json ErrorToJson(const platform::RaisedError& error) {
    ordered_json json;
    json["number"] = error.number();
    json["description"] = error.description();
    return json;
}

void PrintError(const platform::RaisedError& error) {
    std::cerr << "timeclock: " << error.description() << " (error " << error.number() << ")\n";
}

std::filesystem::path ConfigFileOrDefault(const std::string& option) {
    return option.empty() ? DefaultConfigFile() : std::filesystem::path(option);
}

std::optional<int64_t> DayNumber(const std::string& text) {
    const auto date = ParseDay(text);
    if (!date)
        return std::nullopt;
    return static_cast<int64_t>(date->days);
}

void AddNowOption(CLI::App& command, std::string& now) {
    command.add_option(
        "--now", now,
        "Reads the records as at this moment, \"YYYY-MM-DD HH:MM:SS\" (default: now)");
}

std::optional<platform::Date> MomentAsked(const std::string& now, std::string_view command) {
    const auto moment = now.empty() ? std::optional(platform::services().Now()) : ParseMoment(now);
    if (!moment)
        std::cerr << "timeclock " << command
                  << ": --now takes a moment as \"YYYY-MM-DD HH:MM:SS\"\n";
    return moment;
}

std::optional<hours::PayPeriod> PeriodNamed(const std::string& text, const hours::PayRules& rules,
                                            platform::Date now) {
    const auto today = static_cast<int64_t>(platform::date_part(now).days);
    if (text == "current")
        return hours::PeriodHolding(today, rules);
    if (text == "previous")
        return hours::PreviousPeriod(hours::PeriodHolding(today, rules), rules);
    if (const auto day = DayNumber(text))
        return hours::PeriodHolding(*day, rules);
    return std::nullopt;
}

std::string CommandUser() {
    if (const passwd* user = getpwuid(geteuid()))
        return user->pw_name;
    return "uid " + std::to_string(geteuid());
}

}  // namespace timeclock
