#include "host/clock/EmployeeStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/Services.h"

namespace timeclock {

namespace {

constexpr double kHoursPerDay = 24.0;

// The hours of [from, to) that fall within [start, end), all in days.
double Overlap(double from, double to, double start, double end) {
    const double overlap = std::min(to, end) - std::max(from, start);
    return overlap > 0 ? overlap * kHoursPerDay : 0.0;
}

}  // namespace

EmployeeStatistics EmployeeStatistics::Compute(const std::vector<orvane::ClockDatabase::Row>& rows,
                                               platform::Date now) {
    const double today = std::floor(now.days);
    // Day zero (1899-12-30) was a Saturday: days since the last Sunday.
    const double since_sunday = std::fmod(today - 1.0, 7.0);
    const double week_start = today - (since_sunday < 0 ? since_sunday + 7.0 : since_sunday);

    EmployeeStatistics figures;
    for (const auto& row : rows) {
        if (!row.date_in)
            continue;
        const double in = row.date_in->days + (row.time_in ? row.time_in->days : 0.0);
        double out = now.days;
        if (row.date_out)
            out = row.date_out->days + (row.time_out ? row.time_out->days : 0.0);
        if (out <= in)
            continue;
        figures.hours_today += Overlap(in, out, today, today + 1.0);
        figures.hours_this_week += Overlap(in, out, week_start, week_start + 7.0);
    }
    return figures;
}

std::string EmployeeStatistics::FormatHours(double hours) {
    const long minutes = std::lround(hours * 60.0);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", minutes / 60, minutes % 60);
    return text;
}

void EmployeeStatistics::Show(framework::IDisplay& display,
                              const std::string& employee_name) const {
    display.Clear();
    display.ShowCursor(framework::VBool::False);
    display.SetPrompt(employee_name.empty() ? "Hours worked" : "Hours worked: " + employee_name);
    display.SetUserInput("Today " + FormatHours(hours_today) + "  This week " +
                         FormatHours(hours_this_week));
    platform::services().Sleep(kShowMilliseconds);
    display.Clear();
}

}  // namespace timeclock
