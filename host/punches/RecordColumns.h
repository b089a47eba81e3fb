#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host/punches/Row.h"
#include "platform/Date.h"

namespace punches {

// What a field of a punch record holds.
enum class FieldKind {
    // A moment as the platform's date type: "Date In"/"Date Out" whole days, "Time In"/"Time Out"
    // a time of day on day zero. Null until written.
    Moment,
    // A text, empty until written.
    Text,
    // A number of hours or dollars, 0 until written.
    Amount,
};

// One column of the "Clock Data Table" after its key and card: its name (the record field's
// name), what it holds, and the member of Row that holds it when read.
struct RecordColumn {
    std::string_view name;
    FieldKind kind = FieldKind::Amount;
    std::optional<platform::Date> Row::*moment = nullptr;
    std::string Row::*text = nullptr;
    double Row::*amount = nullptr;
};

constexpr RecordColumn MomentColumn(std::string_view name,
                                    std::optional<platform::Date> Row::*member) {
    return {name, FieldKind::Moment, member, nullptr, nullptr};
}
constexpr RecordColumn TextColumn(std::string_view name, std::string Row::*member) {
    return {name, FieldKind::Text, nullptr, member, nullptr};
}
constexpr RecordColumn AmountColumn(std::string_view name, double Row::*member) {
    return {name, FieldKind::Amount, nullptr, nullptr, member};
}

// The columns of a punch record, in the order of the table. The schema of every engine and of
// the clock's local copy, the lists the statements select, the reading of a row, the binding of
// a record's fields, the copy's rows and the field set of the record the step fills all come
// from here: a new field of the record is one line here and its member in Row.
inline constexpr RecordColumn kRecordColumns[] = {
    MomentColumn("Date In", &Row::date_in),     MomentColumn("Time In", &Row::time_in),
    MomentColumn("Date Out", &Row::date_out),   MomentColumn("Time Out", &Row::time_out),
    TextColumn("Punch Type", &Row::punch_type), TextColumn("Notes", &Row::notes),
    AmountColumn("Holiday", &Row::holiday),     AmountColumn("Sick", &Row::sick),
    AmountColumn("Vacation", &Row::vacation),   AmountColumn("Bonus", &Row::bonus),
    AmountColumn("Advances", &Row::advances),   AmountColumn("Personal", &Row::personal),
    AmountColumn("Other", &Row::other),
};

}  // namespace punches
