#pragma once

#include <string>
#include <vector>

#include "framework/HostObjects.h"
#include "host/database/ClockDatabase.h"
#include "platform/Date.h"

namespace timeclock {

// The clock's own "Employee Statistics" step: the hours an employee has worked today and this
// week (from Sunday), counted from the in and out moments of the clock table. An open record
// (in, no out yet) counts up to the present moment.
struct EmployeeStatistics {
    double hours_today = 0;
    double hours_this_week = 0;

    static EmployeeStatistics Compute(const std::vector<orvane::ClockDatabase::Row>& rows,
                                      platform::Date now);

    // Hours as "h:mm" ("7:30").
    static std::string FormatHours(double hours);

    // Shows the figures on the display, lets the employee read them for a few seconds (the
    // platform's sleep) and clears the display.
    void Show(framework::IDisplay& display, const std::string& employee_name) const;

    static constexpr uint32_t kShowMilliseconds = 4000;
};

}  // namespace timeclock
