#include "host/clock/PunchHistory.h"

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
    // Ties go to the row stored last: a lunch leave closes the work row and opens the lunch row
    // at one moment, and the lunch row is the employee's state.
    std::tuple<double, int64_t> latest{-1e300, -1};
    for (const auto& row : rows) {
        for (const auto& events : kRowEvents) {
            if (events.type != row.punch_type)
                continue;
            const std::array<std::pair<std::optional<platform::Date>, std::string_view>, 2> both{
                {{Moment(row.date_in, row.time_in), events.at_in},
                 {Moment(row.date_out, row.time_out), events.at_out}}};
            for (const auto& [moment, code] : both) {
                if (!moment || code.empty() || moment->days > now.days ||
                    now.days - moment->days > span_days)
                    continue;
                const std::tuple<double, int64_t> key{moment->days, row.id};
                if (key > latest) {
                    latest = key;
                    m_last = Event{std::string(code), *moment};
                }
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
        return "You are not clocked in.";
    if (code == "LI" && last != "LO")
        return "You are not out to lunch.";
    if (code == "BI" && last != "BO")
        return "You are not on a break.";
    return {};
}

}  // namespace timeclock
