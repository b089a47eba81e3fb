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

}  // namespace timeclock::web
