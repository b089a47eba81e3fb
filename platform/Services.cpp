#include "platform/Services.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <thread>

namespace platform {

namespace {

// The services installed by the innermost ServicesScope of this thread, or null for the thread's
// own. Each apartment (a thread that owns a kiosk's objects) has its own services: one kiosk's
// pause or message box never reaches another.
thread_local Services* g_installed = nullptr;

// Days from 1899-12-30 (day zero of the date type) to 1970-01-01.
constexpr double kUnixEpochDays = 25569.0;

std::filesystem::path default_registry_file() {
    if (const char* named = std::getenv("STAMPKIND_REGISTRY"); named && *named)
        return named;
    std::filesystem::path data_home;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        data_home = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        data_home = std::filesystem::path(home) / ".local" / "share";
    } else {
        data_home = std::filesystem::temp_directory_path();
    }
    return data_home / "stampkind" / "registry.json";
}

RegionalSettings default_regional() {
    return RegionalSettings{};
}

}  // namespace

Services::~Services() = default;

SystemServices::SystemServices()
    : m_regional(default_regional()), m_registry(default_registry_file()) {}

Date SystemServices::Now() {
    // Local wall-clock time, counted as if it were UTC so that the day arithmetic below yields
    // the local calendar day and time of day.
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const std::time_t local_as_utc = timegm(&local);
    const auto sub_second = std::chrono::duration_cast<std::chrono::milliseconds>(
                                now.time_since_epoch() - std::chrono::seconds(seconds))
                                .count();
    const double days =
        kUnixEpochDays +
        (static_cast<double>(local_as_utc) + static_cast<double>(sub_second) / 1000.0) / 86400.0;
    return Date{days};
}

void SystemServices::Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SystemServices::DoEvents() {
    // A process without a window system of its own has no pending window messages; a host with
    // a screen installs services that pump its own event queue.
}

void SystemServices::MessageBox(std::string_view text) {
    std::cerr << text << '\n';
}

Services& services() {
    if (g_installed)
        return *g_installed;
    thread_local SystemServices system;
    return system;
}

ServicesScope::ServicesScope(Services& installed) : m_previous(g_installed) {
    g_installed = &installed;
}

ServicesScope::~ServicesScope() {
    g_installed = m_previous;
}

}  // namespace platform
