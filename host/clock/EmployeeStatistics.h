#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "framework/HostObjects.h"
#include "host/database/ClockDatabase.h"
#include "host/hours/Hours.h"
#include "host/hours/PayPeriod.h"
#include "host/hours/PayRules.h"
#include "platform/Date.h"

namespace timeclock {

// The clock's own "Employee Statistics" step: the time an employee has worked today (split at
// midnight) and this week (the shifts that started this week), and the leave booked this week,
// all from the hours calculation. Lunch is not work, a break is counted once, and an open
// record counts up to now only within the longest shift; anything the calculation cannot count
// is left out here and listed in the administrator's report.
//
// Under pay rules the figures are the pay calculation's, as `timeclock report` gives them: the
// time paid (rounded, less unpaid breaks and deducted lunches) of the shifts that began today
// and in the pay period so far, each shift counted whole on the day it began, with the
// period's overtime and double time, and the leave booked in the period.
struct EmployeeStatistics {
    // Under pay rules, as paid: today, and the pay period so far.
    double hours_today = 0;
    double hours_this_week = 0;
    // Hours by kind, this week (this pay period under pay rules).
    std::map<std::string, double> leave_this_week;

    // The figures as paid, present only under pay rules.
    struct Paid {
        hours::PayPeriod period;
        bool weekly = true;           // the period is the week: the screen says "This week"
        bool overtime_rules = false;  // the rules pay overtime: the screen shows it
        hours::Minutes regular = 0;
        hours::Minutes overtime = 0;
        hours::Minutes double_time = 0;
    };
    std::optional<Paid> paid;

    // `week_starts` counts from Sunday (0) to Saturday (6).
    static EmployeeStatistics Compute(
        const std::vector<orvane::ClockDatabase::Row>& rows, platform::Date now,
        int week_starts = 0, double max_shift_hours = hours::HoursRules::kDefaultMaxShiftHours);
    // Reads only the rows of the card that can count this week or today.
    static EmployeeStatistics Compute(
        const orvane::ClockDatabase& database, int32_t card, platform::Date now,
        int week_starts = 0, double max_shift_hours = hours::HoursRules::kDefaultMaxShiftHours);

    // The same under the pay rules (whose `week_starts` begins the week). Rules that change
    // nothing (the default ones) give the figures above, without `paid`.
    static EmployeeStatistics Compute(
        const std::vector<orvane::ClockDatabase::Row>& rows, platform::Date now,
        const hours::PayRules& rules,
        double max_shift_hours = hours::HoursRules::kDefaultMaxShiftHours);
    // Reads only the rows of the card that can count in the pay period or today, and the week
    // before the period's first day when the week's overtime rules need it.
    static EmployeeStatistics Compute(
        const orvane::ClockDatabase& database, int32_t card, platform::Date now,
        const hours::PayRules& rules,
        double max_shift_hours = hours::HoursRules::kDefaultMaxShiftHours);

    // Hours as "h:mm" ("7:30").
    static std::string FormatHours(double hours);

    // The text a screen shows: "Today 7:30  This week 32:15", then, when leave was booked this
    // week, "Leave this week: Vacation 8:00". Under pay rules with a period other than the week
    // it says "This period" and "Leave this period", and with overtime rules it adds the
    // overtime: "Today 10:00  This period 42:00 (2:00 overtime)".
    std::vector<std::string> Lines() const;

    // Shows the figures on the display, lets the employee read them for a few seconds (the
    // platform's sleep) and clears the display.
    void Show(framework::IDisplay& display, const std::string& employee_name) const;

    static constexpr uint32_t kShowMilliseconds = 4000;
};

}  // namespace timeclock
