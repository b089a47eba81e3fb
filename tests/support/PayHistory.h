#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// The short history that the tests of the pay commands punch at the clock, and the
// configuration they read their rules from.
namespace pay_history {

// A punch on the punch-type keypad: IN (its first button) or OUT (its second), at a moment
// "YYYY-MM-DD HH:MM:SS".
struct Punch {
    int32_t card;
    std::string at;
    bool in;

    std::string Keys() const {
        return in ? "CLICK:cmdStampkind(0) ENTER" : "CLICK:cmdStampkind(1) ENTER";
    }
};

// Tuesday 2026-12-01 from `in_at` ("HH:MM:SS") to 18:00: from 08:00, ten hours, two of them over
// the day's eight; from 08:04, 9:56 as punched and ten hours under a five-minute grace.
inline std::vector<Punch> TenHourDay(int32_t card, const std::string& in_at) {
    return {{card, "2026-12-01 " + in_at, true}, {card, "2026-12-01 18:00:00", false}};
}

// An out on Wednesday 2026-12-02 at 17:00 with no in before it: an exception on that day.
inline Punch OutWithoutIn(int32_t card) {
    return {card, "2026-12-02 17:00:00", false};
}

// Writes a configuration of these settings ({"pay_rules": ...} and others) and gives its path.
inline std::string WriteConfig(const std::filesystem::path& file, const nlohmann::json& settings) {
    std::ofstream(file) << settings.dump();
    return file.string();
}

}  // namespace pay_history
