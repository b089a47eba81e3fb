#pragma once

#include <map>
#include <string>
#include <vector>

#include "framework/HostObjects.h"
#include "host/database/ClockDatabase.h"
#include "host/hours/Hours.h"
#include "platform/Date.h"

namespace timeclock {

// The clock's own "Employee Statistics" step: the time an employee has worked today (split at
// midnight) and this week (the shifts that started this week), and the leave booked this week,
// all from the hours calculation. Lunch is not work, a break is counted once, and an open
// record counts up to now only within the longest shift; anything the calculation cannot count
// is left out here and listed in the administrator's report.
struct EmployeeStatistics {
    double hours_today = 0;
    double hours_this_week = 0;
    std::map<std::string, double> leave_this_week;  // hours by kind

    // `week_starts` counts from Sunday (0) to Saturday (6).
    static EmployeeStatistics Compute(
        const std::vector<orvane::ClockDatabase::Row>& rows, platform::Date now,
        int week_starts = 0, double max_shift_hours = hours::HoursRules::kDefaultMaxShiftHours);
    // Reads only the rows of the card that can count this week or today.
    static EmployeeStatistics Compute(
        const orvane::ClockDatabase& database, int32_t card, platform::Date now,
        int week_starts = 0, double max_shift_hours = hours::HoursRules::kDefaultMaxShiftHours);

    // Hours as "h:mm" ("7:30").
    static std::string FormatHours(double hours);

    // The text a screen shows: "Today 7:30  This week 32:15", then, when leave was booked this
    // week, "Leave this week: Vacation 8:00".
    std::vector<std::string> Lines() const;

    // Shows the figures on the display, lets the employee read them for a few seconds (the
    // platform's sleep) and clears the display.
    void Show(framework::IDisplay& display, const std::string& employee_name) const;

    static constexpr uint32_t kShowMilliseconds = 4000;
};

}  // namespace timeclock
