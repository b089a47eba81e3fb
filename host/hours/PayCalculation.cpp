#include "host/hours/PayCalculation.h"

#include <algorithm>
#include <cstdio>

#include "host/hours/Timesheet.h"

namespace hours {

namespace {

Minutes FloorTo(Minutes moment, Minutes step) {
    const Minutes rest = ((moment % step) + step) % step;
    return moment - rest;
}

std::string ClockText(Minutes moment) {
    const Minutes of_day = moment - DayOf(moment) * kMinutesPerDay;
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(of_day / 60),
                  static_cast<int>(of_day % 60));
    return text;
}

// A moment as read on a day's lines: the time, and the date too when it is another day.
std::string MomentOn(Minutes moment, int64_t day) {
    if (DayOf(moment) == day)
        return ClockText(moment);
    return DayText(DayOf(moment)) + " " + ClockText(moment);
}

std::string PunchName(const PaidPunch& punch) {
    if (punch.move == PunchMove::Switch)
        return "switch";
    switch (punch.kind) {
        case PunchKind::In:
            return "in";
        case PunchKind::Out:
            return "out";
        case PunchKind::Lunch:
            return punch.starts_work ? "lunch return" : "lunch leave";
        case PunchKind::Break:
            return punch.starts_work ? "break return" : "break leave";
    }
    return "";
}

std::string WhyMoved(const PaidPunch& punch) {
    const std::string kind(kPunchKindNames[static_cast<size_t>(punch.kind)]);
    switch (punch.move) {
        case PunchMove::Switch:
            return "not rounded: one record ends as the next begins and the shift goes on";
        case PunchMove::Grace:
            return "grace of " + std::to_string(punch.rule.grace_minutes) + " min " +
                   (punch.starts_work ? "after " : "before ") + ClockText(punch.rounded) +
                   " (rounding of " + kind + ": " + DescribeRule(punch.rule) + ")";
        case PunchMove::Interval:
            return "rounding of " + kind + ": " + DescribeRule(punch.rule);
        case PunchMove::None:
            break;
    }
    return punch.rule.Moves()
               ? "on the mark (rounding of " + kind + ": " + DescribeRule(punch.rule) + ")"
               : "not rounded";
}

// The shift being paid: its punches, its worked time and what the meal rules need to know.
struct Shift {
    std::vector<PaidPunch> punches;
    Minutes worked = 0;
    Minutes worked_before_meal = -1;  // worked time before the first lunch long enough
    bool lunch = false;
    Minutes start = 0;  // the raw moments of its first in and last out
    Minutes end = 0;
    int64_t record_id = 0;
};

// Turns a run of work stretches joined by switches and lunches into a paid shift.
Shift PayShift(const std::vector<WorkStretch>& work, size_t first, size_t last,
               const PayRules& rules) {
    const RoundingRules& rounding = rules.rounding;
    Shift shift;
    shift.start = work[first].start;
    shift.end = work[last - 1].end;
    shift.record_id = work[first].record_id;
    Minutes previous_end = 0;
    for (size_t k = first; k < last; ++k) {
        const WorkStretch& stretch = work[k];
        PaidPunch start;
        if (k == first) {
            start = RoundPunch(stretch.start, PunchKind::In, true, rounding.For(PunchKind::In));
        } else if (work[k - 1].end == stretch.start) {
            start.raw = stretch.start;
            start.rounded = previous_end;
            start.move = PunchMove::Switch;
        } else {
            start =
                RoundPunch(stretch.start, PunchKind::Lunch, true, rounding.For(PunchKind::Lunch));
            // Where rounding would end a lunch before it began, the work after it starts where
            // the work before it ended: no minute is paid twice.
            start.rounded = std::max(start.rounded, previous_end);
            const Minutes lunch = start.rounded - previous_end;
            shift.lunch = true;
            if (lunch >= rules.meal.meal_minutes && shift.worked_before_meal < 0)
                shift.worked_before_meal = shift.worked;
        }
        start.record_id = stretch.record_id;
        shift.punches.push_back(start);

        Minutes end = stretch.end;
        const bool last_one = k + 1 == last;
        if (!stretch.open && !(!last_one && work[k + 1].start == stretch.end)) {
            const PunchKind kind = last_one ? PunchKind::Out : PunchKind::Lunch;
            PaidPunch punch = RoundPunch(stretch.end, kind, false, rounding.For(kind));
            punch.record_id = stretch.record_id;
            punch.rounded = std::max(punch.rounded, start.rounded);
            end = punch.rounded;
            shift.punches.push_back(punch);
        }
        end = std::max(end, start.rounded);
        shift.worked += end - start.rounded;
        previous_end = end;
    }
    return shift;
}

// Takes the breaks that began within the shift into it: their punches, and their time off the
// worked time when breaks are unpaid.
void TakeBreaks(Shift& shift, const std::vector<WorkStretch>& breaks, const PayRules& rules) {
    const auto from =
        std::lower_bound(breaks.begin(), breaks.end(), shift.start,
                         [](const WorkStretch& b, Minutes at) { return b.start < at; });
    const RoundingRule& rule = rules.rounding.For(PunchKind::Break);
    for (auto it = from; it != breaks.end() && it->start < shift.end; ++it) {
        PaidPunch leave = RoundPunch(it->start, PunchKind::Break, false, rule);
        leave.record_id = it->record_id;
        shift.punches.push_back(leave);
        Minutes back_at = it->end;
        if (!it->open) {
            PaidPunch back = RoundPunch(it->end, PunchKind::Break, true, rule);
            back.record_id = it->record_id;
            shift.punches.push_back(back);
            back_at = back.rounded;
        }
        if (!rules.meal.breaks_paid)
            shift.worked -= std::min(shift.worked, std::max<Minutes>(0, back_at - leave.rounded));
    }
    std::stable_sort(shift.punches.begin(), shift.punches.end(),
                     [](const PaidPunch& a, const PaidPunch& b) { return a.raw < b.raw; });
}

void ApplyMealRules(Shift& shift, const MealRules& meal, std::vector<HoursException>& found) {
    if (meal.required_after && shift.worked > *meal.required_after &&
        (shift.worked_before_meal < 0 || shift.worked_before_meal > *meal.required_after)) {
        found.push_back({shift.record_id, shift.start,
                         "no meal of " + std::to_string(meal.meal_minutes) +
                             " min within the first " + FormatHoursMinutes(*meal.required_after) +
                             " worked (shift from " + ClockText(shift.start) + ", " +
                             FormatHoursMinutes(shift.worked) + " worked)"});
    }
    if (meal.deduct_after && !shift.lunch && shift.worked > *meal.deduct_after) {
        const Minutes deducted = std::min(meal.deduct_minutes, shift.worked);
        found.push_back({shift.record_id, shift.start,
                         "lunch of " + std::to_string(deducted) +
                             " min deducted: no lunch punch in a shift of " +
                             FormatHoursMinutes(shift.worked) + " from " + ClockText(shift.start)});
        shift.worked -= deducted;
    }
}

}  // namespace

std::string DescribeRule(const RoundingRule& rule) {
    std::string text;
    if (rule.minutes > 1) {
        text = std::string(kRoundDirectionNames[static_cast<size_t>(rule.direction)]) + " " +
               std::to_string(rule.minutes) + " min";
        if (rule.direction == RoundDirection::Employee)
            text = "in favour of the employee, " + std::to_string(rule.minutes) + " min";
    }
    if (rule.grace_minutes > 0)
        text += (text.empty() ? "" : ", ") + std::string("grace ") +
                std::to_string(rule.grace_minutes) + " min";
    return text.empty() ? "none" : text;
}

PaidPunch RoundPunch(Minutes raw, PunchKind kind, bool starts_work, const RoundingRule& rule) {
    PaidPunch punch;
    punch.kind = kind;
    punch.starts_work = starts_work;
    punch.raw = raw;
    punch.rounded = raw;
    punch.rule = rule;
    if (rule.grace_minutes > 0) {
        const Minutes mark = rule.minutes > 1 ? rule.minutes : 60;
        const Minutes below = FloorTo(raw, mark);
        if (below != raw) {
            const Minutes above = below + mark;
            if (starts_work && raw - below <= rule.grace_minutes) {
                punch.rounded = below;
                punch.move = PunchMove::Grace;
                return punch;
            }
            if (!starts_work && above - raw <= rule.grace_minutes) {
                punch.rounded = above;
                punch.move = PunchMove::Grace;
                return punch;
            }
        }
    }
    if (rule.minutes <= 1)
        return punch;
    const Minutes below = FloorTo(raw, rule.minutes);
    if (below == raw)
        return punch;
    const Minutes above = below + rule.minutes;
    switch (rule.direction) {
        case RoundDirection::Nearest:
            punch.rounded = (raw - below) * 2 >= rule.minutes ? above : below;
            break;
        case RoundDirection::Up:
            punch.rounded = above;
            break;
        case RoundDirection::Down:
            punch.rounded = below;
            break;
        case RoundDirection::Employee:
            punch.rounded = starts_work ? below : above;
            break;
    }
    punch.move = PunchMove::Interval;
    return punch;
}

PayCalculation PayCalculation::Calculate(const Timecard& card, const PayRules& rules) {
    PayCalculation pay;
    const std::vector<WorkStretch>& work = card.work();
    std::vector<WorkStretch> lunches = card.lunches();
    std::vector<WorkStretch> breaks = card.breaks();
    const auto by_start = [](const WorkStretch& a, const WorkStretch& b) {
        return a.start < b.start;
    };
    std::sort(lunches.begin(), lunches.end(), by_start);
    std::sort(breaks.begin(), breaks.end(), by_start);
    // A lunch joins the work before it and the work after it into one shift.
    const auto lunch_between = [&](Minutes left, Minutes back) {
        const auto it =
            std::lower_bound(lunches.begin(), lunches.end(), WorkStretch{0, left, 0}, by_start);
        return it != lunches.end() && it->start == left && it->end == back && !it->open;
    };

    for (size_t first = 0; first < work.size();) {
        size_t last = first + 1;
        while (last < work.size() && !work[last - 1].open &&
               (work[last].start == work[last - 1].end ||
                lunch_between(work[last - 1].end, work[last].start)))
            ++last;
        Shift shift = PayShift(work, first, last, rules);
        TakeBreaks(shift, breaks, rules);
        const int64_t day = DayOf(shift.start);
        auto [it, added] = pay.m_days.try_emplace(day);
        PayDay& paid = it->second;
        paid.day = day;
        ApplyMealRules(shift, rules.meal, paid.exceptions);
        paid.worked += shift.worked;
        paid.punches.insert(paid.punches.end(), shift.punches.begin(), shift.punches.end());
        first = last;
    }

    std::vector<PayDay*> week;
    for (auto& [day, paid] : pay.m_days) {
        if (!week.empty() &&
            WeekStart(week.front()->day, rules.week_starts) != WeekStart(day, rules.week_starts))
            pay.PayWeek(week, rules.overtime, rules.week_starts);
        week.push_back(&paid);
    }
    pay.PayWeek(week, rules.overtime, rules.week_starts);
    return pay;
}

// Splits each day of one week into regular time, overtime and double time: the seventh day of
// a week worked every day first, then the daily thresholds, then the regular hours of the week
// past its threshold in the order they were worked. Each hour takes one rate, never two.
void PayCalculation::PayWeek(std::vector<PayDay*>& week, const OvertimeRules& rules,
                             int week_starts) {
    const bool every_day =
        std::count_if(week.begin(), week.end(), [](const PayDay* d) { return d->worked > 0; }) == 7;
    Minutes week_regular = 0;
    for (PayDay* day : week) {
        const Minutes worked = day->worked;
        Minutes regular = worked, overtime = 0, double_time = 0;
        const auto reason = [&](Minutes amount, const std::string& why) {
            if (amount > 0)
                day->reasons.push_back(FormatHoursMinutes(amount) + " " + why);
        };
        if (every_day && day == week.back() && rules.seventh_day) {
            overtime = std::min(worked, *rules.seventh_day);
            double_time = worked - overtime;
            regular = 0;
            reason(overtime, "at 1.5x: seventh day worked in a row this week, the first " +
                                 FormatHoursMinutes(*rules.seventh_day));
            reason(double_time, "at 2x: seventh day worked in a row this week, beyond " +
                                    FormatHoursMinutes(*rules.seventh_day));
        } else {
            if (rules.daily_double && worked > *rules.daily_double)
                double_time = worked - *rules.daily_double;
            if (rules.daily && worked - double_time > *rules.daily)
                overtime = worked - double_time - *rules.daily;
            regular = worked - overtime - double_time;
            Minutes past_week = 0;
            if (rules.weekly && week_regular + regular > *rules.weekly)
                past_week = std::min(regular, week_regular + regular - *rules.weekly);
            week_regular += regular;
            regular -= past_week;
            reason(regular, rules.Any() ? "regular" : "regular: no overtime rule is set");
            reason(overtime,
                   "at 1.5x: over " + FormatHoursMinutes(*rules.daily) + " worked in the day");
            reason(double_time,
                   "at 2x: over " + FormatHoursMinutes(*rules.daily_double) + " worked in the day");
            reason(past_week, "at 1.5x: regular hours of the week from " +
                                  DayText(WeekStart(day->day, week_starts)) + " past " +
                                  FormatHoursMinutes(*rules.weekly));
            overtime += past_week;
        }
        day->regular = regular;
        day->overtime = overtime;
        day->double_time = double_time;
    }
    week.clear();
}

PayDay PayCalculation::Day(int64_t day) const {
    if (auto it = m_days.find(day); it != m_days.end())
        return it->second;
    PayDay empty;
    empty.day = day;
    return empty;
}

std::vector<std::string> PayCalculation::Explain(int64_t day) const {
    const PayDay paid = Day(day);
    std::vector<std::string> lines;
    if (paid.punches.empty()) {
        lines.push_back("no shift began on " + DayText(day));
        return lines;
    }
    for (const PaidPunch& punch : paid.punches) {
        std::string line = PunchName(punch) + " " + MomentOn(punch.raw, day);
        if (punch.rounded != punch.raw)
            line += " -> " + MomentOn(punch.rounded, day);
        lines.push_back(line + ": " + WhyMoved(punch));
    }
    lines.push_back("worked " + FormatHoursMinutes(paid.worked));
    for (const HoursException& exception : paid.exceptions)
        lines.push_back("! " + exception.text);
    lines.insert(lines.end(), paid.reasons.begin(), paid.reasons.end());
    return lines;
}

}  // namespace hours
