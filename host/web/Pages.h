#pragma once

#include <string_view>

namespace timeclock::web {

// The pages the server sends, built into the program: plain HTML with their styles and scripts.
std::string_view KioskPage();

}  // namespace timeclock::web
