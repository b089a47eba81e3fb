#include "host/hours/PayRules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>

#include <nlohmann/json.hpp>

#include "host/hours/Timesheet.h"
#include "platform/Date.h"
#include "platform/Error.h"

namespace hours {

using nlohmann::json;

const std::array<OvertimePreset, 3> kOvertimePresets{{
    // daily, daily double, weekly, seventh day
    {"none", {std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
    {"weekly-40", {std::nullopt, std::nullopt, 40 * 60, std::nullopt}},
    {"california", {8 * 60, 12 * 60, 40 * 60, 8 * 60}},
}};

bool RoundingRules::Any() const {
    return std::any_of(by_kind.begin(), by_kind.end(), [](const auto& r) { return r.Moves(); });
}

namespace {

[[noreturn]] void Wrong(const std::string& key, const std::string& problem) {
    platform::raise(platform::err::kBadFileFormat, "\"" + key + "\" " + problem);
}

void RequireObject(const json& value, const std::string& key,
                   std::initializer_list<std::string_view> known) {
    if (!value.is_object())
        Wrong(key, "is not an object");
    for (const auto& [name, item] : value.items()) {
        if (std::find(known.begin(), known.end(), name) == known.end())
            Wrong(key + "." + name, "is not a setting of \"" + key + "\"");
    }
}

// The index of a name in a table of names, or a message listing them.
template <size_t N>
size_t NameIndex(const json& value, const std::string& key,
                 const std::array<std::string_view, N>& names) {
    const auto text = value.is_string() ? value.get<std::string>() : std::string();
    const auto found = std::find(names.begin(), names.end(), text);
    if (found != names.end())
        return static_cast<size_t>(found - names.begin());
    std::string listed;
    for (const auto name : names)
        listed += (listed.empty() ? "\"" : ", \"") + std::string(name) + "\"";
    Wrong(key, "is not one of " + listed);
}

int WholeMinutes(const json& value, const std::string& key, int most) {
    if (!value.is_number_integer() || value.get<int64_t>() < 0 || value.get<int64_t>() > most)
        Wrong(key, "is not a whole number of minutes from 0 to " + std::to_string(most));
    return static_cast<int>(value.get<int64_t>());
}

// Hours given as a number (7.5 is 7:30); null turns the threshold off.
std::optional<Minutes> HoursSetting(const json& value, const std::string& key, double most) {
    if (value.is_null())
        return std::nullopt;
    if (!value.is_number() || value.get<double>() < 0 || value.get<double>() > most)
        Wrong(key, "is not a number of hours from 0 to " + std::to_string(static_cast<int>(most)));
    return std::llround(value.get<double>() * 60.0);
}

json HoursValue(const std::optional<Minutes>& minutes) {
    if (!minutes)
        return nullptr;
    if (*minutes % 60 == 0)
        return *minutes / 60;
    return static_cast<double>(*minutes) / 60.0;
}

void ReadRoundingKeys(const json& value, const std::string& key, RoundingRule& rule) {
    RequireObject(value, key,
                  {"minutes", "direction", "grace_minutes", "in", "out", "lunch", "break"});
    if (auto it = value.find("minutes"); it != value.end()) {
        const bool listed = it->is_number_integer() &&
                            std::find(kRoundingIntervals.begin(), kRoundingIntervals.end(),
                                      it->get<int64_t>()) != kRoundingIntervals.end();
        if (!listed)
            Wrong(key + ".minutes", "is not 1, 5, 6, 10 or 15");
        rule.minutes = it->get<int>();
    }
    if (auto it = value.find("direction"); it != value.end())
        rule.direction =
            static_cast<RoundDirection>(NameIndex(*it, key + ".direction", kRoundDirectionNames));
    if (auto it = value.find("grace_minutes"); it != value.end())
        rule.grace_minutes = WholeMinutes(*it, key + ".grace_minutes", 59);
}

// The grace window lies within one interval; with no interval it counts from the hour.
void CheckGrace(const RoundingRule& rule, const std::string& key) {
    const int room = rule.minutes > 1 ? rule.minutes : 60;
    if (rule.grace_minutes >= room) {
        Wrong(key + ".grace_minutes",
              "is not shorter than the interval of " + std::to_string(room) + " minutes");
    }
}

RoundingRules ReadRounding(const json& value) {
    const std::string key = "pay_rules.rounding";
    RoundingRules rules;
    ReadRoundingKeys(value, key, rules.common);
    CheckGrace(rules.common, key);
    for (size_t kind = 0; kind < kPunchKindNames.size(); ++kind) {
        rules.by_kind[kind] = rules.common;
        const std::string name(kPunchKindNames[kind]);
        if (auto it = value.find(name); it != value.end()) {
            if (it->is_object() && (it->contains("in") || it->contains("out") ||
                                    it->contains("lunch") || it->contains("break")))
                Wrong(key + "." + name, "cannot hold the rules of another kind of punch");
            ReadRoundingKeys(*it, key + "." + name, rules.by_kind[kind]);
            CheckGrace(rules.by_kind[kind], key + "." + name);
        }
    }
    return rules;
}

OvertimeRules ReadOvertime(const json& value) {
    const std::string key = "pay_rules.overtime";
    const auto preset = [&](const json& name, const std::string& at) {
        std::array<std::string_view, kOvertimePresets.size()> names;
        std::transform(kOvertimePresets.begin(), kOvertimePresets.end(), names.begin(),
                       [](const auto& p) { return p.name; });
        return kOvertimePresets[NameIndex(name, at, names)].rules;
    };
    if (value.is_string())
        return preset(value, key);
    RequireObject(
        value, key,
        {"preset", "daily_hours", "daily_double_hours", "weekly_hours", "seventh_day_hours"});
    OvertimeRules rules;
    if (auto it = value.find("preset"); it != value.end())
        rules = preset(*it, key + ".preset");
    const auto read = [&](const char* name, std::optional<Minutes>& threshold, double most) {
        if (auto it = value.find(name); it != value.end())
            threshold = HoursSetting(*it, key + "." + name, most);
    };
    read("daily_hours", rules.daily, 24);
    read("daily_double_hours", rules.daily_double, 24);
    read("weekly_hours", rules.weekly, 168);
    read("seventh_day_hours", rules.seventh_day, 24);
    if (rules.daily && rules.daily_double && *rules.daily_double < *rules.daily)
        Wrong(key + ".daily_double_hours", "is less than \"daily_hours\"");
    return rules;
}

MealRules ReadMeal(const json& value) {
    const std::string key = "pay_rules.meal";
    constexpr std::array<std::string_view, 2> kPresets{"none", "california"};
    if (value.is_string())
        return NameIndex(value, key, kPresets) == 0 ? MealRules{} : kCaliforniaMeal;
    RequireObject(value, key,
                  {"preset", "required_after_hours", "meal_minutes", "deduct_after_hours",
                   "deduct_minutes", "breaks"});
    MealRules rules;
    if (auto it = value.find("preset"); it != value.end())
        rules = NameIndex(*it, key + ".preset", kPresets) == 0 ? MealRules{} : kCaliforniaMeal;
    if (auto it = value.find("required_after_hours"); it != value.end())
        rules.required_after = HoursSetting(*it, key + ".required_after_hours", 24);
    if (auto it = value.find("meal_minutes"); it != value.end())
        rules.meal_minutes = WholeMinutes(*it, key + ".meal_minutes", 240);
    if (auto it = value.find("deduct_after_hours"); it != value.end())
        rules.deduct_after = HoursSetting(*it, key + ".deduct_after_hours", 24);
    if (auto it = value.find("deduct_minutes"); it != value.end())
        rules.deduct_minutes = WholeMinutes(*it, key + ".deduct_minutes", 240);
    if (auto it = value.find("breaks"); it != value.end()) {
        constexpr std::array<std::string_view, 2> kBreaks{"paid", "unpaid"};
        rules.breaks_paid = NameIndex(*it, key + ".breaks", kBreaks) == 0;
    }
    return rules;
}

std::optional<int64_t> DayOfText(const std::string& text) {
    int year = 0, month = 0, day = 0;
    char end = 0;
    if (text.size() != 10 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &end) != 3)
        return std::nullopt;
    const auto date = platform::make_date(year, month, day);
    if (!date)
        return std::nullopt;
    return static_cast<int64_t>(date->days);
}

PeriodRule ReadPeriod(const json& value) {
    const std::string key = "pay_rules.period";
    RequireObject(value, key, {"kind", "anchor"});
    PeriodRule rule;
    if (auto it = value.find("kind"); it != value.end())
        rule.kind = static_cast<PeriodKind>(NameIndex(*it, key + ".kind", kPeriodKindNames));
    const auto anchor = value.find("anchor");
    if (rule.kind == PeriodKind::Biweekly) {
        if (anchor == value.end())
            Wrong(key + ".anchor", "is missing: a biweekly period needs the first day of one");
        const auto day = anchor->is_string() ? DayOfText(anchor->get<std::string>()) : std::nullopt;
        if (!day)
            Wrong(key + ".anchor", "is not a day written YYYY-MM-DD");
        rule.anchor = *day;
    } else if (anchor != value.end()) {
        Wrong(key + ".anchor", "is only for a biweekly period");
    }
    return rule;
}

json RoundingDifference(const RoundingRule& rule, const RoundingRule& base) {
    json out = json::object();
    if (rule.minutes != base.minutes)
        out["minutes"] = rule.minutes;
    if (rule.direction != base.direction)
        out["direction"] = kRoundDirectionNames[static_cast<size_t>(rule.direction)];
    if (rule.grace_minutes != base.grace_minutes)
        out["grace_minutes"] = rule.grace_minutes;
    return out;
}

}  // namespace

PayRules ReadPayRules(const json& stored) {
    RequireObject(stored, "pay_rules", {"overtime", "rounding", "meal", "period"});
    PayRules rules;
    if (auto it = stored.find("rounding"); it != stored.end())
        rules.rounding = ReadRounding(*it);
    if (auto it = stored.find("overtime"); it != stored.end())
        rules.overtime = ReadOvertime(*it);
    if (auto it = stored.find("meal"); it != stored.end())
        rules.meal = ReadMeal(*it);
    if (auto it = stored.find("period"); it != stored.end())
        rules.period = ReadPeriod(*it);
    return rules;
}

json WritePayRules(const PayRules& rules) {
    json out = json::object();
    if (rules.rounding != RoundingRules{}) {
        json rounding = RoundingDifference(rules.rounding.common, RoundingRule{});
        for (size_t kind = 0; kind < kPunchKindNames.size(); ++kind) {
            json own = RoundingDifference(rules.rounding.by_kind[kind], rules.rounding.common);
            if (!own.empty())
                rounding[std::string(kPunchKindNames[kind])] = std::move(own);
        }
        out["rounding"] = std::move(rounding);
    }
    const auto preset = std::find_if(kOvertimePresets.begin(), kOvertimePresets.end(),
                                     [&](const auto& p) { return p.rules == rules.overtime; });
    if (preset == kOvertimePresets.end()) {
        out["overtime"] = {{"daily_hours", HoursValue(rules.overtime.daily)},
                           {"daily_double_hours", HoursValue(rules.overtime.daily_double)},
                           {"weekly_hours", HoursValue(rules.overtime.weekly)},
                           {"seventh_day_hours", HoursValue(rules.overtime.seventh_day)}};
    } else if (preset != kOvertimePresets.begin()) {
        out["overtime"] = preset->name;
    }
    if (rules.meal == kCaliforniaMeal) {
        out["meal"] = "california";
    } else if (rules.meal != MealRules{}) {
        const MealRules& meal = rules.meal;
        out["meal"] = {{"required_after_hours", HoursValue(meal.required_after)},
                       {"meal_minutes", meal.meal_minutes},
                       {"deduct_after_hours", HoursValue(meal.deduct_after)},
                       {"deduct_minutes", meal.deduct_minutes},
                       {"breaks", meal.breaks_paid ? "paid" : "unpaid"}};
    }
    if (rules.period != PeriodRule{}) {
        json period = {{"kind", kPeriodKindNames[static_cast<size_t>(rules.period.kind)]}};
        if (rules.period.kind == PeriodKind::Biweekly)
            period["anchor"] = DayText(rules.period.anchor);
        out["period"] = std::move(period);
    }
    return out;
}

}  // namespace hours
