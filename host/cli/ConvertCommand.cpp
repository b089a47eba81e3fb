#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "platform/Convert.h"
#include "platform/Error.h"
#include "platform/Services.h"

namespace timeclock {

namespace {

struct ConvertOptions {
    std::string date;
    std::vector<std::string> format;  // value, format
    // Empty: the regional settings of the platform services.
    std::string regional;
};

// A format string speaks of dates when it has a letter of a date or time part outside quotes
// and escapes; "0:00" and ".000" are number formats, "mmddyyHHnn" a date format.
bool is_date_format(std::string_view format) {
    bool quoted = false;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(format[i])));
        if (format[i] == '"') {
            quoted = !quoted;
        } else if (format[i] == '\\') {
            ++i;
        } else if (!quoted && std::string_view("ymdhns").find(c) != std::string_view::npos) {
            return true;
        }
    }
    return false;
}

int run_date(const ConvertOptions& options, const platform::RegionalSettings& settings) {
    const auto date = platform::parse_date(options.date, settings);
    nlohmann::ordered_json out = {
        {"isdate", date.has_value()},
        {"value", date ? date->days : 0.0},
        {"text", date ? platform::date_to_text(*date, settings) : std::string()},
    };
    std::cout << JsonText(out) << "\n";
    return kExitOk;
}

int run_format(const ConvertOptions& options, const platform::RegionalSettings& settings) {
    const std::string& value = options.format[0];
    const std::string& format = options.format[1];
    const auto number = platform::parse_number(value, settings);
    if (!is_date_format(format)) {
        if (!number) {
            std::cerr << "timeclock convert: \"" << value << "\" is no number\n";
            return kExitUsage;
        }
        std::cout << platform::format_number(*number, format) << "\n";
        return kExitOk;
    }
    // A date format takes a date text, or a number of days on the date type's scale.
    std::optional<platform::Date> date = platform::parse_date(value, settings);
    if (!date && number && platform::in_range(platform::Date{*number})) {
        date = platform::Date{*number};
    }
    if (!date) {
        std::cerr << "timeclock convert: \"" << value << "\" is no date\n";
        return kExitUsage;
    }
    std::cout << platform::format_date(*date, format) << "\n";
    return kExitOk;
}

}  // namespace

void AddConvertCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* command =
        app.add_subcommand("convert", "Show how the platform reads a date text or formats a value");
    auto* date = command->add_option("--date", options->date, "A text to read as a date");
    auto* format = command->add_option("--format", options->format, "A value and a format string")
                       ->expected(2)
                       ->type_name("VALUE FORMAT");
    date->excludes(format);
    command->add_option("--regional", options->regional, "Regional settings: en-US or en-GB")
        ->check(CLI::IsMember({"en-US", "en-GB"}));
    command->callback([options, date, format, &exit_status] {
        if (date->count() == 0 && format->count() == 0) {
            throw CLI::RequiredError("--date or --format");
        }
        const auto settings = options->regional.empty()
                                  ? platform::services().Regional()
                                  : *platform::RegionalSettings::by_name(options->regional);
        try {
            exit_status =
                date->count() > 0 ? run_date(*options, settings) : run_format(*options, settings);
        } catch (const platform::RaisedError& error) {
            std::cout << JsonText(nlohmann::ordered_json{{"error", ErrorToJson(error)}}) << "\n";
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
