#include "host/clock/PunchHistory.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

namespace timeclock {

namespace {

// The event each row type stands for at its in-moment and at its out-moment ("" for none): a
// closed row keeps its closing type, so a work row closed by an out reads "O" with "I" at its in.
struct RowEvents {
    std::string_view type, at_in, at_out;
};
constexpr std::array<RowEvents, 6> kRowEvents{{
    {"I", "I", ""},
    {"O", "I", "O"},
    {"LO", "LO", ""},
    {"LI", "LO", "LI"},
    {"BO", "BO", ""},
    {"BI", "BO", "BI"},
}};

std::optional<platform::Date> Moment(const std::optional<platform::Date>& day,
                                     const std::optional<platform::Date>& time) {
    if (!day)
        return std::nullopt;
    return platform::Date{day->days + (time ? time->days : 0.0)};
}

}  // namespace

PunchHistory::PunchHistory(const std::vector<orvane::ClockDatabase::Row>& rows, platform::Date now,
                           double span_days) {
    // Events are ordered by moment and, within one minute, in the order they were stored: rows
    // oldest first as read, and in a row its in before its out. An in and an out in the same
    // minute therefore leave the employee out, and a lunch leave, which closes the work row and
    // opens the lunch row at one moment, leaves the employee at lunch.
    using Order = std::tuple<double, size_t, int>;
    std::optional<Order> latest;
    for (size_t position = 0; position < rows.size(); ++position) {
        const auto& row = rows[position];
        const auto events =
            std::find_if(kRowEvents.begin(), kRowEvents.end(),
                         [&](const RowEvents& e) { return e.type == row.punch_type; });
        if (events == kRowEvents.end())
            continue;
        const std::array<std::pair<std::optional<platform::Date>, std::string_view>, 2> both{
            {{Moment(row.date_in, row.time_in), events->at_in},
             {Moment(row.date_out, row.time_out), events->at_out}}};
        for (int side = 0; side < 2; ++side) {
            const auto& [moment, code] = both[static_cast<size_t>(side)];
            if (!moment || code.empty() || moment->days > now.days ||
                now.days - moment->days > span_days)
                continue;
            const Order order{moment->days, position, side};
            if (!latest || order > *latest) {
                latest = order;
                m_last = Event{std::string(code), *moment};
            }
        }
    }
}

std::optional<PunchHistory::Event> PunchHistory::Duplicate(const std::string& code,
                                                           platform::Date now, int seconds) const {
    if (!m_last || m_last->code != code)
        return std::nullopt;
    // Moments are kept in whole minutes, so the distance is measured from that minute.
    if ((now.days - m_last->moment.days) * 86400.0 > seconds + 0.5)
        return std::nullopt;
    return m_last;
}

std::string PunchHistory::Misfit(const std::string& code) const {
    const std::string last = m_last ? m_last->code : "O";
    const bool working = last == "I" || last == "LI" || last == "BI";
    if ((code == "O" || code == "SW") && !working)
        return "not clocked in";
    if (code == "LI" && last != "LO")
        return "not out to lunch";
    if (code == "BI" && last != "BO")
        return "not on a break";
    return {};
}

}  // namespace timeclock
