#include "host/clock/EmployeeStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/hours/PayCalculation.h"
#include "platform/Services.h"

namespace timeclock {

namespace {

// Rules that round nothing, pay no overtime, apply no meal rule and pay by the week: the hours
// as the clock counts them without pay rules.
bool ChangesNothing(const hours::PayRules& rules) {
    hours::PayRules plain;
    plain.week_starts = rules.week_starts;
    return rules == plain;
}

// The leave booked from the first day to the last, hours by kind.
std::map<std::string, double> LeaveBetween(const hours::Timecard& card, int64_t first,
                                           int64_t last) {
    std::map<std::string, double> leave;
    for (auto it = card.days().lower_bound(first); it != card.days().end() && it->first <= last;
         ++it) {
        for (const auto& [kind, amount] : it->second.leave)
            leave[kind] += amount;
    }
    return leave;
}

}  // namespace

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
    figures.leave_this_week = LeaveBetween(card, week_start, today);
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

EmployeeStatistics EmployeeStatistics::Compute(const std::vector<orvane::ClockDatabase::Row>& rows,
                                               platform::Date now, const hours::PayRules& rules,
                                               double max_shift_hours) {
    if (ChangesNothing(rules))
        return Compute(rows, now, rules.week_starts, max_shift_hours);
    const auto card = hours::Timecard::Calculate(rows, {now, max_shift_hours});
    const auto pay = hours::PayCalculation::Calculate(card, rules);
    const int64_t today = hours::DayOf(hours::ToMinutes(now));

    EmployeeStatistics figures;
    Paid paid;
    paid.period = hours::PeriodHolding(today, rules);
    paid.weekly = rules.period.kind == hours::PeriodKind::Weekly;
    paid.overtime_rules = rules.overtime.Any();
    hours::Minutes worked = 0;
    for (auto it = pay.days().lower_bound(paid.period.first);
         it != pay.days().end() && it->first <= today; ++it) {
        worked += it->second.worked;
        paid.regular += it->second.regular;
        paid.overtime += it->second.overtime;
        paid.double_time += it->second.double_time;
    }
    figures.leave_this_week = LeaveBetween(card, paid.period.first, today);
    figures.hours_today = static_cast<double>(pay.Day(today).worked) / 60.0;
    figures.hours_this_week = static_cast<double>(worked) / 60.0;
    figures.paid = paid;
    return figures;
}

EmployeeStatistics EmployeeStatistics::Compute(const orvane::ClockDatabase& database, int32_t card,
                                               platform::Date now, const hours::PayRules& rules,
                                               double max_shift_hours) {
    if (ChangesNothing(rules))
        return Compute(database, card, now, rules.week_starts, max_shift_hours);
    // What can count: the records of the pay period, from the first day of its first week when
    // overtime is paid by the week, a day earlier for a shift over midnight (as the report reads
    // them), and an open record started within the longest shift.
    const int64_t today = hours::DayOf(hours::ToMinutes(now));
    const auto period = hours::PeriodHolding(today, rules);
    const bool whole_weeks = rules.overtime.weekly || rules.overtime.seventh_day;
    const int64_t first =
        whole_weeks ? hours::WeekStart(period.first, rules.week_starts) : period.first;
    const double from = std::min(static_cast<double>(first - 1), now.days - max_shift_hours / 24.0);
    const auto rows = database.RowsBetween(card, platform::Date{from}, now);
    return Compute(rows, now, rules, max_shift_hours);
}

std::string EmployeeStatistics::FormatHours(double hours) {
    return hours::FormatHoursMinutes(std::lround(hours * 60.0));
}

std::vector<std::string> EmployeeStatistics::Lines() const {
    const bool weekly = !paid || paid->weekly;
    std::string first = "Today " + FormatHours(hours_today) +
                        (weekly ? "  This week " : "  This period ") + FormatHours(hours_this_week);
    if (paid && paid->overtime_rules) {
        first += " (" + hours::FormatHoursMinutes(paid->overtime) + " overtime";
        if (paid->double_time > 0)
            first += ", " + hours::FormatHoursMinutes(paid->double_time) + " double time";
        first += ")";
    }
    std::vector<std::string> lines{first};
    std::string leave;
    for (const auto& [kind, amount] : leave_this_week) {
        if (amount == 0)
            continue;
        leave += (leave.empty() ? (weekly ? "Leave this week: " : "Leave this period: ") : ", ") +
                 kind + " " + FormatHours(amount);
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
