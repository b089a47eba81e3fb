#include "host/hours/Hours.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/punches/Reading.h"

namespace hours {

namespace {

// The figure of a day that a stretch of time adds to.
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

}  // namespace

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

Timecard Timecard::Calculate(const std::vector<orvane::ClockDatabase::Row>& rows,
                             const HoursRules& rules,
                             const std::unordered_map<int64_t, int32_t>& entered_by) {
    const auto reading = punches::ReadRecords(rows, rules.now, {rules.max_shift_hours}, entered_by);
    Timecard card;
    for (const auto& exception : reading.exceptions)
        card.File(exception.record_id, exception.at, exception.detail);
    for (const auto& booking : reading.bookings) {
        DayFigures& figures = card.DayAt(DayOf(booking.at));
        (booking.kind->dollars ? figures.dollars
                               : figures.leave)[std::string(booking.kind->name)] += booking.amount;
        figures.records.push_back(booking.record_id);
    }
    for (const auto& stretch : reading.stretches) {
        card.AddSpan(stretch.start, stretch.end, FigureOf(stretch.activity), stretch.record_id);
        const WorkStretch counted{stretch.record_id, stretch.start, stretch.end, stretch.open};
        switch (stretch.activity) {
            case punches::Activity::Working:
                card.m_work.push_back(counted);
                break;
            case punches::Activity::Lunch:
                card.m_lunches.push_back(counted);
                break;
            case punches::Activity::Break:
                card.m_breaks.push_back(counted);
                break;
            case punches::Activity::Out:
                break;
        }
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
