#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/punches/PunchRules.h"
#include "host/punches/Row.h"
#include "platform/Date.h"

namespace punches {

// What an employee's stored rows say about the punch a person is about to make: the latest
// punch event (in, out, lunch or break leave and return) and whether a new punch repeats it or
// does not fit it. It reads rows only; the clock decides what to do with the finding. Pay and
// leave entries (holiday, advance, complete entries, ...) are no events: they change no state.
class PunchHistory {
  public:
    struct Event {
        // The punch code the event stands for: "I", "O", "LO", "LI", "BO" or "BI".
        std::string code;
        platform::Date moment{};
    };

    // The latest event of the rows at or before `now` and no older than `span_days`. The rows
    // come in the order they were stored (oldest first), as the clock database reads them.
    PunchHistory(const std::vector<Row>& rows, platform::Date now, double span_days);

    const std::optional<Event>& Last() const { return m_last; }

    // The last event when it is the same punch as `code` and lies within `seconds` of `now`.
    std::optional<Event> Duplicate(const std::string& code, platform::Date now, int seconds) const;

    // Why `code` does not fit the employee's state ("not clocked in"); empty when it fits or is
    // a punch that needs no state (IN, leave, pay entries).
    std::string Misfit(const std::string& code) const;

  private:
    std::optional<Event> m_last;
};

}  // namespace punches

namespace timeclock {
// The clock's guards name it as their own.
using punches::PunchHistory;
}  // namespace timeclock
