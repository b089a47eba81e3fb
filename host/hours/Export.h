#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/hours/Timesheet.h"

namespace hours {

// One column of an export: what it carries, its header and, in a fixed-width layout, its width.
// The field "text" carries `value` as it stands (an earning code, a company number).
struct ExportColumn {
    std::string field;
    std::string header;
    int width = 0;
    std::string value;

    friend bool operator==(const ExportColumn&, const ExportColumn&) = default;
};

// How the timesheet is written for a payroll system's import: one row per employee per period
// ("period") or per employee per day with worked time ("day"), delimited or fixed width.
struct ExportTemplate {
    std::string name;
    std::string rows = "period";
    std::string layout = "delimited";  // or "fixed-width"
    std::string delimiter = ",";
    bool headers = true;
    std::string number_format = "0.00";      // hours, in the platform's number formats
    std::string date_format = "yyyy-mm-dd";  // in the platform's date formats
    std::vector<ExportColumn> columns;

    friend bool operator==(const ExportTemplate&, const ExportTemplate&) = default;
};

// The fields a column can carry.
inline constexpr const char* kExportFields[] = {
    "card", "name", "date", "from", "to", "worked", "regular", "overtime", "double_time", "text"};

// The templates every clock has: "hours-by-code", "daily" and "fixed-width".
std::vector<ExportTemplate> BuiltInTemplates();

// Reads the "export_templates" object of the configuration (template name to template). Anything
// wrong raises "Bad file format" (321) naming the template and the field.
std::vector<ExportTemplate> ReadExportTemplates(const nlohmann::json& stored);
nlohmann::json WriteExportTemplates(const std::vector<ExportTemplate>& templates);

// The template of a name: the configuration's first, then the built-in ones; none when unknown.
const ExportTemplate* FindTemplate(const std::vector<ExportTemplate>& configured,
                                   const std::vector<ExportTemplate>& built_in,
                                   const std::string& name);

// The timesheet written by a template.
std::string ExportSheet(const Timesheet& sheet, const ExportTemplate& layout);

// The exceptions in the sheet's days, one line each ("card 7 Ada Lovelace, 2026-12-01: ...").
std::vector<std::string> UnresolvedExceptions(const Timesheet& sheet);

// The byte-order mark a spreadsheet needs to read a file as UTF-8.
inline constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";

}  // namespace hours
