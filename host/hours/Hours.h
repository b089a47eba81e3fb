#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "host/punches/Shift.h"
#include "platform/Date.h"

namespace hours {

// Moments and durations in whole minutes: records hold times to the minute, so minutes add up
// exactly where fractions of a day would not. A moment counts minutes since day zero.
using punches::Minutes;
using punches::ToMinutes;
inline constexpr Minutes kMinutesPerDay = 24 * 60;
// The day (days since day zero) a moment falls on.
inline int64_t DayOf(Minutes moment) {
    return moment >= 0 ? moment / kMinutesPerDay : (moment - kMinutesPerDay + 1) / kMinutesPerDay;
}

// What could not be counted, shown to the administrator as it is and never guessed at.
struct HoursException {
    int64_t record_id = 0;
    Minutes at = 0;  // the record's moment the exception is filed under
    std::string text;
};

// The figures of one calendar day; time crossing midnight is split at midnight.
struct DayFigures {
    int64_t day = 0;
    Minutes worked = 0;
    Minutes lunch = 0;                      // unpaid, not in `worked`
    Minutes breaks = 0;                     // paid, already inside `worked`
    std::map<std::string, double> leave;    // hours by kind ("Vacation", "Jury Duty", ...)
    std::map<std::string, double> dollars;  // money by kind ("Advances", "Other")
    std::vector<HoursException> exceptions;
    // The records that added to this day or raised its exceptions, by "ID".
    std::vector<int64_t> records;
};

// One stretch of work that counts: a closed or complete work record, or an open one up to now.
struct WorkStretch {
    int64_t record_id = 0;
    Minutes start = 0;
    Minutes end = 0;
    bool open = false;  // an open record, counted up to now: its end is no punch
};

// The rules the calculation needs from the clock: the present moment, and how long a record may
// stay open before it is taken for a forgotten out (the configuration's "max_shift_hours").
struct HoursRules {
    platform::Date now{};
    double max_shift_hours = kDefaultMaxShiftHours;
    static constexpr double kDefaultMaxShiftHours = punches::ShiftRules::kDefaultMaxShiftHours;
};

// An employee's records turned into days of worked time, lunch, breaks, leave and money, with
// the exceptions that were left out. The punch rules read the records (what counts, what is
// booked, what is wrong); this puts them on days. It knows nothing of screens or commands.
class Timecard {
  public:
    // `entered_by` gives the manager's card of the records a manager entered, by "ID".
    static Timecard Calculate(const std::vector<orvane::ClockDatabase::Row>& rows,
                              const HoursRules& rules,
                              const std::unordered_map<int64_t, int32_t>& entered_by = {});

    // Every day that has a figure or an exception, by day.
    const std::map<int64_t, DayFigures>& days() const { return m_days; }
    // The figures of one day (all zero when nothing happened that day).
    DayFigures Day(int64_t day) const;
    const std::vector<WorkStretch>& work() const { return m_work; }
    // The lunches and breaks that were counted, in the order of their records.
    const std::vector<WorkStretch>& lunches() const { return m_lunches; }
    const std::vector<WorkStretch>& breaks() const { return m_breaks; }

    // Worked time of the stretches that started within [first_day, last_day], each counted whole
    // even when it ends after the last day: a shift belongs to the day it started.
    Minutes WorkedInShiftsStarting(int64_t first_day, int64_t last_day) const;

  private:
    DayFigures& DayAt(int64_t day);
    void AddSpan(Minutes start, Minutes end, Minutes DayFigures::*figure, int64_t record_id);
    void File(int64_t record_id, Minutes at, std::string text);

    std::map<int64_t, DayFigures> m_days;
    std::vector<WorkStretch> m_work;
    std::vector<WorkStretch> m_lunches;
    std::vector<WorkStretch> m_breaks;
};

// Hours as "h:mm" ("7:30"); decimal hours rounded to 0.01 ("7.50").
std::string FormatHoursMinutes(Minutes minutes);
std::string FormatDecimalHours(Minutes minutes);
double DecimalHours(Minutes minutes);

// Days since day zero of the first day of the week that holds `day`; `week_starts` counts from
// Sunday (0) to Saturday (6).
int64_t WeekStart(int64_t day, int week_starts);

}  // namespace hours
