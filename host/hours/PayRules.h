#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "host/hours/Hours.h"

namespace hours {

// The kinds of punch that can be rounded each their own way. An in or out starts or ends a shift;
// a lunch leave or return ends or starts work around a lunch; a break leave or return bounds a
// break inside work.
enum class PunchKind { In, Out, Lunch, Break };
inline constexpr std::array<std::string_view, 4> kPunchKindNames{"in", "out", "lunch", "break"};

// Which way a punch between two interval marks goes. "employee" moves the start of work earlier
// and the end of work later, so that rounding never costs the employee a minute.
enum class RoundDirection { Nearest, Up, Down, Employee };
inline constexpr std::array<std::string_view, 4> kRoundDirectionNames{"nearest", "up", "down",
                                                                      "employee"};

// How one kind of punch is rounded: to marks every `minutes` minutes from midnight, in a
// direction, after a grace window. A punch that starts work up to `grace_minutes` after a mark,
// or ends it up to `grace_minutes` before one, counts as on the mark whatever the direction.
// With no interval (1 minute) the marks of the grace window are the hours.
struct RoundingRule {
    int minutes = 1;
    RoundDirection direction = RoundDirection::Nearest;
    int grace_minutes = 0;

    bool Moves() const { return minutes > 1 || grace_minutes > 0; }
    friend bool operator==(const RoundingRule&, const RoundingRule&) = default;
};
inline constexpr std::array<int, 5> kRoundingIntervals{1, 5, 6, 10, 15};

// The rule for every kind of punch: the common one, and each kind's after its own overrides.
struct RoundingRules {
    RoundingRule common;
    std::array<RoundingRule, 4> by_kind{};

    const RoundingRule& For(PunchKind kind) const { return by_kind[static_cast<size_t>(kind)]; }
    bool Any() const;
    friend bool operator==(const RoundingRules&, const RoundingRules&) = default;
};

// Thresholds of overtime, each on its own; none set means no overtime. Daily hours over
// `daily` are paid at 1.5x and over `daily_double` at 2x; regular hours of a week beyond
// `weekly` at 1.5x. On the seventh day of a week in which all seven were worked, the first
// `seventh_day` hours are paid at 1.5x and the rest at 2x. An hour is paid at one rate only.
struct OvertimeRules {
    std::optional<Minutes> daily;
    std::optional<Minutes> daily_double;
    std::optional<Minutes> weekly;
    std::optional<Minutes> seventh_day;

    bool Any() const { return daily || daily_double || weekly || seventh_day; }
    friend bool operator==(const OvertimeRules&, const OvertimeRules&) = default;
};

// The named sets of overtime thresholds: "none", "weekly-40" and "california".
struct OvertimePreset {
    std::string_view name;
    OvertimeRules rules;
};
extern const std::array<OvertimePreset, 3> kOvertimePresets;

// Meal and break rules. A shift of more than `required_after` worked without a lunch of at
// least `meal_minutes` begun by then is an exception. A shift of more than `deduct_after` with
// no lunch punch at all loses `deduct_minutes` of worked time, and the timesheet says so. Paid
// breaks count as work; unpaid ones are taken off the worked time.
struct MealRules {
    std::optional<Minutes> required_after;
    Minutes meal_minutes = 30;
    std::optional<Minutes> deduct_after;
    Minutes deduct_minutes = 30;
    bool breaks_paid = true;

    friend bool operator==(const MealRules&, const MealRules&) = default;
};
inline constexpr MealRules kCaliforniaMeal{5 * 60, 30, std::nullopt, 30, true};

// How pay periods run. A weekly period starts on the configuration's first day of the week; a
// biweekly one every fourteen days from its anchor day; a semimonthly one on the 1st and the
// 16th; a monthly one on the 1st.
enum class PeriodKind { Weekly, Biweekly, Semimonthly, Monthly };
inline constexpr std::array<std::string_view, 4> kPeriodKindNames{"weekly", "biweekly",
                                                                  "semimonthly", "monthly"};
struct PeriodRule {
    PeriodKind kind = PeriodKind::Weekly;
    int64_t anchor = 0;  // a day of the first biweekly period, days since day zero

    friend bool operator==(const PeriodRule&, const PeriodRule&) = default;
};

// The pay rules of the clock's configuration ("pay_rules"). The default is the hours as they
// are: no rounding, no overtime, no meal rules, weekly periods.
struct PayRules {
    RoundingRules rounding;
    OvertimeRules overtime;
    MealRules meal;
    PeriodRule period;
    // The first day of the week for overtime and weekly periods, Sunday (0) to Saturday (6): the
    // configuration's "week_starts", which the reader of the configuration sets here.
    int week_starts = 0;

    friend bool operator==(const PayRules&, const PayRules&) = default;
};

// Reads the "pay_rules" object of the configuration. Anything wrong (an unknown preset or key, an
// interval that is not 1, 5, 6, 10 or 15, a negative threshold, a day that does not exist) raises
// "Bad file format" (321) with a description naming the key, "pay_rules.rounding.minutes".
PayRules ReadPayRules(const nlohmann::json& stored);
// The rules as the configuration stores them; a preset is written by its name, and what is the
// default is left out. Reading the result back gives the same rules.
nlohmann::json WritePayRules(const PayRules& rules);

}  // namespace hours
