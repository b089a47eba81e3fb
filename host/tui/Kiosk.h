#pragma once

#include <filesystem>

namespace timeclock::tui {

struct KioskOptions {
    std::filesystem::path config_file;
    // Empty: the database the configuration names, else the clock's default one.
    std::filesystem::path database;
};

// Runs the terminal time clock until the person at it quits; returns the exit status. Raised
// errors of the start-up (a damaged configuration, a database that cannot be opened) reach the
// caller before the screen is taken over.
int RunKiosk(const KioskOptions& options);

}  // namespace timeclock::tui
