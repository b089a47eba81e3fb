#pragma once

#include <nlohmann/json.hpp>

#include "host/database/ClockDatabase.h"
#include "host/hours/Audit.h"

// The corrections of punches as the punches command prints them for scripts.
namespace timeclock {

// A record's values: "id", "card", "type", "in", "out" (moments as "YYYY-MM-DDTHH:MM:SS", null
// when missing), "notes" and the amounts that are not zero.
nlohmann::ordered_json RowToJson(const orvane::ClockDatabase::Row& row);
// A correction: its "correction" id, the punch's "id", "card", "action", "by", "at", "clock",
// "reason", and the record "before" and "after" (null when none).
nlohmann::ordered_json CorrectionToJson(const orvane::Correction& correction);
// A punch: its values, "voided" (with "void_reason"), "added", and "original" (its values
// before its first correction) when it was corrected.
nlohmann::ordered_json CorrectedPunchToJson(const hours::CorrectedPunch& punch);

}  // namespace timeclock
