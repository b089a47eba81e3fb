#include "host/hours/Hours.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string_view>

#include "host/punches/PunchRules.h"

namespace hours {

namespace {

using Row = orvane::ClockDatabase::Row;

// The figure of a day that a timed record's time adds to.
Minutes DayFigures::*FigureOf(punches::Activity activity) {
    switch (activity) {
        case punches::Activity::Lunch:
            return &DayFigures::lunch;
        case punches::Activity::Break:
            return &DayFigures::breaks;
        default:
            return &DayFigures::worked;
    }
}

std::optional<Minutes> Moment(const std::optional<platform::Date>& date,
                              const std::optional<platform::Date>& time) {
    if (!date)
        return std::nullopt;
    return ToMinutes(platform::Date{date->days + (time ? time->days : 0.0)});
}

std::string ClockText(Minutes moment) {
    const Minutes of_day = moment - DayOf(moment) * kMinutesPerDay;
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(of_day / 60),
                  static_cast<int>(of_day % 60));
    return text;
}

}  // namespace

Minutes ToMinutes(platform::Date moment) {
    return std::llround(moment.days * static_cast<double>(kMinutesPerDay));
}

DayFigures& Timecard::DayAt(int64_t day) {
    auto [it, added] = m_days.try_emplace(day);
    if (added)
        it->second.day = day;
    return it->second;
}

DayFigures Timecard::Day(int64_t day) const {
    if (auto it = m_days.find(day); it != m_days.end())
        return it->second;
    DayFigures empty;
    empty.day = day;
    return empty;
}

void Timecard::AddSpan(Minutes start, Minutes end, Minutes DayFigures::*figure, int64_t record_id) {
    while (start < end) {
        const int64_t day = DayOf(start);
        const Minutes midnight = (day + 1) * kMinutesPerDay;
        const Minutes piece_end = std::min(end, midnight);
        DayFigures& figures = DayAt(day);
        figures.*figure += piece_end - start;
        figures.records.push_back(record_id);
        start = piece_end;
    }
}

void Timecard::File(int64_t record_id, Minutes at, std::string text) {
    DayFigures& figures = DayAt(DayOf(at));
    figures.exceptions.push_back({record_id, at, std::move(text)});
    figures.records.push_back(record_id);
}

Timecard Timecard::Calculate(const std::vector<Row>& rows, const HoursRules& rules) {
    const Minutes now = ToMinutes(rules.now);
    const auto span = std::llround(rules.span_hours * 60.0);
    Timecard card;
    std::vector<WorkStretch> candidates;

    for (const Row& row : rows) {
        const auto in = Moment(row.date_in, row.time_in);
        const auto out = Moment(row.date_out, row.time_out);
        if (!in && !out)
            continue;  // a record that holds no moment cannot be placed on any day
        const Minutes first = in ? *in : *out;
        if (std::max(in.value_or(first), out.value_or(first)) > now) {
            card.File(row.id, first, "record in the future (" + row.punch_type + ")");
            continue;
        }

        if (punches::IsCompleteEntry(row.punch_type)) {
            if (!in || !out || *out < *in)
                card.File(row.id, first, "complete entry without a valid in and out");
            else
                candidates.push_back({row.id, *in, *out});
            continue;
        }

        if (const punches::AmountKind* amount = punches::AmountKindOf(row)) {
            DayFigures& figures = card.DayAt(DayOf(first));
            (amount->dollars ? figures.dollars : figures.leave)[std::string(amount->name)] +=
                punches::AmountOf(row, *amount);
            figures.records.push_back(row.id);
            continue;
        }

        const punches::RecordKind* timed = punches::KindOfType(row.punch_type);
        if (!timed) {
            card.File(row.id, first, "record of unknown type \"" + row.punch_type + "\"");
            continue;
        }
        const bool work = timed->activity == punches::Activity::Working;
        if (!in) {
            card.File(row.id, *out, std::string(timed->orphan) + " at " + ClockText(*out));
        } else if (out && *out < *in) {
            card.File(row.id, *in, "out before in at " + ClockText(*in));
        } else if (!out && now - *in > span) {
            card.File(row.id, *in, std::string(timed->missing) + " (in at " + ClockText(*in) + ")");
        } else if (work) {
            candidates.push_back({row.id, *in, out ? *out : now});
        } else {
            card.AddSpan(*in, out ? *out : now, FigureOf(timed->activity), row.id);
        }
    }

    // Work records that overlap cannot both be right, and which one is cannot be told: each of
    // them is listed and none is counted. A switch ends one record at the minute the next
    // begins, which is no overlap.
    std::sort(candidates.begin(), candidates.end(),
              [](const auto& a, const auto& b) { return a.start < b.start; });
    for (size_t first = 0; first < candidates.size();) {
        size_t last = first + 1;
        Minutes end = candidates[first].end;
        while (last < candidates.size() && candidates[last].start < end) {
            end = std::max(end, candidates[last].end);
            ++last;
        }
        for (size_t i = first; i < last; ++i) {
            const WorkStretch& stretch = candidates[i];
            if (last - first > 1) {
                card.File(stretch.record_id, stretch.start,
                          "overlapping work records (in at " + ClockText(stretch.start) + ")");
            } else {
                card.AddSpan(stretch.start, stretch.end, &DayFigures::worked, stretch.record_id);
                card.m_work.push_back(stretch);
            }
        }
        first = last;
    }
    return card;
}

Minutes Timecard::WorkedInShiftsStarting(int64_t first_day, int64_t last_day) const {
    Minutes total = 0;
    for (const WorkStretch& stretch : m_work) {
        const int64_t day = DayOf(stretch.start);
        if (day >= first_day && day <= last_day)
            total += stretch.end - stretch.start;
    }
    return total;
}

double DecimalHours(Minutes minutes) {
    return std::round(static_cast<double>(minutes) / 60.0 * 100.0) / 100.0;
}

std::string FormatDecimalHours(Minutes minutes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", DecimalHours(minutes));
    return text;
}

std::string FormatHoursMinutes(Minutes minutes) {
    const char* sign = minutes < 0 ? "-" : "";
    minutes = std::abs(minutes);
    char text[32];
    std::snprintf(text, sizeof text, "%s%lld:%02lld", sign, static_cast<long long>(minutes / 60),
                  static_cast<long long>(minutes % 60));
    return text;
}

int64_t WeekStart(int64_t day, int week_starts) {
    // Day zero (1899-12-30) was a Saturday, weekday 6 counted from Sunday.
    const int64_t weekday = ((day + 6) % 7 + 7) % 7;
    return day - ((weekday - week_starts) % 7 + 7) % 7;
}

}  // namespace hours
