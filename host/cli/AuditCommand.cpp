#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/database/ClockDatabase.h"
#include "host/database/ConnectionText.h"
#include "host/hours/Audit.h"

namespace timeclock {

namespace {

struct AuditOptions {
    std::string database;
    std::string from;
    std::string to;
};

bool RunAudit(const AuditOptions& options) {
    std::optional<platform::Date> from, to;
    if (!options.from.empty() && !(from = ParseDay(options.from))) {
        std::cerr << "timeclock audit: --from takes a day as YYYY-MM-DD\n";
        return false;
    }
    if (!options.to.empty()) {
        to = ParseDay(options.to);
        if (!to) {
            std::cerr << "timeclock audit: --to takes a day as YYYY-MM-DD\n";
            return false;
        }
        to->days += 1;  // the last day is listed whole
    }
    // A server says itself when its database is missing; a file is looked for here.
    if (orvane::EngineOf(options.database) == orvane::Engine::Sqlite &&
        !std::filesystem::exists(options.database)) {
        std::cerr << "timeclock audit: there is no clock database " << options.database << '\n';
        return false;
    }
    const orvane::ClockDatabase database(options.database);
    std::cout << hours::AuditList(database, from, to);
    return true;
}

}  // namespace

void AddAuditCommand(CLI::App& app, int& exit_status) {
    auto options = std::make_shared<AuditOptions>();
    auto* command = app.add_subcommand(
        "audit",
        "Lists the manager entries, the corrections and the approved weeks: who, when, where");
    command->add_option("--db", options->database, "The clock database file")->required();
    command->add_option("--from", options->from, "The first day of entry, YYYY-MM-DD");
    command->add_option("--to", options->to, "The last day of entry, YYYY-MM-DD");
    command->callback([options, &exit_status] {
        try {
            exit_status = RunAudit(*options) ? kExitOk : kExitUsage;
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
