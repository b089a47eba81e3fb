#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/database/ConnectionText.h"
#include "host/hours/Timesheet.h"
#include "platform/Services.h"

namespace timeclock {

namespace {

// A range longer than this is most likely a typing error, and a slow one; --force runs it.
constexpr int64_t kLongestRangeDays = 366;

struct ReportOptions {
    std::string database;
    std::string config;
    std::string from;
    std::string to;
    std::optional<int32_t> card;
    std::string format = "table";
    bool force = false;
};

// Days since day zero of a "YYYY-MM-DD" text; none when it names no day.
std::optional<int64_t> DayNumber(const std::string& text) {
    const auto date = ParseDay(text);
    if (!date)
        return std::nullopt;
    return static_cast<int64_t>(date->days);
}

// Prints the timesheet; false with a message on standard error when the command line asks for
// something that cannot be given.
bool RunReport(const ReportOptions& options) {
    const auto from = DayNumber(options.from);
    const auto to = DayNumber(options.to);
    if (!from || !to) {
        std::cerr << "timeclock report: --from and --to take a day as YYYY-MM-DD\n";
        return false;
    }
    if (*from > *to) {
        std::cerr << "timeclock report: the range " << options.from << " to " << options.to
                  << " is empty: --from is after --to\n";
        return false;
    }
    if (*to - *from + 1 > kLongestRangeDays && !options.force) {
        std::cerr << "timeclock report: the range is longer than a year; add --force to run it\n";
        return false;
    }
    // A server says itself when its database is missing; a file is looked for here.
    if (orvane::EngineOf(options.database) == orvane::Engine::Sqlite &&
        !std::filesystem::exists(options.database)) {
        std::cerr << "timeclock report: there is no clock database " << options.database << '\n';
        return false;
    }
    const orvane::ClockDatabase database(options.database);
    if (options.card && !database.FindEmployee(*options.card) &&
        database.Rows(*options.card).empty()) {
        std::cerr << "timeclock report: card " << *options.card
                  << " is not an employee and has no records\n";
        return false;
    }
    // An open record counts as the clock counts it: up to the configuration's longest shift. A
    // configuration that cannot be read leaves the default, and the report still runs.
    double max_shift_hours = hours::HoursRules::kDefaultMaxShiftHours;
    try {
        max_shift_hours = Configuration::Load(ConfigFileOrDefault(options.config)).max_shift_hours;
    } catch (const platform::RaisedError& error) {
        std::cerr << "timeclock report: warning: " << error.description()
                  << "; open records count up to " << max_shift_hours << " h\n";
    }
    const auto sheet = hours::Timesheet::Build(database, *from, *to, options.card,
                                               {platform::services().Now(), max_shift_hours});
    if (sheet.employees.empty()) {
        std::cerr << "timeclock report: there are no records from " << options.from << " to "
                  << options.to << '\n';
        return false;
    }
    if (options.format == "csv")
        std::cout << sheet.Csv();
    else if (options.format == "json")
        std::cout << sheet.Json();
    else
        std::cout << sheet.Table();
    return true;
}

}  // namespace

void AddReportCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<ReportOptions>();
    auto* command = app.add_subcommand(
        "report", "Timesheets for payroll: worked time, lunch, breaks, leave and dollars by day");
    command->add_option("--db", options->database, "The clock database file")->required();
    command->add_option("--config", options->config,
                        "The configuration file whose reset span ends an open work record "
                        "(default: the clock's own)");
    command->add_option("--from", options->from, "The first day, YYYY-MM-DD")->required();
    command->add_option("--to", options->to, "The last day, YYYY-MM-DD")->required();
    command->add_option("--card", options->card, "Only this employee's card")
        ->check(CLI::Range(0, 999999999));
    command->add_option("--format", options->format, "table (default), csv or json")
        ->check(CLI::IsMember({"table", "csv", "json"}));
    command->add_flag("--force", options->force, "Run a range of more than a year");
    command->callback([options, &exit_status] {
        try {
            exit_status = RunReport(*options) ? kExitOk : kExitUsage;
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
