#include "host/hours/PayPeriod.h"

#include "platform/Date.h"

namespace hours {

namespace {

int64_t DayNumber(int year, int month, int day) {
    return static_cast<int64_t>(platform::make_date(year, month, day)->days);
}

int DaysInMonth(int year, int month) {
    int days = 31;
    while (!platform::is_valid_day(year, month, days))
        --days;
    return days;
}

}  // namespace

PayPeriod PeriodHolding(int64_t day, const PayRules& rules) {
    switch (rules.period.kind) {
        case PeriodKind::Weekly: {
            const int64_t first = WeekStart(day, rules.week_starts);
            return {first, first + 6};
        }
        case PeriodKind::Biweekly: {
            const int64_t since = day - rules.period.anchor;
            const int64_t first = day - ((since % 14) + 14) % 14;
            return {first, first + 13};
        }
        case PeriodKind::Semimonthly:
        case PeriodKind::Monthly:
            break;
    }
    const auto parts = platform::split_cut(platform::Date{static_cast<double>(day)});
    const int64_t first_of_month = DayNumber(parts.year, parts.month, 1);
    const int64_t last_of_month = first_of_month + DaysInMonth(parts.year, parts.month) - 1;
    if (rules.period.kind == PeriodKind::Monthly)
        return {first_of_month, last_of_month};
    if (parts.day <= 15)
        return {first_of_month, first_of_month + 14};
    return {first_of_month + 15, last_of_month};
}

}  // namespace hours
