#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "host/punches/PunchRules.h"
#include "host/punches/Row.h"
#include "platform/Date.h"

namespace punches {

// Moments and durations in whole minutes: records hold times to the minute, so minutes compare
// and add up exactly where fractions of a day would not. A moment counts minutes since day zero.
using Minutes = int64_t;
Minutes ToMinutes(platform::Date moment);

// How long a record may stay open: an employee's open record older than the longest shift is a
// forgotten out, never closed by a later punch ("max_shift_hours").
struct ShiftRules {
    double max_shift_hours = kDefaultMaxShiftHours;
    static constexpr double kDefaultMaxShiftHours = 16;

    Minutes LongestShift() const;
};

// Whether a closing punch (out, return, switch) at `closing` may close an open record that
// began at `opened`: the record began at or before the punch and no longer than the longest
// shift before it.
bool MayClose(platform::Date opened, platform::Date closing, const ShiftRules& rules);
// The earliest beginning of an open record that a closing punch at `closing` may close.
platform::Date EarliestClosable(platform::Date closing, const ShiftRules& rules);

// What an employee is doing at a moment, and since when: the latest punch says which, and the
// record it left open says since when. A record open longer than the longest shift is a
// missing out: the employee counts as out, since an unknown moment.
struct EmployeeState {
    Activity activity = Activity::Out;
    std::optional<platform::Date> since;
};

// The state at `now` from an employee's rows, oldest first as the clock database reads them.
// Rows after `now` are not read.
EmployeeState StateOf(const std::vector<Row>& rows, platform::Date now, const ShiftRules& rules);

}  // namespace punches
