#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <termios.h>
#include <unistd.h>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/Configuration.h"
#include "host/framework/Secret.h"

namespace timeclock {

namespace {

constexpr size_t kShortestPassword = 10;
constexpr size_t kLongestPassword = 200;

std::optional<std::string> ReadLine() {
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// Asks at the terminal with the echo off, twice; the terminal's settings come back whatever
// happens.
std::optional<std::string> AskTwice() {
    termios saved{};
    tcgetattr(STDIN_FILENO, &saved);
    termios silent = saved;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    std::cerr << "The administrator's password (at least " << kShortestPassword
              << " characters): " << std::flush;
    auto password = ReadLine();
    std::cerr << "\nThe same password again: " << std::flush;
    const auto again = password ? ReadLine() : std::nullopt;
    std::cerr << '\n';
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (password && again != password) {
        std::cerr << "timeclock admin-password: the two passwords differ; nothing was changed\n";
        return std::nullopt;
    }
    return password;
}

}  // namespace

void AddAdminPasswordCommand(CLI::App& app, int& exit_status) {
    auto config = std::make_shared<std::string>();
    auto* command = app.add_subcommand(
        "admin-password",
        "Sets the password of the administrator's pages (asked at the terminal, or one line of "
        "standard input)");
    command->add_option("--config", *config,
                        "The configuration file (default: ~/.config/stampkind/timeclock.json)");
    command->callback([config, &exit_status] {
        const auto password = isatty(STDIN_FILENO) ? AskTwice() : ReadLine();
        if (!password) {
            exit_status = kExitUsage;
            return;
        }
        if (password->size() < kShortestPassword || password->size() > kLongestPassword) {
            std::cerr << "timeclock admin-password: a password is " << kShortestPassword << " to "
                      << kLongestPassword << " characters; nothing was changed\n";
            exit_status = kExitUsage;
            return;
        }
        try {
            const auto file = ConfigFileOrDefault(*config);
            auto configuration = Configuration::Load(file);
            configuration.admin_password = orvane::HashSecret(*password);
            configuration.Save(file);
            std::cout << "The administrator's password is set.\n";
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace timeclock
