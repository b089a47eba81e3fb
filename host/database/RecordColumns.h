#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "host/database/StoreEngine.h"
#include "host/punches/RecordColumns.h"
#include "platform/Variant.h"

namespace orvane {

using punches::FieldKind;
using punches::kRecordColumns;
using punches::RecordColumn;
using ClockRow = ClockDatabase::Row;

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
