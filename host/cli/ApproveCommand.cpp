#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/Configuration.h"
#include "host/database/ClockDatabase.h"
#include "host/database/ConnectionText.h"
#include "host/hours/Hours.h"
#include "platform/Convert.h"

namespace timeclock {

namespace {

struct ApproveOptions {
    std::string database;
    std::string config;
    std::string week;
    std::optional<int32_t> card;
};

// Approves or reopens the week that holds the day given: the configuration's "week_starts"
// week, for everyone or for one card.
bool RunApproval(const ApproveOptions& options, bool approve) {
    const std::string_view command = approve ? "approve" : "reopen";
    const auto day = ParseDay(options.week);
    if (!day) {
        std::cerr << "timeclock " << command << ": --week takes a day as YYYY-MM-DD\n";
        return false;
    }
    if (orvane::EngineOf(options.database) == orvane::Engine::Sqlite &&
        !std::filesystem::exists(options.database)) {
        std::cerr << "timeclock " << command << ": there is no clock database " << options.database
                  << '\n';
        return false;
    }
    const auto config = Configuration::Load(ConfigFileOrDefault(options.config));
    const platform::Date start{
        static_cast<double>(hours::WeekStart(static_cast<int64_t>(day->days), config.week_starts))};
    const std::string who = CommandUser();
    orvane::ClockDatabase database(options.database);
    try {
        const auto approval =
            approve ? database.ApproveWeek(start, options.card, who, platform::services().Now())
                    : database.ReopenWeek(start, options.card, who, platform::services().Now());
        std::cout << "The week of " << platform::format_date(approval.week_start, "yyyy-mm-dd")
                  << (approve ? " is approved" : " is reopened")
                  << (approval.card ? " for card " + std::to_string(*approval.card)
                                    : std::string(" for everyone"))
                  << ".\n";
        return true;
    } catch (const platform::RaisedError& error) {
        // Reopening a week that is not approved is said to the person.
        if (error.number() != platform::err::kInvalidProcedureCall)
            throw;
        std::cerr << "timeclock " << command << ": " << error.description() << '\n';
        return false;
    }
}

}  // namespace

void AddApproveCommands(CLI::App& app, int& exit_status) {
    for (const bool approve : {true, false}) {
        auto options = std::make_shared<ApproveOptions>();
        auto* command =
            app.add_subcommand(approve ? "approve" : "reopen",
                               approve ? "Approves a week: nothing in it changes until reopened"
                                       : "Reopens an approved week");
        command->add_option("--db", options->database, "The clock database file")->required();
        command->add_option("--week", options->week, "A day of the week, YYYY-MM-DD")->required();
        command->add_option("--card", options->card, "Only this employee's week");
        command->add_option("--config", options->config,
                            "The configuration file whose \"week_starts\" begins the week");
        command->callback([options, approve, &exit_status] {
            try {
                exit_status = RunApproval(*options, approve) ? kExitOk : kExitUsage;
            } catch (const platform::RaisedError& error) {
                PrintError(error);
                exit_status = kExitError;
            }
        });
    }
}

}  // namespace timeclock
