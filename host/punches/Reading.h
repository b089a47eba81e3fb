#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/punches/PunchRules.h"
#include "host/punches/Row.h"
#include "host/punches/Shift.h"
#include "platform/Date.h"

namespace punches {

// One exception with its detail for people ("missing out (in at 08:00)"), filed under a
// record and the moment of that record it concerns.
struct Exception {
    ExceptionKind kind;
    int64_t record_id = 0;
    Minutes at = 0;
    std::string detail;
};

// A stretch of time that counts: worked (a closed or complete work record, or an open one up to
// now), lunch or a break.
struct Stretch {
    int64_t record_id = 0;
    Activity activity = Activity::Working;
    Minutes start = 0;
    Minutes end = 0;
    bool open = false;  // an open record, counted up to now: its end is no punch
};

// An amount of leave or money a record books.
struct Booking {
    int64_t record_id = 0;
    const AmountKind* kind = nullptr;
    Minutes at = 0;
    double amount = 0;
};

// An employee's rows as the rules read them at `now`: what counts, what is booked and what is
// wrong. An open record counts up to now while it is no older than the longest shift; past it,
// it is a missing out. A closed record longer than the longest shift was closed by a punch that
// belonged to a later shift: it is read as the missing out of its in and the missing in of its
// out, and counts nothing. Work records that overlap are each listed and none is counted.
struct RecordReading {
    std::vector<Stretch> stretches;
    std::vector<Booking> bookings;
    std::vector<Exception> exceptions;
};

// `entered_by` gives, for the records a manager entered, the manager's card by record "ID".
RecordReading ReadRecords(const std::vector<Row>& rows, platform::Date now, const ShiftRules& rules,
                          const std::unordered_map<int64_t, int32_t>& entered_by = {});

// The exceptions alone, in the order they were found.
std::vector<Exception> ExceptionsOf(const std::vector<Row>& rows, platform::Date now,
                                    const ShiftRules& rules,
                                    const std::unordered_map<int64_t, int32_t>& entered_by = {});

// A moment's time of day as "HH:MM".
std::string ClockText(Minutes moment);

}  // namespace punches
