#include "host/punches/Shift.h"

#include <cmath>
#include <limits>

#include "host/punches/PunchHistory.h"

namespace punches {

namespace {

constexpr double kMinutesPerDay = 24 * 60;

std::optional<platform::Date> InMoment(const Row& row) {
    if (!row.date_in)
        return std::nullopt;
    return platform::Date{row.date_in->days + (row.time_in ? row.time_in->days : 0.0)};
}

}  // namespace

Minutes ToMinutes(platform::Date moment) {
    return std::llround(moment.days * kMinutesPerDay);
}

Minutes ShiftRules::LongestShift() const {
    return std::llround(max_shift_hours * 60.0);
}

bool MayClose(platform::Date opened, platform::Date closing, const ShiftRules& rules) {
    const Minutes age = ToMinutes(closing) - ToMinutes(opened);
    return age >= 0 && age <= rules.LongestShift();
}

platform::Date EarliestClosable(platform::Date closing, const ShiftRules& rules) {
    return platform::Date{static_cast<double>(ToMinutes(closing) - rules.LongestShift()) /
                          kMinutesPerDay};
}

EmployeeState StateOf(const std::vector<Row>& rows, platform::Date now, const ShiftRules& rules) {
    const PunchHistory history(rows, now, std::numeric_limits<double>::infinity());
    if (!history.Last())
        return {};
    const Activity activity = ActivityAfter(history.Last()->code, Activity::Out);
    if (activity == Activity::Out)
        return {Activity::Out, history.Last()->moment};

    // Since when: the latest record of that activity still open at `now`. A break return leaves
    // the employee working since the work record's in, not since the return.
    std::optional<platform::Date> since;
    for (const Row& row : rows) {
        const RecordKind* kind = KindOfType(row.punch_type);
        const auto in = InMoment(row);
        if (!kind || kind->activity != activity || row.punch_type != kind->opening || !in ||
            row.date_out || ToMinutes(*in) > ToMinutes(now))
            continue;
        if (!since || ToMinutes(*in) >= ToMinutes(*since))
            since = in;
    }
    if (!since)
        since = history.Last()->moment;
    if (!MayClose(*since, now, rules))
        return {};  // the open record is a missing out
    return {activity, since};
}

}  // namespace punches
