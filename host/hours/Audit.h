#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "platform/Date.h"

namespace hours {

// What an administrator reviews, oldest first, one line each; the lines' columns are separated
// by two blanks. The records entered in manager mode whose entry (the clock's moment, not the
// typed one) lies in [from, to): when, on which clock, by which manager, and the record as
// stored with its hours or amounts. Then every correction made in [from, to) (who, when, on
// which clock, why, the record before and after) and every approval and reopening of a week.
std::string AuditList(const orvane::ClockDatabase& database, std::optional<platform::Date> from,
                      std::optional<platform::Date> to);

// A record as a line shows it: `#ID "TYPE" IN to OUT`, its hours when it has both moments, its
// amounts when it has any, and its notes.
std::string RecordText(const orvane::ClockDatabase::Row& row);

// A record of the "Clock Data Table" with its corrections: its current values (a voided record
// its values when it was voided) and, when corrected, what it was before its first correction
// (none for a punch that was added as a record of its own).
struct CorrectedPunch {
    orvane::ClockDatabase::Row row;
    bool voided = false;
    bool added = false;
    std::optional<orvane::ClockDatabase::Row> original;
    std::vector<orvane::Correction> corrections;
};
// One card's records (every card's when none) with a moment in the days [from, to], either
// bound open, voided ones included, by "ID".
std::vector<CorrectedPunch> CorrectedPunches(const orvane::ClockDatabase& database,
                                             std::optional<int32_t> card,
                                             std::optional<platform::Date> from,
                                             std::optional<platform::Date> to);
// The punches as a table for a person: one line each, voided and corrected ones marked.
std::string CorrectedPunchesTable(const std::vector<CorrectedPunch>& punches);

}  // namespace hours
