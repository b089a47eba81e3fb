#pragma once

#include <string_view>

namespace orvane {

// Whether two names are the same name. The host library's collections find entries by name
// without regard to the case of ASCII letters, as the platform's keyed collections do.
bool SameName(std::string_view a, std::string_view b);

}  // namespace orvane
