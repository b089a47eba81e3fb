#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace timeclock::web {

// One input of a kiosk page: a key, a click on a control by its path, or an escape.
struct KioskInput {
    enum class Kind { Key, Click, Escape } kind = Kind::Key;
    int16_t key = 0;
    std::string path;
    friend bool operator==(const KioskInput&, const KioskInput&) = default;
};

// Reads the body of a kiosk's input request, which the page sends and nobody trusts: exactly one
// of {"key": 8 | 13 | 32..126}, {"click": "cmdStampkind(3)"} (letters, digits, "_.()", up to 64)
// or {"escape": true}. Anything else gives the refusal to show on the page.
std::variant<KioskInput, std::string> ParseKioskInput(std::string_view body);

// The input as the page sends it.
std::string KioskInputJson(const KioskInput& input);

}  // namespace timeclock::web
