#include "host/hours/Timesheet.h"

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string_view>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "host/punches/PunchRules.h"

namespace hours {

namespace {

using nlohmann::ordered_json;

std::string EntryMark(const orvane::ManagerEntry& entry, const std::string& manager) {
    const auto parts = platform::split_cut(entry.entered_at);
    char when[32];
    std::snprintf(when, sizeof when, "%02d/%02d %02d:%02d", parts.month, parts.day, parts.hour,
                  parts.minute);
    return "entered by " + manager + " on " + when;
}

std::string Amount(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

double Rounded(double value) {
    return std::round(value * 100.0) / 100.0;
}

std::string Trimmed(std::string text) {
    text.erase(text.find_last_not_of(" \n") + 1);
    return text;
}

std::string Joined(const std::vector<std::string>& texts, std::string_view between) {
    std::string joined;
    for (const auto& text : texts) {
        if (!joined.empty())
            joined += between;
        joined += text;
    }
    return joined;
}

std::vector<std::string> ExceptionTexts(const DayFigures& figures) {
    std::vector<std::string> texts;
    for (const auto& exception : figures.exceptions)
        texts.push_back(exception.text);
    return texts;
}

std::string Kinds(const std::map<std::string, double>& amounts, bool hours) {
    std::vector<std::string> texts;
    for (const auto& [kind, amount] : amounts)
        texts.push_back(kind + " " + (hours ? Amount(amount) : "$" + Amount(amount)));
    return Joined(texts, ", ");
}

ordered_json KindsJson(const std::map<std::string, double>& amounts) {
    ordered_json object = ordered_json::object();
    for (const auto& [kind, amount] : amounts)
        object[kind] = Rounded(amount);
    return object;
}

// The paid hours by rate, in decimal hours.
void AddPay(ordered_json& figures, Minutes regular, Minutes overtime, Minutes double_time) {
    figures["regular"] = DecimalHours(regular);
    figures["overtime"] = DecimalHours(overtime);
    figures["double_time"] = DecimalHours(double_time);
}

std::string MomentText(Minutes moment) {
    const Minutes of_day = moment - DayOf(moment) * kMinutesPerDay;
    char text[16];
    std::snprintf(text, sizeof text, "T%02d:%02d:00", static_cast<int>(of_day / 60),
                  static_cast<int>(of_day % 60));
    return DayText(DayOf(moment)) + text;
}

}  // namespace

std::string DayText(int64_t day) {
    const auto parts = platform::split_cut(platform::Date{static_cast<double>(day)});
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
    return text;
}

Timesheet Timesheet::Build(const orvane::ClockDatabase& database, int64_t from, int64_t to,
                           std::optional<int32_t> card, const HoursRules& rules,
                           const PayRules& pay_rules) {
    Timesheet sheet;
    sheet.from = from;
    sheet.to = to;
    sheet.pay_rules = pay_rules;
    // A day earlier and a day later than the range, for shifts over midnight at either end; the
    // weekly rules of pay also need the week's days before the range.
    const bool whole_weeks = pay_rules.overtime.weekly || pay_rules.overtime.seventh_day;
    const int64_t first = whole_weeks ? WeekStart(from, pay_rules.week_starts) : from;
    const auto rows = database.RowsBetween(card, platform::Date{static_cast<double>(first - 1)},
                                           platform::Date{static_cast<double>(to + 2)});
    std::map<int32_t, std::vector<orvane::ClockDatabase::Row>> by_card;
    for (const auto& row : rows)
        by_card[row.card].push_back(row);
    if (card)
        by_card.try_emplace(*card);

    std::unordered_map<int64_t, orvane::ManagerEntry> entries;
    std::unordered_map<int64_t, int32_t> entered_by;
    for (const auto& entered : database.ManagerEntries()) {
        entries[entered.record_id] = entered.entry;
        entered_by[entered.record_id] = entered.entry.manager_card;
    }
    std::map<int32_t, std::string> names;
    for (const auto& employee : database.Employees())
        names[employee.card] = employee.name;
    const auto name_of = [&](int32_t number) {
        const auto it = names.find(number);
        return it != names.end() && !it->second.empty() ? it->second
                                                        : "card " + std::to_string(number);
    };

    for (const auto& [number, card_rows] : by_card) {
        const Timecard timecard = Timecard::Calculate(card_rows, rules, entered_by);
        const PayCalculation pay = PayCalculation::Calculate(timecard, pay_rules);
        EmployeeSheet employee;
        employee.card = number;
        employee.name = names.contains(number) ? names[number] : "";
        employee.worked = timecard.WorkedInShiftsStarting(from, to);
        for (auto it = timecard.days().lower_bound(from);
             it != timecard.days().end() && it->first <= to; ++it) {
            SheetDay day{it->second, {}, pay.Day(it->first)};
            day.figures.exceptions.insert(day.figures.exceptions.end(), day.pay.exceptions.begin(),
                                          day.pay.exceptions.end());
            employee.regular += day.pay.regular;
            employee.overtime += day.pay.overtime;
            employee.double_time += day.pay.double_time;
            int64_t marked = -1;
            for (const int64_t record : day.figures.records) {
                const auto entry = entries.find(record);
                if (entry == entries.end() || record == marked)
                    continue;
                day.entered.push_back(
                    EntryMark(entry->second, name_of(entry->second.manager_card)));
                marked = record;
            }
            for (const auto& [kind, hours] : day.figures.leave)
                employee.leave[kind] += hours;
            for (const auto& [kind, amount] : day.figures.dollars)
                employee.dollars[kind] += amount;
            employee.days.push_back(std::move(day));
        }
        if (!employee.days.empty() || card)
            sheet.employees.push_back(std::move(employee));
    }
    return sheet;
}

std::string Timesheet::Table() const {
    std::ostringstream out;
    out << "Timesheet " << DayText(from) << " to " << DayText(to) << "\n";
    char line[256];
    for (const auto& employee : employees) {
        out << "\nCard " << employee.card << "  " << employee.name << "\n";
        std::snprintf(line, sizeof line, "%-10s  %-14s  %-13s  %-13s  %s\n", "Date", "Worked",
                      "Lunch", "Breaks", "Leave, dollars, exceptions");
        out << Trimmed(line) << "\n";
        const auto both = [](Minutes minutes) {
            return FormatDecimalHours(minutes) + " (" + FormatHoursMinutes(minutes) + ")";
        };
        for (const auto& day : employee.days) {
            const DayFigures& f = day.figures;
            std::vector<std::string> notes;
            if (!f.leave.empty())
                notes.push_back(Kinds(f.leave, true));
            if (!f.dollars.empty())
                notes.push_back(Kinds(f.dollars, false));
            for (const auto& text : ExceptionTexts(f))
                notes.push_back("! " + text);
            for (const auto& text : day.entered)
                notes.push_back(text);
            std::snprintf(line, sizeof line, "%-10s  %-14s  %-13s  %-13s  ", DayText(f.day).c_str(),
                          both(f.worked).c_str(), both(f.lunch).c_str(), both(f.breaks).c_str());
            out << Trimmed(line + Joined(notes, "; ")) << "\n";
        }
        std::vector<std::string> totals;
        if (!employee.leave.empty())
            totals.push_back(Kinds(employee.leave, true));
        if (!employee.dollars.empty())
            totals.push_back(Kinds(employee.dollars, false));
        std::snprintf(line, sizeof line, "%-10s  %-14s  %-13s  %-13s  ", "Total",
                      both(employee.worked).c_str(), "", "");
        out << Trimmed(line + Joined(totals, "; ")) << "\n";
        if (pay_rules.overtime.Any() || pay_rules.rounding.Any() || pay_rules.meal != MealRules{})
            out << "Paid        regular " << both(employee.regular) << ", overtime "
                << both(employee.overtime) << ", double time " << both(employee.double_time)
                << "\n";
    }
    return out.str();
}

std::string CsvCell(std::string_view text, char delimiter) {
    std::string cell;
    // A spreadsheet takes a cell beginning with one of these as a formula (or, with tab and
    // carriage return, as one after trimming); a leading apostrophe keeps it text.
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        cell += '\'';
    cell += text;
    if (cell.find_first_of(std::string("\"\n\r") + delimiter) == std::string::npos)
        return cell;
    std::string quoted = "\"";
    for (const char c : cell) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

std::string Timesheet::Csv() const {
    std::ostringstream out;
    // Every kind has its column, in the rules' order (hours, then dollars), so that a payroll
    // import maps them once.
    out << "Card,Name,Date,Worked,Lunch,Breaks";
    for (const auto& kind : punches::kAmountKinds)
        out << "," << kind.name;
    // The paid hours by rate come last, so that the columns before them keep their places.
    out << ",Exceptions,Entered,Regular,Overtime,Double Time\n";
    const auto rates = [](Minutes regular, Minutes overtime, Minutes double_time) {
        return "," + FormatDecimalHours(regular) + "," + FormatDecimalHours(overtime) + "," +
               FormatDecimalHours(double_time);
    };
    const auto amounts = [&](const std::map<std::string, double>& leave,
                             const std::map<std::string, double>& dollars) {
        std::string fields;
        for (const auto& kind : punches::kAmountKinds) {
            const auto& booked = kind.dollars ? dollars : leave;
            const auto it = booked.find(std::string(kind.name));
            fields += "," + Amount(it == booked.end() ? 0.0 : it->second);
        }
        return fields;
    };
    for (const auto& employee : employees) {
        const std::string who = std::to_string(employee.card) + "," + CsvCell(employee.name);
        for (const auto& day : employee.days) {
            const DayFigures& f = day.figures;
            out << who << "," << DayText(f.day) << "," << FormatDecimalHours(f.worked) << ","
                << FormatDecimalHours(f.lunch) << "," << FormatDecimalHours(f.breaks)
                << amounts(f.leave, f.dollars) << "," << CsvCell(Joined(ExceptionTexts(f), "; "))
                << "," << CsvCell(Joined(day.entered, "; "))
                << rates(day.pay.regular, day.pay.overtime, day.pay.double_time) << "\n";
        }
        out << who << ",Total," << FormatDecimalHours(employee.worked) << ",,"
            << amounts(employee.leave, employee.dollars) << ",,"
            << rates(employee.regular, employee.overtime, employee.double_time) << "\n";
    }
    return out.str();
}

ordered_json Timesheet::Json() const {
    ordered_json sheet;
    sheet["from"] = DayText(from);
    sheet["to"] = DayText(to);
    sheet["employees"] = ordered_json::array();
    for (const auto& employee : employees) {
        ordered_json days = ordered_json::array();
        for (const auto& day : employee.days) {
            const DayFigures& f = day.figures;
            ordered_json entry;
            entry["date"] = DayText(f.day);
            entry["worked"] = DecimalHours(f.worked);
            entry["lunch"] = DecimalHours(f.lunch);
            entry["breaks"] = DecimalHours(f.breaks);
            entry["leave"] = KindsJson(f.leave);
            entry["dollars"] = KindsJson(f.dollars);
            entry["exceptions"] = ExceptionTexts(f);
            AddPay(entry, day.pay.regular, day.pay.overtime, day.pay.double_time);
            if (pay_rules.rounding.Any()) {
                entry["raw"] = ordered_json::array();
                entry["rounded"] = ordered_json::array();
                for (const PaidPunch& punch : day.pay.punches) {
                    entry["raw"].push_back(MomentText(punch.raw));
                    entry["rounded"].push_back(MomentText(punch.rounded));
                }
            }
            if (!day.entered.empty())
                entry["entered"] = day.entered;
            days.push_back(std::move(entry));
        }
        ordered_json total = {{"worked", DecimalHours(employee.worked)},
                              {"leave", KindsJson(employee.leave)},
                              {"dollars", KindsJson(employee.dollars)}};
        AddPay(total, employee.regular, employee.overtime, employee.double_time);
        sheet["employees"].push_back({{"card", employee.card},
                                      {"name", employee.name},
                                      {"days", std::move(days)},
                                      {"total", std::move(total)}});
    }
    return sheet;
}

}  // namespace hours
