#include "host/hours/Audit.h"

#include <sqlite3.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "host/database/Sqlite.h"

namespace hours {

namespace {

std::string MomentText(double days) {
    const auto parts = platform::split_cut(platform::Date{days});
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", parts.year, parts.month, parts.day,
                  parts.hour, parts.minute);
    return text;
}

std::string OptionalMoment(sqlite3_stmt* s, int column) {
    return sqlite3_column_type(s, column) == SQLITE_NULL
               ? std::string("-")
               : MomentText(sqlite3_column_double(s, column));
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

    auto record = orvane::sqlite::Prepare(database.handle(), R"sql(
        SELECT "Card ID", "Punch Type", "Date In"+"Time In", "Date Out"+"Time Out", "Notes"
        FROM "Clock Data Table" WHERE "ID" = ?)sql");
    std::ostringstream out;
    out << "Entered at  Clock  Manager  Employee  Record\n";
    for (const auto& entered : database.ManagerEntries(from, to)) {
        const auto& entry = entered.entry;
        out << MomentText(entry.entered_at.days) << "  " << entry.clock_name << "  "
            << name(entry.manager_card) << "  ";
        sqlite3_stmt* s = record.get();
        sqlite3_reset(s);
        sqlite3_bind_int64(s, 1, entered.record_id);
        if (sqlite3_step(s) == SQLITE_ROW) {
            const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
            const auto* notes = reinterpret_cast<const char*>(sqlite3_column_text(s, 4));
            out << name(sqlite3_column_int(s, 0)) << "  #" << entered.record_id << " \""
                << (type ? type : "") << "\" " << OptionalMoment(s, 2) << " to "
                << OptionalMoment(s, 3);
            if (notes && *notes)
                out << " (" << notes << ")";
        } else {
            out << "-  #" << entered.record_id << " (record no longer stored)";
        }
        out << '\n';
    }
    return out.str();
}

}  // namespace hours
