#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/database/ClockDatabase.h"
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

// A card's stored rows, described.
inline std::vector<std::string> StoredRows(const orvane::ClockDatabase& db, int32_t card) {
    std::vector<std::string> rows;
    for (const auto& row : db.Rows(card))
        rows.push_back(DescribeRow(row));
    return rows;
}
