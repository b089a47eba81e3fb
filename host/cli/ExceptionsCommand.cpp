#include <filesystem>
#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/database/ConnectionText.h"
#include "host/hours/Attendance.h"

namespace timeclock {

namespace {

struct ExceptionsOptions {
    std::string database;
    std::string config;
    std::string now;
    std::string from;
    std::string to;
    std::optional<int32_t> card;
    std::string format = "table";
};

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

bool RunExceptions(const ExceptionsOptions& options) {
    std::optional<platform::Date> from, to;
    if (!options.from.empty() && !(from = ParseDay(options.from))) {
        std::cerr << "timeclock exceptions: --from takes a day as YYYY-MM-DD\n";
        return false;
    }
    if (!options.to.empty() && !(to = ParseDay(options.to))) {
        std::cerr << "timeclock exceptions: --to takes a day as YYYY-MM-DD\n";
        return false;
    }
    if (from && to && to->days < from->days) {
        std::cerr << "timeclock exceptions: --to is before --from\n";
        return false;
    }
    const auto moment = MomentAsked(options.now, "exceptions");
    if (!moment)
        return false;
    if (orvane::EngineOf(options.database) == orvane::Engine::Sqlite &&
        !std::filesystem::exists(options.database)) {
        std::cerr << "timeclock exceptions: there is no clock database " << options.database
                  << '\n';
        return false;
    }
    const auto config = Configuration::Load(ConfigFileOrDefault(options.config));
    const punches::ShiftRules rules{static_cast<double>(config.max_shift_hours)};
    const orvane::ClockDatabase database(options.database);
    const auto listed = hours::ListExceptions(database, from, to, options.card, *moment, rules);

    if (options.format == "json") {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const auto& item : listed) {
            list.push_back({{"card", item.card},
                            {"name", item.name},
                            {"date", item.date},
                            {"kind", punches::NameOf(item.exception.kind)},
                            {"detail", item.exception.detail},
                            {"fix", punches::FixOf(item.exception.kind)},
                            {"record", item.exception.record_id}});
        }
        std::cout << JsonText(list, 2) << '\n';
        return true;
    }
    if (options.format == "csv") {
        std::cout << "card,name,date,kind,detail,fix,record\n";
        for (const auto& item : listed) {
            std::cout << item.card << ',' << CsvField(item.name) << ',' << item.date << ','
                      << punches::NameOf(item.exception.kind) << ','
                      << CsvField(item.exception.detail) << ','
                      << CsvField(std::string(punches::FixOf(item.exception.kind))) << ','
                      << item.exception.record_id << '\n';
        }
        return true;
    }
    if (listed.empty()) {
        std::cout << "No exceptions.\n";
        return true;
    }
    for (const auto& item : listed) {
        std::cout << std::left << std::setw(10) << item.card << std::setw(28) << item.name
                  << item.date << "  " << item.exception.detail
                  << "\n    fix: " << punches::FixOf(item.exception.kind) << " (record "
                  << item.exception.record_id << ")\n";
    }
    return true;
}

}  // namespace

void AddExceptionsCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<ExceptionsOptions>();
    auto* command = app.add_subcommand(
        "exceptions", "Lists the records a manager must fix, each with the fix it needs");
    command->add_option("--db", options->database, "The clock database file")->required();
    command->add_option("--config", options->config,
                        "The configuration file whose \"max_shift_hours\" bounds a shift");
    command->add_option("--from", options->from, "The first day, YYYY-MM-DD");
    command->add_option("--to", options->to, "The last day, YYYY-MM-DD");
    command->add_option("--card", options->card, "Only this employee's card")
        ->check(CLI::Range(0, 999999999));
    AddNowOption(*command, options->now);
    command->add_option("--format", options->format, "table (default), csv or json")
        ->check(CLI::IsMember({"table", "csv", "json"}));
    command->callback([options, &exit_status] {
        try {
            exit_status = RunExceptions(*options) ? kExitOk : kExitUsage;
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
