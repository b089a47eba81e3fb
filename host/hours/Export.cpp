#include "host/hours/Export.h"

#include <algorithm>
#include <iterator>

#include "platform/Convert.h"
#include "platform/Error.h"

namespace hours {

namespace {

using nlohmann::json;

[[noreturn]] void Refuse(const std::string& where, const std::string& problem) {
    platform::raise(platform::err::kBadFileFormat, "\"export_templates." + where + "\" " + problem);
}

bool IsField(const std::string& field) {
    return std::find(std::begin(kExportFields), std::end(kExportFields), field) !=
           std::end(kExportFields);
}

// What one row stands for: an employee over the sheet's range, or on one day of it.
struct RowValues {
    const EmployeeSheet& employee;
    int64_t date;
    Minutes worked;
    Minutes regular;
    Minutes overtime;
    Minutes double_time;
};

bool IsNumber(const std::string& field) {
    return field == "card" || field == "worked" || field == "regular" || field == "overtime" ||
           field == "double_time";
}

std::string Cell(const ExportColumn& column, const RowValues& row, const Timesheet& sheet,
                 const ExportTemplate& layout) {
    const auto hours = [&](Minutes minutes) {
        return platform::format_number(DecimalHours(minutes), layout.number_format);
    };
    const auto date = [&](int64_t day) {
        return platform::format_date(platform::Date{static_cast<double>(day)}, layout.date_format);
    };
    const std::string& f = column.field;
    if (f == "card")
        return std::to_string(row.employee.card);
    if (f == "name")
        return row.employee.name;
    if (f == "date")
        return date(row.date);
    if (f == "from")
        return date(sheet.from);
    if (f == "to")
        return date(sheet.to);
    if (f == "worked")
        return hours(row.worked);
    if (f == "regular")
        return hours(row.regular);
    if (f == "overtime")
        return hours(row.overtime);
    if (f == "double_time")
        return hours(row.double_time);
    return column.value;
}

// A cell cut or padded to its width: numbers to the right, text to the left. The width counts
// bytes, the positions payroll reads; a cut never splits a UTF-8 character (its continuation
// bytes go with it, and the cell is padded instead).
std::string Fixed(std::string text, const ExportColumn& column) {
    const auto width = static_cast<size_t>(column.width);
    if (text.size() > width) {
        size_t end = width;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        text.resize(end);
    }
    const std::string pad(width - text.size(), ' ');
    return IsNumber(column.field) ? pad + text : text + pad;
}

std::string Line(const std::vector<std::string>& cells, const ExportTemplate& layout) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
        const ExportColumn& column = layout.columns[i];
        if (layout.layout == "fixed-width") {
            line += Fixed(cells[i], column);
        } else {
            if (i > 0)
                line += layout.delimiter;
            line += CsvCell(cells[i], layout.delimiter.front());
        }
    }
    return line + "\n";
}

ExportTemplate ReadTemplate(const std::string& name, const json& stored) {
    if (!stored.is_object())
        Refuse(name, "is not an object");
    ExportTemplate t;
    t.name = name;
    const auto text = [&](const char* key, std::string& member) {
        if (!stored.contains(key))
            return;
        if (!stored[key].is_string() || stored[key].get<std::string>().empty())
            Refuse(name + "." + key, "is not a text");
        member = stored[key].get<std::string>();
    };
    for (const auto& item : stored.items()) {
        static const char* const known[] = {"rows",          "layout",      "delimiter", "headers",
                                            "number_format", "date_format", "columns"};
        const std::string& key = item.key();
        if (std::find_if(std::begin(known), std::end(known),
                         [&](const char* k) { return key == k; }) == std::end(known))
            Refuse(name + "." + key, "is not a template field");
    }
    text("rows", t.rows);
    text("layout", t.layout);
    text("delimiter", t.delimiter);
    text("number_format", t.number_format);
    text("date_format", t.date_format);
    if (t.rows != "period" && t.rows != "day")
        Refuse(name + ".rows", "is neither \"period\" nor \"day\"");
    if (t.layout != "delimited" && t.layout != "fixed-width")
        Refuse(name + ".layout", "is neither \"delimited\" nor \"fixed-width\"");
    if (t.delimiter.size() != 1)
        Refuse(name + ".delimiter", "is not one character");
    if (stored.contains("headers")) {
        if (!stored["headers"].is_boolean())
            Refuse(name + ".headers", "is neither true nor false");
        t.headers = stored["headers"].get<bool>();
    }
    if (!stored.contains("columns") || !stored["columns"].is_array() || stored["columns"].empty())
        Refuse(name + ".columns", "is not a list of columns");
    for (size_t i = 0; i < stored["columns"].size(); ++i) {
        const json& c = stored["columns"][i];
        const std::string where = name + ".columns[" + std::to_string(i) + "]";
        if (!c.is_object() || !c.contains("field") || !c["field"].is_string())
            Refuse(where, "is not an object with a \"field\"");
        ExportColumn column;
        column.field = c["field"].get<std::string>();
        if (!IsField(column.field))
            Refuse(where + ".field",
                   "is not one of card, name, date, from, to, worked, regular, "
                   "overtime, double_time, text");
        column.header = c.value("header", column.field);
        column.value = c.value("value", std::string());
        if (c.contains("width")) {
            if (!c["width"].is_number_integer() || c["width"].get<int64_t>() < 1 ||
                c["width"].get<int64_t>() > 200)
                Refuse(where + ".width", "is no whole number from 1 to 200");
            column.width = c["width"].get<int>();
        }
        if (t.layout == "fixed-width" && column.width == 0)
            Refuse(where + ".width", "is missing: a fixed-width column needs its width");
        t.columns.push_back(column);
    }
    return t;
}

ExportColumn Column(std::string field, std::string header, int width = 0) {
    return {std::move(field), std::move(header), width, {}};
}

}  // namespace

std::vector<ExportTemplate> BuiltInTemplates() {
    ExportTemplate by_code{
        .name = "hours-by-code",
        .columns = {Column("card", "Employee ID"), Column("name", "Employee Name"),
                    Column("from", "Period Start"), Column("to", "Period End"),
                    Column("regular", "REG"), Column("overtime", "OT"),
                    Column("double_time", "DT")}};
    ExportTemplate daily{
        .name = "daily",
        .rows = "day",
        .date_format = "mm/dd/yyyy",
        .columns = {Column("card", "Employee ID"), Column("name", "Employee Name"),
                    Column("date", "Work Date"), Column("regular", "Regular Hours"),
                    Column("overtime", "Overtime Hours"),
                    Column("double_time", "Double Time Hours")}};
    ExportTemplate fixed{
        .name = "fixed-width",
        .layout = "fixed-width",
        .headers = false,
        .date_format = "yyyymmdd",
        .columns = {Column("card", "card", 9), Column("name", "name", 30), Column("to", "to", 8),
                    Column("regular", "regular", 7), Column("overtime", "overtime", 7),
                    Column("double_time", "double_time", 7)}};
    return {by_code, daily, fixed};
}

std::vector<ExportTemplate> ReadExportTemplates(const json& stored) {
    if (!stored.is_object())
        platform::raise(platform::err::kBadFileFormat,
                        "\"export_templates\" is not an object of templates by name");
    std::vector<ExportTemplate> templates;
    for (const auto& [name, value] : stored.items()) {
        if (name == "csv")
            Refuse(name, "is the clock's own CSV and cannot be replaced");
        templates.push_back(ReadTemplate(name, value));
    }
    return templates;
}

json WriteExportTemplates(const std::vector<ExportTemplate>& templates) {
    // What is the default is left out, as an administrator would write it.
    const ExportTemplate defaults;
    json stored = json::object();
    for (const auto& t : templates) {
        json columns = json::array();
        for (const auto& c : t.columns) {
            json column = {{"field", c.field}};
            if (c.header != c.field)
                column["header"] = c.header;
            if (c.width > 0)
                column["width"] = c.width;
            if (!c.value.empty())
                column["value"] = c.value;
            columns.push_back(column);
        }
        json& written = stored[t.name];
        const auto text = [&](const char* key, const std::string& value,
                              const std::string& standard) {
            if (value != standard)
                written[key] = value;
        };
        text("rows", t.rows, defaults.rows);
        text("layout", t.layout, defaults.layout);
        text("delimiter", t.delimiter, defaults.delimiter);
        if (t.headers != defaults.headers)
            written["headers"] = t.headers;
        text("number_format", t.number_format, defaults.number_format);
        text("date_format", t.date_format, defaults.date_format);
        written["columns"] = columns;
    }
    return stored;
}

const ExportTemplate* FindTemplate(const std::vector<ExportTemplate>& configured,
                                   const std::vector<ExportTemplate>& built_in,
                                   const std::string& name) {
    for (const auto* list : {&configured, &built_in})
        for (const auto& t : *list)
            if (t.name == name)
                return &t;
    return nullptr;
}

std::string ExportSheet(const Timesheet& sheet, const ExportTemplate& layout) {
    std::string out;
    if (layout.headers) {
        std::vector<std::string> headers;
        for (const auto& column : layout.columns)
            headers.push_back(column.header);
        out += Line(headers, layout);
    }
    const auto row = [&](const RowValues& values) {
        std::vector<std::string> cells;
        for (const auto& column : layout.columns)
            cells.push_back(Cell(column, values, sheet, layout));
        out += Line(cells, layout);
    };
    for (const auto& employee : sheet.employees) {
        if (layout.rows == "period") {
            row({employee, sheet.to, employee.worked, employee.regular, employee.overtime,
                 employee.double_time});
            continue;
        }
        for (const auto& day : employee.days)
            if (day.pay.worked > 0)
                row({employee, day.figures.day, day.pay.worked, day.pay.regular, day.pay.overtime,
                     day.pay.double_time});
    }
    return out;
}

std::vector<std::string> UnresolvedExceptions(const Timesheet& sheet) {
    std::vector<std::string> lines;
    for (const auto& employee : sheet.employees)
        for (const auto& day : employee.days)
            for (const auto& exception : day.figures.exceptions)
                lines.push_back("card " + std::to_string(employee.card) + " " + employee.name +
                                ", " + DayText(day.figures.day) + ": " + exception.text);
    return lines;
}

}  // namespace hours
