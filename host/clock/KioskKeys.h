#pragma once

#include <string>
#include <string_view>

namespace timeclock {

// The browser kiosks' keys, as `timeclock kiosk-key` and the administrator's pages make them.

// A kiosk's name is kept with manager entries and shown on its screen: letters, digits, blanks
// and "-_.", up to 40 characters, no blank at either end.
bool IsKioskName(std::string_view name);
inline constexpr const char* kKioskNameRule =
    "a kiosk's name is 1 to 40 letters, digits, blanks or \"-_.\"";

// A new key: 26 characters of a-z and 2-7, 130 random bits, easy to type from a printout.
std::string NewKioskKey();

// The link that opens the kiosk `name` with its `key` at the server `url`.
std::string KioskLink(std::string_view url, std::string_view name, std::string_view key);

}  // namespace timeclock
