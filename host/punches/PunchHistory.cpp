#include "host/punches/PunchHistory.h"

#include <array>
#include <tuple>

namespace punches {

namespace {

std::optional<platform::Date> Moment(const std::optional<platform::Date>& day,
                                     const std::optional<platform::Date>& time) {
    if (!day)
        return std::nullopt;
    return platform::Date{day->days + (time ? time->days : 0.0)};
}

}  // namespace

PunchHistory::PunchHistory(const std::vector<Row>& rows, platform::Date now, double span_days) {
    // A row stands for the event that opened its record at its in-moment and, once closed, for
    // the event that closed it at its out-moment: a work row closed by an out reads "I" at its in
    // and "O" at its out. Events are ordered by moment and, within one minute, in the order they
    // were stored: rows oldest first as read, and in a row its in before its out. An in and an
    // out in the same minute therefore leave the employee out, and a lunch leave, which closes
    // the work row and opens the lunch row at one moment, leaves the employee at lunch.
    using Order = std::tuple<double, size_t, int>;
    std::optional<Order> latest;
    for (size_t position = 0; position < rows.size(); ++position) {
        const Row& row = rows[position];
        const RecordKind* kind = KindOfType(row.punch_type);
        if (!kind)
            continue;
        const std::string_view at_out = row.punch_type == kind->closing ? kind->closing : "";
        const std::array<std::pair<std::optional<platform::Date>, std::string_view>, 2> both{
            {{Moment(row.date_in, row.time_in), kind->opening},
             {Moment(row.date_out, row.time_out), at_out}}};
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
    const Activity now = m_last ? ActivityAfter(m_last->code, Activity::Out) : Activity::Out;
    return punches::Misfit(code, now);
}

}  // namespace punches
