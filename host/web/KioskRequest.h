#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace timeclock::web {

// One input of a kiosk page: a key, a click on a control by its path, an escape, or a hold (the
// page's window takes the kiosk over from any other window open on it).
struct KioskInput {
    enum class Kind { Key, Click, Escape, Hold } kind = Kind::Key;
    int16_t key = 0;
    std::string path;
    // The hold the page's window was given; an input under an older hold comes from a window the
    // kiosk was taken from and is dropped. 0: the page names none.
    uint64_t holder = 0;
    friend bool operator==(const KioskInput&, const KioskInput&) = default;
};

// Reads the body of a kiosk's input request, which the page sends and nobody trusts: exactly one
// of {"key": 8 | 13 | 32..126}, {"click": "cmdStampkind(3)"} (letters, digits, "_.()", up to 64),
// {"escape": true} or {"hold": true}, and optionally "holder": a positive whole number. Anything
// else gives the refusal to show on the page.
std::variant<KioskInput, std::string> ParseKioskInput(std::string_view body);

// The input as the page sends it.
std::string KioskInputJson(const KioskInput& input);

}  // namespace timeclock::web
