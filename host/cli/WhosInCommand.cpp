#include <filesystem>
#include <iomanip>
#include <iostream>
#include <memory>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/database/ConnectionText.h"
#include "host/hours/Attendance.h"
#include "host/punches/Shift.h"

namespace timeclock {

namespace {

struct WhosInOptions {
    std::string database;
    std::string config;
    std::string now;
    std::string format = "table";
};

// The name of an activity as the command gives it; empty for out.
std::string_view StateName(punches::Activity activity) {
    switch (activity) {
        case punches::Activity::Working:
            return "working";
        case punches::Activity::Lunch:
            return "lunch";
        case punches::Activity::Break:
            return "break";
        case punches::Activity::Out:
            break;
    }
    return {};
}

bool RunWhosIn(const WhosInOptions& options) {
    const auto moment = MomentAsked(options.now, "whos-in");
    if (!moment)
        return false;
    if (orvane::EngineOf(options.database) == orvane::Engine::Sqlite &&
        !std::filesystem::exists(options.database)) {
        std::cerr << "timeclock whos-in: there is no clock database " << options.database << '\n';
        return false;
    }
    const auto config = Configuration::Load(ConfigFileOrDefault(options.config));
    const punches::ShiftRules rules{static_cast<double>(config.max_shift_hours)};
    const orvane::ClockDatabase database(options.database);
    const auto in = hours::WhosIn(database, *moment, rules);
    const auto since_text = [](const punches::EmployeeState& state) {
        return state.since ? DateToJsonText(*state.since) : std::string();
    };

    if (options.format == "json") {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const auto& [employee, state, clock] : in) {
            list.push_back({{"card", employee.card},
                            {"name", employee.name},
                            {"state", StateName(state.activity)},
                            {"since", since_text(state)},
                            {"clock", clock}});
        }
        std::cout << JsonText(list, 2) << '\n';
        return true;
    }
    if (in.empty()) {
        std::cout << "No one is in.\n";
        return true;
    }
    std::cout << std::left << std::setw(10) << "Card" << std::setw(28) << "Name" << std::setw(9)
              << "State" << std::setw(21) << "Since"
              << "Clock\n";
    for (const auto& [employee, state, clock] : in) {
        std::cout << std::setw(10) << employee.card << std::setw(28) << employee.name
                  << std::setw(9) << StateName(state.activity) << std::setw(21) << since_text(state)
                  << clock << '\n';
    }
    return true;
}

}  // namespace

void AddWhosInCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<WhosInOptions>();
    auto* command = app.add_subcommand(
        "whos-in", "Lists who is working, at lunch or on a break now, since when, at which clock");
    command->add_option("--db", options->database, "The clock database file")->required();
    command->add_option("--config", options->config,
                        "The configuration file whose \"max_shift_hours\" bounds an open record");
    AddNowOption(*command, options->now);
    command->add_option("--format", options->format, "table (default) or json")
        ->check(CLI::IsMember({"table", "json"}));
    command->callback([options, &exit_status] {
        try {
            exit_status = RunWhosIn(*options) ? kExitOk : kExitUsage;
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
