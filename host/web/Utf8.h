#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace timeclock::web {

// Text at the clock's doors (forms, the command line) is UTF-8: these say whether bytes are, count
// its characters, and make any bytes into text that is, for what is read back from a store that
// may hold older, broken text.

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsUtf8(std::string_view text);
// The number of characters (code points) of well-formed UTF-8 text.
size_t Utf8Length(std::string_view text);
// The text with each byte that is not part of a well-formed character replaced by U+FFFD.
std::string RepairUtf8(std::string_view text);

}  // namespace timeclock::web
