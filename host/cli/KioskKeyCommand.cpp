#include <cctype>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/Configuration.h"
#include "host/framework/Secret.h"

namespace timeclock {

namespace {

constexpr size_t kLongestKioskName = 40;

// A kiosk's name is kept with manager entries and shown on its screen: letters, digits, blanks
// and "-_.", up to 40 characters.
bool IsKioskName(const std::string& name) {
    if (name.empty() || name.size() > kLongestKioskName || name.front() == ' ' ||
        name.back() == ' ')
        return false;
    for (unsigned char c : name) {
        if (!std::isalnum(c) && c != ' ' && c != '-' && c != '_' && c != '.')
            return false;
    }
    return true;
}

// 26 characters of a-z and 2-7: 130 random bits, easy to type from a printout.
std::string NewKey() {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz234567";
    std::random_device random;
    std::string key;
    for (int i = 0; i < 26; ++i)
        key += kAlphabet[random() % 32];
    return key;
}

// A kiosk's name as it stands in its link: anything but letters, digits and "-_." percent-encoded
// (a name's blanks become %20), as the page's URLSearchParams reads it back.
std::string LinkText(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '_' || c == '.') {
            text += c;
        } else {
            text += '%';
            text += kHex[byte >> 4];
            text += kHex[byte & 0xF];
        }
    }
    return text;
}

}  // namespace

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
                std::cerr << "timeclock: a kiosk's name is 1 to 40 letters, digits, blanks or "
                             "\"-_.\"\n";
                exit_status = kExitUsage;
                return;
            }
            if (configuration.kiosk_keys.count(*name)) {
                std::cerr << "timeclock: a kiosk named \"" << *name
                          << "\" is registered; remove it first to give it a new key\n";
                exit_status = kExitError;
                return;
            }
            const auto key = NewKey();
            configuration.kiosk_keys[*name] = orvane::HashSecret(key);
            configuration.Save(file);
            std::cout << "Kiosk \"" << *name << "\" registered. Its key is shown this once:\n"
                      << "  " << key << "\nOpen it at:\n  " << *url << "/kiosk#key=" << key
                      << "&kiosk=" << LinkText(*name) << '\n';
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
