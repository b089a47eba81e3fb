#include "host/punches/Reading.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

namespace punches {

namespace {

constexpr Minutes kMinutesPerDay = 24 * 60;

std::optional<Minutes> Moment(const std::optional<platform::Date>& date,
                              const std::optional<platform::Date>& time) {
    if (!date)
        return std::nullopt;
    return ToMinutes(platform::Date{date->days + (time ? time->days : 0.0)});
}

std::string HoursText(Minutes minutes) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(minutes / 60),
                  static_cast<long long>(minutes % 60));
    return text;
}

}  // namespace

std::string ClockText(Minutes moment) {
    const Minutes of_day = ((moment % kMinutesPerDay) + kMinutesPerDay) % kMinutesPerDay;
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(of_day / 60),
                  static_cast<int>(of_day % 60));
    return text;
}

RecordReading ReadRecords(const std::vector<Row>& rows, platform::Date now_date,
                          const ShiftRules& rules,
                          const std::unordered_map<int64_t, int32_t>& entered_by) {
    const Minutes now = ToMinutes(now_date);
    const Minutes longest = rules.LongestShift();
    RecordReading reading;
    const auto file = [&](ExceptionKind kind, int64_t id, Minutes at, std::string detail) {
        reading.exceptions.push_back({kind, id, at, std::move(detail)});
    };
    std::vector<Stretch> work;
    // The latest beginning of each kind's records: an open record that a later one of its kind
    // follows was left when the employee began anew (a new shift after a confirmed second IN),
    // and is a missing out rather than open until now.
    std::map<const RecordKind*, Minutes> latest_in;
    for (const Row& row : rows) {
        const RecordKind* kind = KindOfType(row.punch_type);
        const auto in = Moment(row.date_in, row.time_in);
        if (kind && in && *in <= now && (!latest_in.contains(kind) || latest_in[kind] < *in))
            latest_in[kind] = *in;
    }

    for (const Row& row : rows) {
        const auto in = Moment(row.date_in, row.time_in);
        const auto out = Moment(row.date_out, row.time_out);
        if (!in && !out)
            continue;  // a record that holds no moment cannot be placed on any day
        const Minutes first = in ? *in : *out;
        // Leave or pay booked ahead (next week's vacation) is a plan, not a punch in the future.
        if (std::max(in.value_or(first), out.value_or(first)) > now && !AmountKindOf(row)) {
            file(ExceptionKind::Future, row.id, first,
                 "record in the future (" + row.punch_type + ")");
            continue;
        }
        if (const auto manager = entered_by.find(row.id);
            manager != entered_by.end() && manager->second == row.card) {
            file(ExceptionKind::ManagerSelf, row.id, first,
                 "entered by the manager on their own card");
        }

        if (IsCompleteEntry(row.punch_type)) {
            if (!in || !out || *out < *in) {
                file(!in    ? ExceptionKind::MissingIn
                     : !out ? ExceptionKind::MissingOut
                            : ExceptionKind::OutBeforeIn,
                     row.id, first, "complete entry without a valid in and out");
            } else if (*out - *in > longest) {
                file(ExceptionKind::LongShift, row.id, *in,
                     "complete entry of " + HoursText(*out - *in) + " (in at " + ClockText(*in) +
                         "), longer than the longest shift");
            } else {
                work.push_back({row.id, Activity::Working, *in, *out});
            }
            continue;
        }

        if (const AmountKind* amount = AmountKindOf(row)) {
            reading.bookings.push_back({row.id, amount, first, AmountOf(row, *amount)});
            continue;
        }

        const RecordKind* kind = KindOfType(row.punch_type);
        if (!kind) {
            file(ExceptionKind::UnknownType, row.id, first,
                 "record of unknown type \"" + row.punch_type + "\"");
            continue;
        }
        const auto missing = [&] {
            file(ExceptionKind::MissingOut, row.id, *in,
                 std::string(kind->missing) + " (in at " + ClockText(*in) + ")");
        };
        const auto orphan = [&] {
            file(kind->orphan_kind, row.id, *out,
                 std::string(kind->orphan) + " (out at " + ClockText(*out) + ")");
        };
        if (!in) {
            orphan();
        } else if (out && *out < *in) {
            file(ExceptionKind::OutBeforeIn, row.id, *in, "out before in at " + ClockText(*in));
        } else if (out && *out - *in > longest) {
            missing();
            orphan();
        } else if (!out && (now - *in > longest || latest_in[kind] > *in)) {
            missing();
        } else if (kind->activity == Activity::Working) {
            work.push_back({row.id, Activity::Working, *in, out ? *out : now, !out});
        } else {
            reading.stretches.push_back({row.id, kind->activity, *in, out ? *out : now, !out});
        }
    }

    // Work records that overlap cannot both be right, and which one is cannot be told: each of
    // them is listed and none is counted. A switch ends one record at the minute the next
    // begins, which is no overlap.
    std::stable_sort(work.begin(), work.end(),
                     [](const auto& a, const auto& b) { return a.start < b.start; });
    for (size_t first = 0; first < work.size();) {
        size_t last = first + 1;
        Minutes end = work[first].end;
        while (last < work.size() && work[last].start < end) {
            end = std::max(end, work[last].end);
            ++last;
        }
        for (size_t i = first; i < last; ++i) {
            if (last - first > 1) {
                file(ExceptionKind::Overlap, work[i].record_id, work[i].start,
                     "overlapping work records (in at " + ClockText(work[i].start) + ")");
            } else {
                reading.stretches.push_back(work[i]);
            }
        }
        first = last;
    }
    return reading;
}

std::vector<Exception> ExceptionsOf(const std::vector<Row>& rows, platform::Date now,
                                    const ShiftRules& rules,
                                    const std::unordered_map<int64_t, int32_t>& entered_by) {
    return ReadRecords(rows, now, rules, entered_by).exceptions;
}

}  // namespace punches
