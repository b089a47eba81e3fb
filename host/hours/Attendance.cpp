#include "host/hours/Attendance.h"

#include <map>
#include <unordered_map>

#include "host/hours/Hours.h"
#include "host/hours/Timesheet.h"

namespace hours {

namespace {

std::optional<double> InMoment(const orvane::ClockDatabase::Row& row) {
    if (!row.date_in)
        return std::nullopt;
    return row.date_in->days + (row.time_in ? row.time_in->days : 0.0);
}

std::map<int32_t, std::vector<orvane::ClockDatabase::Row>> ByCard(
    std::vector<orvane::ClockDatabase::Row> rows) {
    std::map<int32_t, std::vector<orvane::ClockDatabase::Row>> by_card;
    for (auto& row : rows)
        by_card[row.card].push_back(std::move(row));
    return by_card;
}

}  // namespace

std::vector<ListedException> ListExceptions(const orvane::ClockDatabase& database,
                                            std::optional<platform::Date> from,
                                            std::optional<platform::Date> to,
                                            std::optional<int32_t> card, platform::Date now,
                                            const punches::ShiftRules& rules) {
    // The records of the range and of the longest shift on either side, so that a shift over
    // the range's edge is read whole; only the exceptions within the range are listed.
    const double margin = rules.max_shift_hours / 24.0 + 1;
    const auto by_card = ByCard(
        from || to ? database.RowsBetween(card, platform::Date{(from ? from->days : 0.0) - margin},
                                          platform::Date{(to ? to->days + 1 : now.days) + margin})
                   : database.Rows(card));
    std::unordered_map<int64_t, int32_t> entered_by;
    for (const auto& entered : database.ManagerEntries())
        entered_by[entered.record_id] = entered.entry.manager_card;
    std::map<int32_t, std::string> names;
    for (const auto& employee : database.Employees())
        names[employee.card] = employee.name;

    const auto first = from ? std::optional<Minutes>(ToMinutes(*from)) : std::nullopt;
    const auto last = to ? std::optional<Minutes>(ToMinutes(*to) + kMinutesPerDay) : std::nullopt;
    std::vector<ListedException> listed;
    for (const auto& [row_card, rows] : by_card) {
        // Rows of another card are read in the range: only the card asked for is listed.
        if (card && row_card != *card)
            continue;
        for (auto& exception : punches::ExceptionsOf(rows, now, rules, entered_by)) {
            if ((first && exception.at < *first) || (last && exception.at >= *last))
                continue;
            listed.push_back(
                {row_card, names[row_card], DayText(DayOf(exception.at)), std::move(exception)});
        }
    }
    return listed;
}

std::vector<Present> WhosIn(const orvane::ClockDatabase& database, platform::Date now,
                            const punches::ShiftRules& rules) {
    // Only the rows of the longest shift before now (and a day more, for the record a break
    // lies in) can say who is in.
    const auto by_card = ByCard(database.RowsBetween(
        std::nullopt, platform::Date{now.days - rules.max_shift_hours / 24.0 - 1}, now));
    std::vector<Present> in;
    std::vector<int64_t> record_ids;
    for (const auto& employee : database.Employees()) {
        const auto rows = by_card.find(employee.card);
        if (rows == by_card.end())
            continue;
        const auto state = punches::StateOf(rows->second, now, rules);
        if (state.activity == punches::Activity::Out)
            continue;
        // The open record that began the state tells at which clock it began.
        int64_t record_id = 0;
        for (const auto& row : rows->second) {
            if (!row.date_out && state.since && InMoment(row) == state.since->days)
                record_id = row.id;
        }
        in.push_back({employee, state, {}});
        record_ids.push_back(record_id);
    }
    const auto clocks = database.ClocksOf(record_ids);
    for (size_t i = 0; i < in.size(); ++i) {
        if (const auto clock = clocks.find(record_ids[i]); clock != clocks.end())
            in[i].clock = clock->second;
    }
    return in;
}

}  // namespace hours
