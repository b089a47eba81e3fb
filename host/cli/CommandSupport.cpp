#include "host/cli/CommandSupport.h"

#include <cstdio>
#include <iostream>
#include <type_traits>

#include "host/clock/ComponentLibrary.h"

namespace timeclock {

using nlohmann::ordered_json;

std::string DateToJsonText(platform::Date value) {
    const auto parts = platform::split(value);
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

std::optional<platform::Date> ParseMoment(const std::string& text) {
    platform::DateParts parts;
    char separator = 0;
    char tail = 0;
    const int read =
        std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%c", &parts.year, &parts.month,
                    &parts.day, &separator, &parts.hour, &parts.minute, &parts.second, &tail);
    if (read != 7 || (separator != ' ' && separator != 'T'))
        return std::nullopt;
    return platform::make_date_time(parts);
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

}  // namespace timeclock
