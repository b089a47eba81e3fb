#include "host/hours/Audit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

namespace hours {

namespace {

using Row = orvane::ClockDatabase::Row;

std::string MomentText(double days) {
    const auto parts = platform::split_cut(platform::Date{days});
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", parts.year, parts.month, parts.day,
                  parts.hour, parts.minute);
    return text;
}

std::string DayText(double days) {
    return MomentText(days).substr(0, 10);
}

std::optional<double> Moment(const std::optional<platform::Date>& date,
                             const std::optional<platform::Date>& time) {
    if (!date || !time)
        return std::nullopt;
    return date->days + time->days;
}

std::string OptionalMoment(const std::optional<platform::Date>& date,
                           const std::optional<platform::Date>& time) {
    const auto moment = Moment(date, time);
    return moment ? MomentText(*moment) : std::string("-");
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string CardText(const std::map<int32_t, std::string>& names, int32_t card) {
    const auto it = names.find(card);
    return std::to_string(card) + (it != names.end() ? " " + it->second : "");
}

std::map<int32_t, std::string> Names(const orvane::ClockDatabase& database) {
    std::map<int32_t, std::string> names;
    for (const auto& employee : database.Employees())
        names[employee.card] = employee.name;
    return names;
}

bool Within(double moment, const std::optional<platform::Date>& from,
            const std::optional<platform::Date>& to) {
    return (!from || moment >= from->days) && (!to || moment < to->days);
}

}  // namespace

std::string RecordText(const Row& row) {
    std::string text = "#" + std::to_string(row.id) + " \"" + row.punch_type + "\" " +
                       OptionalMoment(row.date_in, row.time_in) + " to " +
                       OptionalMoment(row.date_out, row.time_out);
    const auto in = Moment(row.date_in, row.time_in);
    const auto out = Moment(row.date_out, row.time_out);
    if (in && out)
        text += " " + Number(std::round((*out - *in) * 24 * 60) / 60) + " h";
    const std::pair<const char*, double> amounts[] = {
        {"holiday", row.holiday}, {"sick", row.sick},         {"vacation", row.vacation},
        {"bonus", row.bonus},     {"advances", row.advances}, {"personal", row.personal},
        {"other", row.other}};
    for (const auto& [name, amount] : amounts) {
        if (amount != 0)
            text += std::string(" ") + name + " " + Number(amount);
    }
    if (!row.notes.empty())
        text += " (" + row.notes + ")";
    return text;
}

std::string AuditList(const orvane::ClockDatabase& database, std::optional<platform::Date> from,
                      std::optional<platform::Date> to) {
    const auto names = Names(database);
    std::ostringstream out;
    out << "Entered at  Clock  Manager  Employee  Record\n";
    for (const auto& entered : database.ManagerEntries(from, to)) {
        const auto& entry = entered.entry;
        out << MomentText(entry.entered_at.days) << "  " << entry.clock_name << "  "
            << CardText(names, entry.manager_card) << "  ";
        if (const auto row = database.RowWithId(entered.record_id))
            out << CardText(names, row->card) << "  " << RecordText(*row);
        else
            out << "-  #" << entered.record_id << " (record no longer stored)";
        out << '\n';
    }

    out << "\nCorrected at  Clock  By  Employee  Action  Before  After  Reason\n";
    for (const auto& correction : database.Corrections()) {
        const auto& by = correction.by;
        if (!Within(by.at.days, from, to))
            continue;
        const auto version = [](const std::optional<Row>& row) {
            return row ? RecordText(*row) : std::string("-");
        };
        out << MomentText(by.at.days) << "  " << by.clock_name << "  " << by.who << "  "
            << CardText(names, correction.card) << "  " << correction.action << "  "
            << version(correction.before) << "  " << version(correction.after) << "  " << by.reason
            << '\n';
    }

    out << "\nAt  By  Action  Week  Employees\n";
    for (const auto& approval : database.WeekApprovals()) {
        if (!Within(approval.at.days, from, to))
            continue;
        out << MomentText(approval.at.days) << "  " << approval.who << "  " << approval.action
            << "  " << DayText(approval.week_start.days) << "  "
            << (approval.card ? CardText(names, *approval.card) : std::string("everyone")) << '\n';
    }
    return out.str();
}

std::vector<CorrectedPunch> CorrectedPunches(const orvane::ClockDatabase& database,
                                             std::optional<int32_t> card,
                                             std::optional<platform::Date> from,
                                             std::optional<platform::Date> to) {
    // The last day is read whole.
    const double first = from ? from->days : -HUGE_VAL;
    const double end = to ? to->days + 1 : HUGE_VAL;
    const auto in_range = [&](const Row& row) {
        for (const auto& moment :
             {Moment(row.date_in, row.time_in), Moment(row.date_out, row.time_out)}) {
            if (moment && *moment >= first && *moment < end)
                return true;
        }
        return !from && !to;
    };

    std::map<int64_t, CorrectedPunch> punches;
    for (auto& row : database.Rows(card)) {
        if (in_range(row))
            punches[row.id].row = std::move(row);
    }
    const auto corrections = database.Corrections(card);
    for (const auto& correction : corrections) {
        if (correction.action == "void" && correction.before && in_range(*correction.before)) {
            punches[correction.record_id].row = *correction.before;
            punches[correction.record_id].voided = true;
        }
    }
    for (const auto& correction : corrections) {
        const auto found = punches.find(correction.record_id);
        if (found == punches.end())
            continue;
        auto& punch = found->second;
        if (punch.corrections.empty()) {
            punch.original = correction.before;
            punch.added = correction.action == "add" && !correction.before;
        }
        punch.corrections.push_back(correction);
    }
    std::vector<CorrectedPunch> list;
    for (auto& [id, punch] : punches)
        list.push_back(std::move(punch));
    return list;
}

std::string CorrectedPunchesTable(const std::vector<CorrectedPunch>& punches) {
    std::ostringstream out;
    out << "Card  Record  Corrections\n";
    for (const auto& punch : punches) {
        out << punch.row.card << "  " << RecordText(punch.row);
        if (punch.voided)
            out << "  voided: " << punch.corrections.back().by.reason;
        else if (punch.added)
            out << "  added";
        if (punch.original && !punch.voided)
            out << "  was " << RecordText(*punch.original);
        out << '\n';
    }
    return out.str();
}

}  // namespace hours
