#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "host/punches/Reading.h"
#include "platform/Date.h"

// What a manager looks at between pay days: the exceptions to clear and who is in now. Read from
// the clock database by the punch rules, for `timeclock exceptions`, `timeclock whos-in` and the
// administrator's pages alike.
namespace hours {

// One exception of one employee, on the day of the moment it concerns.
struct ListedException {
    int32_t card = 0;
    std::string name;
    std::string date;  // "YYYY-MM-DD"
    punches::Exception exception;
};

// The exceptions of the days [from, to] (either bound open), of one card or of everyone, as the
// records read at `now`, by card and then as found. A shift over the range's edge is read whole.
std::vector<ListedException> ListExceptions(const orvane::ClockDatabase& database,
                                            std::optional<platform::Date> from,
                                            std::optional<platform::Date> to,
                                            std::optional<int32_t> card, platform::Date now,
                                            const punches::ShiftRules& rules);

// An employee who is in at a moment: working, at lunch or on a break, since when (none when the
// records do not say) and at which clock the state began (empty when no clock was kept).
struct Present {
    orvane::Employee employee;
    punches::EmployeeState state;
    std::string clock;
};

// Who is in at `now`, in the order of the employees. A record open longer than the longest
// shift counts as out.
std::vector<Present> WhosIn(const orvane::ClockDatabase& database, platform::Date now,
                            const punches::ShiftRules& rules);

}  // namespace hours
