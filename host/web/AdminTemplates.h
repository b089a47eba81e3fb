#pragma once

#include <string_view>

namespace timeclock::web {

// The Mustache template of an administrator's page by its name ("frame", "employees", ...);
// empty when there is none of that name.
std::string_view AdminTemplate(std::string_view name);

}  // namespace timeclock::web
