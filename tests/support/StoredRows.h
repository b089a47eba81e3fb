#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "host/database/SqlDialect.h"
#include "platform/Date.h"

// A punch of one record, as the step fills it for an employee: its type, then the in-moment for
// an in or the out-moment for an out, on the day given (days since day zero).
inline orvane::PunchWrite OnePunch(int32_t card, const char* type, bool in, double day,
                                   double time) {
    auto record = std::make_shared<orvane::PunchRecord>("");
    record->Item("Punch Type")->SetValue(platform::Variant(type));
    record->Item(in ? "Date In" : "Date Out")->SetValue(platform::Variant(platform::Date{day}));
    record->Item(in ? "Time In" : "Time Out")->SetValue(platform::Variant(platform::Date{time}));
    return {card, record, {}, std::nullopt};
}

// A stored row in a form that reads well in a failure: type, in "hh:mm" or "-", out likewise.
inline std::string DescribeRow(const orvane::ClockDatabase::Row& row) {
    const auto clock = [](const std::optional<platform::Date>& time) {
        if (!time)
            return std::string("-");
        const auto parts = platform::split_rounded(*time);
        char text[8];
        std::snprintf(text, sizeof text, "%02d:%02d", parts.hour, parts.minute);
        return std::string(text);
    };
    return row.punch_type + " " + clock(row.time_in) + " " + clock(row.time_out);
}

// A stored row with every field: card, the row as above, the days in and out ("-" for none),
// the notes in brackets, then each amount that is not zero by its column.
inline std::string DescribeWholeRow(const orvane::ClockDatabase::Row& row) {
    const auto day = [](const std::optional<platform::Date>& date) {
        const auto parts = platform::split_rounded(date.value_or(platform::Date{}));
        return date ? std::to_string(parts.month) + "/" + std::to_string(parts.day) + "/" +
                          std::to_string(parts.year)
                    : std::string("-");
    };
    std::string text = std::to_string(row.card) + " " + DescribeRow(row) + " on " +
                       day(row.date_in) + " " + day(row.date_out) + " [" + row.notes + "]";
    const std::pair<const char*, double> amounts[] = {
        {"Holiday", row.holiday}, {"Sick", row.sick},         {"Vacation", row.vacation},
        {"Bonus", row.bonus},     {"Advances", row.advances}, {"Personal", row.personal},
        {"Other", row.other}};
    for (const auto& [column, amount] : amounts) {
        char shown[40];
        std::snprintf(shown, sizeof shown, " %s %g", column, amount);
        text += amount != 0 ? shown : "";
    }
    return text;
}

// A card's stored rows, described in short or whole.
inline std::vector<std::string> StoredRows(const orvane::ClockDatabase& db, int32_t card,
                                           bool whole = false) {
    std::vector<std::string> rows;
    for (const auto& row : db.Rows(card))
        rows.push_back(whole ? DescribeWholeRow(row) : DescribeRow(row));
    return rows;
}

// The automatic punch's lookup as the step writes it: a card's punches from 6 PM on 12/3/2026
// (day 46359) to noon on 12/4/2026, latest first.
inline std::string AutomaticPunchLookup(int32_t card) {
    const std::string window = " BETWEEN #12/3/2026 6:00:00 PM# AND #12/4/2026 12:00:00 PM#";
    const std::string moment = "IIf(IsNull([Date In]),[Date Out]+[Time Out],[Date In]+[Time In])";
    return "SELECT [Clock Data Table].[Card ID], [Clock Data Table].[Date In], [Clock Data "
           "Table].[Time In], [Clock Data Table].[Date Out], [Clock Data Table].[Time Out], "
           "[Clock Data Table].[Punch Type], " +
           moment +
           " AS SortByDateTime FROM [Clock Data Table] WHERE [Card ID]=" + std::to_string(card) +
           " AND (([Date In]+[Time In])" + window + " OR ([Date Out]+[Time Out])" + window +
           ") AND ([Punch Type] IN (\"I\",\"O\",\"LI\",\"LO\",\"BI\",\"BO\")) ORDER BY " + moment +
           " DESC;";
}

// Query text translated as the host's database object runs it on a clock database: a SELECT
// reads the view of the punches as corrected.
inline orvane::sql::Translation OverCorrectedPunches(std::string_view sql,
                                                     orvane::sql::Target target) {
    return orvane::sql::Translate(sql, target,
                                  orvane::sql::TableAlias{"Clock Data Table", "Clock Punches"});
}
