#pragma once

#include <optional>
#include <string>

#include "host/database/ClockDatabase.h"
#include "platform/Date.h"

namespace hours {

// The records entered in manager mode whose entry (the clock's moment, not the typed one) lies
// in [from, to), oldest first, one line each: when, on which clock, by which manager, and the
// record as stored. Text for the administrator; the lines' columns are separated by two blanks.
std::string AuditList(const orvane::ClockDatabase& database, std::optional<platform::Date> from,
                      std::optional<platform::Date> to);

}  // namespace hours
