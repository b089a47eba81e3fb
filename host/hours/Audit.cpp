#include "host/hours/Audit.h"

#include <cstdio>
#include <map>
#include <sstream>

namespace hours {

namespace {

std::string MomentText(double days) {
    const auto parts = platform::split_cut(platform::Date{days});
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", parts.year, parts.month, parts.day,
                  parts.hour, parts.minute);
    return text;
}

std::string OptionalMoment(const std::optional<platform::Date>& date,
                           const std::optional<platform::Date>& time) {
    return date && time ? MomentText(date->days + time->days) : std::string("-");
}

}  // namespace

std::string AuditList(const orvane::ClockDatabase& database, std::optional<platform::Date> from,
                      std::optional<platform::Date> to) {
    std::map<int32_t, std::string> names;
    for (const auto& employee : database.Employees())
        names[employee.card] = employee.name;
    const auto name = [&](int32_t card) {
        const auto it = names.find(card);
        return std::to_string(card) + (it != names.end() ? " " + it->second : "");
    };

    std::ostringstream out;
    out << "Entered at  Clock  Manager  Employee  Record\n";
    for (const auto& entered : database.ManagerEntries(from, to)) {
        const auto& entry = entered.entry;
        out << MomentText(entry.entered_at.days) << "  " << entry.clock_name << "  "
            << name(entry.manager_card) << "  ";
        if (const auto row = database.RowWithId(entered.record_id)) {
            out << name(row->card) << "  #" << entered.record_id << " \"" << row->punch_type
                << "\" " << OptionalMoment(row->date_in, row->time_in) << " to "
                << OptionalMoment(row->date_out, row->time_out);
            if (!row->notes.empty())
                out << " (" << row->notes << ")";
        } else {
            out << "-  #" << entered.record_id << " (record no longer stored)";
        }
        out << '\n';
    }
    return out.str();
}

}  // namespace hours
