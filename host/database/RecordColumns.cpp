#include "host/database/RecordColumns.h"

#include <set>

namespace orvane {

const RecordColumn* RecordColumnNamed(std::string_view field) {
    for (const auto& column : kRecordColumns) {
        if (column.name == field)
            return &column;
    }
    return nullptr;
}

std::string Quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

std::string ColumnDefinition(const StoreEngine& engine, const RecordColumn& column) {
    switch (column.kind) {
        case FieldKind::Moment:
            return std::string(engine.TypeName(SqlType::Real));
        case FieldKind::Text:
            return std::string(engine.TypeName(SqlType::Text)) + " NOT NULL DEFAULT ''";
        case FieldKind::Amount:
            break;
    }
    return std::string(engine.TypeName(SqlType::Real)) + " NOT NULL DEFAULT 0";
}

std::vector<std::pair<std::string, std::string>> RecordColumnDefinitions(
    const StoreEngine& engine) {
    std::vector<std::pair<std::string, std::string>> columns;
    for (const auto& column : kRecordColumns)
        columns.emplace_back(column.name, ColumnDefinition(engine, column));
    return columns;
}

std::string DefinitionLines(const std::vector<std::pair<std::string, std::string>>& columns) {
    std::string lines;
    for (const auto& [name, definition] : columns) {
        if (!lines.empty())
            lines += ",\n";
        lines += "    " + Quoted(name) + " " + definition;
    }
    return lines;
}

void AddMissingColumns(StoreEngine& engine, std::string_view table,
                       const std::vector<std::pair<std::string, std::string>>& columns,
                       std::string_view doing) {
    std::set<std::string, std::less<>> present;
    const auto found =
        engine.Run(engine.ColumnsQuery(), {SqlValue::Text(std::string(table))}, doing);
    while (found->Next())
        present.insert(found->Text(0));
    for (const auto& [name, definition] : columns) {
        if (!present.contains(name)) {
            engine.Exec(
                "ALTER TABLE " + Quoted(table) + " ADD COLUMN " + Quoted(name) + " " + definition,
                doing);
        }
    }
}

std::string RecordColumnList() {
    std::string list;
    for (const auto& column : kRecordColumns) {
        if (!list.empty())
            list += ", ";
        list += Quoted(column.name);
    }
    return list;
}

void ReadRecordColumns(const SqlRows& rows, int first, ClockRow& row) {
    int index = first;
    for (const auto& column : kRecordColumns) {
        switch (column.kind) {
            case FieldKind::Moment:
                row.*column.moment = rows.IsNull(index)
                                         ? std::nullopt
                                         : std::optional(platform::Date{rows.Real(index)});
                break;
            case FieldKind::Text:
                row.*column.text = rows.Text(index);
                break;
            case FieldKind::Amount:
                row.*column.amount = rows.Real(index);
                break;
        }
        ++index;
    }
}

ClockRow ReadRow(const SqlRows& rows) {
    ClockRow row;
    row.id = rows.Int(0);
    row.card = static_cast<int32_t>(rows.Int(1));
    ReadRecordColumns(rows, 2, row);
    return row;
}

void AppendRecordValues(const ClockRow& row, std::vector<SqlValue>& values) {
    for (const auto& column : kRecordColumns) {
        switch (column.kind) {
            case FieldKind::Moment: {
                const auto& moment = row.*column.moment;
                values.push_back(moment ? SqlValue::Real(moment->days)
                                        : SqlValue::Null(SqlType::Real));
                break;
            }
            case FieldKind::Text:
                values.push_back(SqlValue::Text(row.*column.text));
                break;
            case FieldKind::Amount:
                values.push_back(SqlValue::Real(row.*column.amount));
                break;
        }
    }
}

SqlValue StoredValue(const RecordColumn& column, const platform::Variant& value) {
    const bool missing = value.is_null() || value.is_empty();
    switch (column.kind) {
        case FieldKind::Text:
            return SqlValue::Text(missing ? std::string() : value.to_text());
        case FieldKind::Moment:
            return missing ? SqlValue::Null(SqlType::Real) : SqlValue::Real(value.to_date().days);
        case FieldKind::Amount:
            break;
    }
    return missing ? SqlValue::Null(SqlType::Real) : SqlValue::Real(value.to_double());
}

void SetRowField(ClockRow& row, const RecordColumn& column, const platform::Variant& value) {
    if (value.is_null() || value.is_empty())
        return;
    switch (column.kind) {
        case FieldKind::Moment:
            row.*column.moment = value.to_date();
            break;
        case FieldKind::Text:
            row.*column.text = value.to_text();
            break;
        case FieldKind::Amount:
            row.*column.amount = value.to_double();
            break;
    }
}

bool IsDateField(std::string_view field) {
    const auto* column = RecordColumnNamed(field);
    return column && column->kind == FieldKind::Moment;
}

bool IsTextField(std::string_view field) {
    const auto* column = RecordColumnNamed(field);
    return column && column->kind == FieldKind::Text;
}

}  // namespace orvane
