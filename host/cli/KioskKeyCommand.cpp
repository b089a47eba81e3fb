#include <iostream>
#include <memory>
#include <string>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/Configuration.h"
#include "host/clock/KioskKeys.h"
#include "host/framework/Secret.h"

namespace timeclock {

void AddKioskKeyCommand(CLI::App& app, int& exit_status) {
    auto config = std::make_shared<std::string>();
    auto name = std::make_shared<std::string>();
    auto url = std::make_shared<std::string>("http://127.0.0.1:8080");
    auto* command = app.add_subcommand("kiosk-key", "The browser kiosks allowed at the server");
    command->require_subcommand(1);
    auto* add = command->add_subcommand(
        "add", "Registers a kiosk and prints its key once, with the link to open");
    auto* list = command->add_subcommand("list", "Lists the registered kiosks");
    auto* remove = command->add_subcommand("remove", "Removes a kiosk; its key stops working");
    for (auto* sub : {add, list, remove}) {
        sub->add_option("--config", *config,
                        "The configuration file (default: ~/.config/stampkind/timeclock.json)");
    }
    add->add_option("NAME", *name, "The kiosk's name, kept with its manager entries")->required();
    add->add_option("--url", *url, "The server's address as the kiosk reaches it");
    remove->add_option("NAME", *name, "The kiosk's name")->required();

    const auto run = [config, name, url, &exit_status](const std::string& action) {
        try {
            const auto file = ConfigFileOrDefault(*config);
            auto configuration = Configuration::Load(file);
            if (action == "list") {
                for (const auto& [kiosk, hash] : configuration.kiosk_keys)
                    std::cout << kiosk << '\n';
                return;
            }
            if (action == "remove") {
                if (configuration.kiosk_keys.erase(*name) == 0) {
                    std::cerr << "timeclock: no kiosk is named \"" << *name << "\"\n";
                    exit_status = kExitError;
                    return;
                }
                configuration.Save(file);
                return;
            }
            if (!IsKioskName(*name)) {
                std::cerr << "timeclock: " << kKioskNameRule << '\n';
                exit_status = kExitUsage;
                return;
            }
            if (configuration.kiosk_keys.count(*name)) {
                std::cerr << "timeclock: a kiosk named \"" << *name
                          << "\" is registered; remove it first to give it a new key\n";
                exit_status = kExitError;
                return;
            }
            const auto key = NewKioskKey();
            configuration.kiosk_keys[*name] = orvane::HashSecret(key);
            configuration.Save(file);
            std::cout << "Kiosk \"" << *name << "\" registered. Its key is shown this once:\n"
                      << "  " << key << "\nOpen it at:\n  " << KioskLink(*url, *name, key) << '\n';
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    };
    add->callback([run] { run("add"); });
    list->callback([run] { run("list"); });
    remove->callback([run] { run("remove"); });
}

}  // namespace timeclock
