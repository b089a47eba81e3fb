#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/hours/Hours.h"
#include "host/hours/PayRules.h"

namespace hours {

// How a punch's paid moment came from its raw one.
enum class PunchMove {
    None,      // on a mark already, or no rounding for its kind
    Interval,  // rounded to its kind's interval in its kind's direction
    Grace,     // within the grace window of a mark
    Switch,    // a switch: one record ends as the next begins, the shift goes on unrounded
};

// One punch of a shift: the moment as stored, kept, and the moment that is paid, computed.
struct PaidPunch {
    int64_t record_id = 0;
    PunchKind kind = PunchKind::In;
    bool starts_work = true;  // an in, a lunch return or a break return
    Minutes raw = 0;
    Minutes rounded = 0;
    PunchMove move = PunchMove::None;
    RoundingRule rule;  // the rule of its kind
};

// A day's pay: the shifts that started on it, counted whole (a night shift is paid on the day it
// began), their worked time after rounding, unpaid breaks and deductions, and how it splits
// into regular time, overtime (1.5x) and double time (2x).
struct PayDay {
    int64_t day = 0;
    Minutes worked = 0;
    Minutes regular = 0;
    Minutes overtime = 0;
    Minutes double_time = 0;
    std::vector<PaidPunch> punches;  // of those shifts, in time order
    // Why the hours are paid as they are, one line each ("2:00 at 1.5x: over 8:00 in the day").
    std::vector<std::string> reasons;
    // Meal rules the shifts broke and lunches deducted: shown, never silently applied.
    std::vector<HoursException> exceptions;
};

// The pay rules applied to an employee's timecard: rounding of each punch, the meal and break
// rules, and overtime by day, week and seventh day with no hour paid twice. It is a pure
// function of the timecard and the rules; the caller reads the records (from the first day of
// the week that holds the first day wanted, so that the weekly rules see the whole week).
class PayCalculation {
  public:
    static PayCalculation Calculate(const Timecard& card, const PayRules& rules);

    // Every day on which a shift started, by day.
    const std::map<int64_t, PayDay>& days() const { return m_days; }
    // The pay of one day (all zero when no shift started on it).
    PayDay Day(int64_t day) const;

    // For one day: the raw and paid punches and the rule that moved each, the exceptions, and
    // why each hour is paid as it is.
    std::vector<std::string> Explain(int64_t day) const;

  private:
    void PayWeek(std::vector<PayDay*>& week, const OvertimeRules& rules, int week_starts);

    std::map<int64_t, PayDay> m_days;
};

// A rounding rule as people read it ("nearest 15 min, grace 5 min").
std::string DescribeRule(const RoundingRule& rule);
// The paid moment of a punch under a rule, and how it got there.
PaidPunch RoundPunch(Minutes raw, PunchKind kind, bool starts_work, const RoundingRule& rule);

}  // namespace hours
