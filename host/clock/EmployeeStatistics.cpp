#include "host/clock/EmployeeStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/Services.h"

namespace timeclock {

EmployeeStatistics EmployeeStatistics::Compute(const std::vector<orvane::ClockDatabase::Row>& rows,
                                               platform::Date now, int week_starts,
                                               double max_shift_hours) {
    const auto card = hours::Timecard::Calculate(rows, {now, max_shift_hours});
    const int64_t today = hours::DayOf(hours::ToMinutes(now));
    const int64_t week_start = hours::WeekStart(today, week_starts);

    EmployeeStatistics figures;
    figures.hours_today = static_cast<double>(card.Day(today).worked) / 60.0;
    figures.hours_this_week =
        static_cast<double>(card.WorkedInShiftsStarting(week_start, today)) / 60.0;
    for (auto it = card.days().lower_bound(week_start);
         it != card.days().end() && it->first <= today; ++it) {
        for (const auto& [kind, amount] : it->second.leave)
            figures.leave_this_week[kind] += amount;
    }
    return figures;
}

EmployeeStatistics EmployeeStatistics::Compute(const orvane::ClockDatabase& database, int32_t card,
                                               platform::Date now, int week_starts,
                                               double max_shift_hours) {
    // What can count: records of this week, and an open record started within the longest
    // shift (which may reach back before the week or today).
    const int64_t today = hours::DayOf(hours::ToMinutes(now));
    const double week_start = static_cast<double>(hours::WeekStart(today, week_starts));
    const double from = std::min(week_start, now.days - max_shift_hours / 24.0);
    const auto rows = database.RowsBetween(card, platform::Date{from}, now);
    return Compute(rows, now, week_starts, max_shift_hours);
}

std::string EmployeeStatistics::FormatHours(double hours) {
    return hours::FormatHoursMinutes(std::lround(hours * 60.0));
}

std::vector<std::string> EmployeeStatistics::Lines() const {
    std::vector<std::string> lines{"Today " + FormatHours(hours_today) + "  This week " +
                                   FormatHours(hours_this_week)};
    std::string leave;
    for (const auto& [kind, amount] : leave_this_week) {
        if (amount == 0)
            continue;
        leave += (leave.empty() ? "Leave this week: " : ", ") + kind + " " + FormatHours(amount);
    }
    if (!leave.empty())
        lines.push_back(leave);
    return lines;
}

void EmployeeStatistics::Show(framework::IDisplay& display,
                              const std::string& employee_name) const {
    display.Clear();
    display.ShowCursor(framework::VBool::False);
    display.SetPrompt(employee_name.empty() ? "Hours worked" : "Hours worked: " + employee_name);
    std::string text;
    for (const auto& line : Lines())
        text += (text.empty() ? "" : "\n") + line;
    display.SetUserInput(text);
    platform::services().Sleep(kShowMilliseconds);
    display.Clear();
}

}  // namespace timeclock
