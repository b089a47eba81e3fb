#include <iostream>
#include <memory>
#include <optional>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/database/ClockDatabase.h"

namespace timeclock {

namespace {

struct EmployeeOptions {
    std::string action;
    std::string database;
    std::optional<int32_t> card;
    std::string name;
    bool manager = false;
};

// Runs the action; false with a message on standard error when the command line lacks what the
// action needs.
bool RunEmployee(const EmployeeOptions& options) {
    orvane::ClockDatabase database(options.database);
    if (options.action == "list") {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const auto& employee : database.Employees()) {
            list.push_back(
                {{"card", employee.card}, {"name", employee.name}, {"manager", employee.manager}});
        }
        std::cout << list.dump(2) << '\n';
        return true;
    }
    if (!options.card) {
        std::cerr << "timeclock employee " << options.action << ": --card is required\n";
        return false;
    }
    if (options.action == "add") {
        if (options.name.empty()) {
            std::cerr << "timeclock employee add: --name is required\n";
            return false;
        }
        database.AddEmployee({*options.card, options.name, options.manager});
        std::cout << "Added card " << *options.card << ": " << options.name
                  << (options.manager ? " (manager)" : "") << '\n';
        return true;
    }
    if (!database.RemoveEmployee(*options.card)) {
        std::cerr << "timeclock employee remove: there is no employee with card " << *options.card
                  << '\n';
        return false;
    }
    std::cout << "Removed card " << *options.card << '\n';
    return true;
}

}  // namespace

void AddEmployeeCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<EmployeeOptions>();
    auto* command = app.add_subcommand(
        "employee",
        "Keeps the \"Employees\" table that the \"Employee ID\" step checks cards against");
    command->add_option("action", options->action, "add, list or remove")
        ->required()
        ->check(CLI::IsMember({"add", "list", "remove"}));
    command->add_option("--db", options->database, "The clock database file (made when missing)")
        ->required();
    command->add_option("--card", options->card, "The card number")
        ->check(CLI::Range(0, 999999999));
    command->add_option("--name", options->name, "The employee's name (add)");
    command->add_flag("--manager", options->manager, "The employee is a manager (add)");
    command->callback([options, &exit_status] {
        try {
            exit_status = RunEmployee(*options) ? kExitOk : kExitUsage;
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
