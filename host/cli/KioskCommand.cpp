#include <memory>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/tui/Kiosk.h"

namespace timeclock {

void AddKioskCommand(CLI::App& app, int& exit_status) {
    auto db = std::make_shared<std::string>();
    auto config = std::make_shared<std::string>();
    auto* command =
        app.add_subcommand("kiosk", "The terminal time clock: card, punch, figures; F10 quits");
    command->add_option("--db", *db,
                        "The clock database file (default: the configuration's, else "
                        "~/.local/share/stampkind/clock.db)");
    command->add_option("--config", *config,
                        "The configuration file (default: ~/.config/stampkind/timeclock.json)");
    command->callback([db, config, &exit_status] {
        try {
            exit_status = tui::RunKiosk({ConfigFileOrDefault(*config), *db});
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
