#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "host/database/StoreEngine.h"
#include "platform/Variant.h"

namespace orvane {

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

using ClockRow = ClockDatabase::Row;

// One column of the "Clock Data Table" after its key and card: its name (the record field's
// name), what it holds, and the member of ClockDatabase::Row that holds it when read.
struct RecordColumn {
    std::string_view name;
    FieldKind kind = FieldKind::Amount;
    std::optional<platform::Date> ClockRow::*moment = nullptr;
    std::string ClockRow::*text = nullptr;
    double ClockRow::*amount = nullptr;
};

constexpr RecordColumn MomentColumn(std::string_view name,
                                    std::optional<platform::Date> ClockRow::*member) {
    return {name, FieldKind::Moment, member, nullptr, nullptr};
}
constexpr RecordColumn TextColumn(std::string_view name, std::string ClockRow::*member) {
    return {name, FieldKind::Text, nullptr, member, nullptr};
}
constexpr RecordColumn AmountColumn(std::string_view name, double ClockRow::*member) {
    return {name, FieldKind::Amount, nullptr, nullptr, member};
}

// The columns of a punch record, in the order of the table. The schema of every engine and of
// the clock's local copy, the lists the statements select, the reading of a row, the binding of
// a record's fields and the copy's rows all come from here: a new field of the record is one
// line here and its member in ClockDatabase::Row.
inline constexpr RecordColumn kRecordColumns[] = {
    MomentColumn("Date In", &ClockRow::date_in),     MomentColumn("Time In", &ClockRow::time_in),
    MomentColumn("Date Out", &ClockRow::date_out),   MomentColumn("Time Out", &ClockRow::time_out),
    TextColumn("Punch Type", &ClockRow::punch_type), TextColumn("Notes", &ClockRow::notes),
    AmountColumn("Holiday", &ClockRow::holiday),     AmountColumn("Sick", &ClockRow::sick),
    AmountColumn("Vacation", &ClockRow::vacation),   AmountColumn("Bonus", &ClockRow::bonus),
    AmountColumn("Advances", &ClockRow::advances),   AmountColumn("Personal", &ClockRow::personal),
    AmountColumn("Other", &ClockRow::other),
};

// The two moment indexes, led by the card, that serve the automatic punch's lookup on the clock
// database and on the clock's local copy alike: it asks for one card's rows whose in-moment or
// out-moment lies in a window, and the engine reads only the rows inside the window (a
// multi-index OR), however long the employee's history. There is deliberately no index on the
// card alone: beside the two, it lets the engine read the employee's whole history instead.
inline constexpr const char* kMomentIndexes = R"sql(
CREATE INDEX IF NOT EXISTS "Clock Data In Moment"
    ON "Clock Data Table" ("Card ID", ("Date In"+"Time In"));
CREATE INDEX IF NOT EXISTS "Clock Data Out Moment"
    ON "Clock Data Table" ("Card ID", ("Date Out"+"Time Out"));
)sql";

// The column of a field's name; none for a name outside the record.
const RecordColumn* RecordColumnNamed(std::string_view field);

// A name quoted for SQL.
std::string Quoted(std::string_view name);
// A column's type and default as a CREATE TABLE or an ADD COLUMN says it on `engine`.
std::string ColumnDefinition(const StoreEngine& engine, const RecordColumn& column);
// Every record column's name with its definition.
std::vector<std::pair<std::string, std::string>> RecordColumnDefinitions(const StoreEngine& engine);
// The columns' definitions as a CREATE TABLE lists them, one a line, separated by commas.
std::string DefinitionLines(const std::vector<std::pair<std::string, std::string>>& columns);
// Adds to a table each of `columns` (name and definition) that it lacks: a table made by an
// earlier version of the clock gains the columns added since.
void AddMissingColumns(StoreEngine& engine, std::string_view table,
                       const std::vector<std::pair<std::string, std::string>>& columns,
                       std::string_view doing);
// Every record column's quoted name, separated by commas: what a SELECT of a row lists after
// its "ID" and "Card ID".
std::string RecordColumnList();

// Reads the record columns of the current row, which start at column `first`.
void ReadRecordColumns(const SqlRows& rows, int first, ClockRow& row);
// A whole row as the clock database's statements select it: "ID", "Card ID", then the record
// columns.
ClockRow ReadRow(const SqlRows& rows);
// Appends the row's record columns as values, in the order of the table.
void AppendRecordValues(const ClockRow& row, std::vector<SqlValue>& values);

// A field's value as the record stores it: a text as text (empty for a null), a moment as days
// (null for a null), an amount as a number (null for a null).
SqlValue StoredValue(const RecordColumn& column, const platform::Variant& value);
// Writes a field's value into the row's member; a null leaves the member as it is.
void SetRowField(ClockRow& row, const RecordColumn& column, const platform::Variant& value);

// Whether a field of the record holds a moment, or a text.
bool IsDateField(std::string_view field);
bool IsTextField(std::string_view field);

}  // namespace orvane
