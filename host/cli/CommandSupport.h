#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "host/hours/PayPeriod.h"
#include "platform/Date.h"
#include "platform/Error.h"
#include "platform/Variant.h"

namespace CLI {
class App;
}

// What the subcommands of the timeclock command share.
namespace timeclock {

// A value as JSON: text as text, numbers and money as numbers, booleans as booleans, dates as
// "YYYY-MM-DDTHH:MM:SS", empty and null as null.
nlohmann::ordered_json ToJson(const platform::Variant& value);
std::string DateToJsonText(platform::Date value);

// "YYYY-MM-DD HH:MM:SS" (or with a "T"); none when the text is no such moment.
std::optional<platform::Date> ParseMoment(const std::string& text);
// The start of a "YYYY-MM-DD" day; none when the text names no day.
std::optional<platform::Date> ParseDay(const std::string& text);
// Days since day zero of a "YYYY-MM-DD" text; none when it names no day.
std::optional<int64_t> DayNumber(const std::string& text);
// Declares `--now` on a command that reads its records as at a moment; MomentAsked reads it.
void AddNowOption(CLI::App& command, std::string& now);
// The moment a command reads its records as at: its --now, or the clock's time when --now is not
// given. When --now is no moment, none, after `command` has said so on the error output.
std::optional<platform::Date> MomentAsked(const std::string& now, std::string_view command);
// The first and last day a --period names: "current" (the period holding `now`), "previous" or
// the one holding a day; none when the text is neither.
std::optional<hours::PayPeriod> PeriodNamed(const std::string& text, const hours::PayRules& rules,
                                            platform::Date now);

// JSON as the command prints it (`indent` as nlohmann's dump). Text that is not UTF-8 (a name
// written into the database by another program or an older version) is printed with U+FFFD in
// place of each broken byte instead of ending the command.
template <class Json>
std::string JsonText(const Json& value, int indent = -1) {
    return value.dump(indent, ' ', false, Json::error_handler_t::replace);
}

// A raised error as {"number", "description"}.
nlohmann::ordered_json ErrorToJson(const platform::RaisedError& error);

// Writes "timeclock: <description> (error <number>)" to standard error.
void PrintError(const platform::RaisedError& error);

// The OS user who runs the command: who made a change from a script.
std::string CommandUser();

// The configuration file named on the command line, or the clock's default one.
std::filesystem::path ConfigFileOrDefault(const std::string& option);

}  // namespace timeclock
