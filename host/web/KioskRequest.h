#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "host/clock/Input.h"

namespace timeclock::web {

// A kiosk page's input is one of the clock's own inputs; a page never sends a tick (the kiosk's
// thread keeps the time).
using KioskInput = timeclock::Input;

// Reads the body of a kiosk's input request, which the page sends and nobody trusts: exactly one
// of {"key": 8 | 13 | 32..126}, {"click": "cmdStampkind(3)"} (letters, digits, "_.()", up to 64)
// or {"escape": true}. Anything else gives the refusal to show on the page.
std::variant<KioskInput, std::string> ParseKioskInput(std::string_view body);

// The input as the page sends it. A tick, which no page sends, is written {"tick": days}, which
// ParseKioskInput refuses.
std::string KioskInputJson(const KioskInput& input);

// A kiosk page's request: one input, or a hold (the page's window takes the kiosk over from any
// other window open on it), under the hold the window was given when it took the kiosk (0: it
// names none). A kiosk is held by one window at a time; an input under an older hold comes from a
// window the kiosk was taken from.
struct KioskRequest {
    KioskInput input;
    bool hold = false;
    uint64_t holder = 0;
};

// Reads a kiosk page's request: {"hold": true} or an input as ParseKioskInput reads it, each
// with or without "holder": a positive whole number. Anything else gives the refusal to show.
std::variant<KioskRequest, std::string> ParseKioskRequest(std::string_view body);

}  // namespace timeclock::web
