#include <algorithm>
#include <utility>

#include <gtest/gtest.h>

#include "host/hours/Export.h"
#include "platform/Error.h"
#include "tests/support/Raised.h"
#include "tests/support/TempFolder.h"

namespace {

using nlohmann::json;

TEST(CsvCellTest, FormulaStartsAreKeptAsTextAndSeparatorsQuoted) {
    const std::pair<const char*, const char*> cases[] = {
        {"Ada Lovelace", "Ada Lovelace"},
        {"", ""},
        {"=SUM(A1:A9)", "'=SUM(A1:A9)"},
        {"+1 555 0100", "'+1 555 0100"},
        {"-2+3", "'-2+3"},
        {"@cmd", "'@cmd"},
        {"\tpadded", "'\tpadded"},
        {"\rcarriage", "\"'\rcarriage\""},
        {"=A1,B1", "\"'=A1,B1\""},
        {"Stone, Avery", "\"Stone, Avery\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"a=b", "a=b"},  // only the first character makes a formula
        {"Renée", "Renée"},
    };
    for (const auto& [text, cell] : cases)
        EXPECT_EQ(hours::CsvCell(text), cell) << text;
    EXPECT_EQ(hours::CsvCell("a;b", ';'), "\"a;b\"");
    EXPECT_EQ(hours::CsvCell("a,b", ';'), "a,b");
}

// Two employees over a week: one worked three days, with 2:00 of overtime on the second and a
// single minute on the third; the other worked nothing but has a day with an exception.
hours::Timesheet Week() {
    hours::SheetDay first, second, third, fifth;
    first.figures.day = 46357;
    first.pay.worked = first.pay.regular = 480;
    second.figures.day = 46358;
    second.pay.worked = 615;
    second.pay.regular = 480;
    second.pay.overtime = 135;
    third.figures.day = 46359;
    third.pay.worked = third.pay.regular = 1;
    fifth.figures.day = 46361;
    fifth.figures.exceptions = {{.record_id = 3, .at = 0, .text = "missing in"}};
    hours::Timesheet sheet;
    sheet.from = 46357;  // 2026-12-01
    sheet.to = 46363;
    sheet.employees = {
        {.card = 7,
         .name = "Lovelace, Ada",
         .days = {first, second, third},
         .worked = 1096,
         .leave = {},
         .dollars = {},
         .regular = 961,
         .overtime = 135},
        {.card = 12, .name = "=HYPERLINK()", .days = {fifth}, .leave = {}, .dollars = {}}};
    return sheet;
}

const hours::ExportTemplate& Shipped(const std::string& name) {
    static const auto templates = hours::BuiltInTemplates();
    const auto* found = hours::FindTemplate({}, templates, name);
    EXPECT_NE(found, nullptr) << name;
    return *found;
}

TEST(ExportSheetTest, ShippedTemplates) {
    const auto sheet = Week();
    EXPECT_EQ(hours::ExportSheet(sheet, Shipped("hours-by-code")),
              "Employee ID,Employee Name,Period Start,Period End,REG,OT,DT\n"
              "7,\"Lovelace, Ada\",2026-12-01,2026-12-07,16.02,2.25,0.00\n"
              "12,'=HYPERLINK(),2026-12-01,2026-12-07,0.00,0.00,0.00\n");
    // A day without work is no row.
    EXPECT_EQ(hours::ExportSheet(sheet, Shipped("daily")),
              "Employee ID,Employee Name,Work Date,Regular Hours,Overtime Hours,Double Time Hours\n"
              "7,\"Lovelace, Ada\",12/01/2026,8.00,0.00,0.00\n"
              "7,\"Lovelace, Ada\",12/02/2026,8.00,2.25,0.00\n"
              "7,\"Lovelace, Ada\",12/03/2026,0.02,0.00,0.00\n");
    // Text is cut to its width and never quoted: the layout has no separators.
    EXPECT_EQ(hours::ExportSheet(sheet, Shipped("fixed-width")),
              "        7Lovelace, Ada                 20261207  16.02   2.25   0.00\n"
              "       12=HYPERLINK()                  20261207   0.00   0.00   0.00\n");
}

// Widths count bytes, and a cut never splits a character: the cell is padded instead.
TEST(ExportSheetTest, FixedWidthNeverCutsACharacter) {
    hours::Timesheet sheet;
    for (const char* name : {"\u00C5sa", "abc\u00E9", "\u00E9\u00E9\u00E9\u00E9\u00E9"}) {
        hours::EmployeeSheet employee;
        employee.name = name;
        sheet.employees.push_back(employee);
    }
    hours::ExportTemplate layout;
    layout.layout = "fixed-width";
    layout.headers = false;
    layout.columns = {{"name", "name", 4, {}}, {"text", "", 1, "|"}};
    EXPECT_EQ(hours::ExportSheet(sheet, layout), "\u00C5sa|\nabc |\n\u00E9\u00E9|\n");
}

TEST(ExportSheetTest, UnresolvedExceptionsNameEmployeeAndDay) {
    EXPECT_EQ(hours::UnresolvedExceptions(Week()),
              std::vector<std::string>{"card 12 =HYPERLINK(), 2026-12-05: missing in"});
}

TEST(ExportTemplatesTest, ReadBackWhatIsWritten) {
    // Templates are kept by name, so they come back in the order of their names.
    auto shipped = hours::BuiltInTemplates();
    std::sort(shipped.begin(), shipped.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    EXPECT_TRUE(hours::ReadExportTemplates(hours::WriteExportTemplates(shipped)) == shipped);
}

// The user guide shows the shipped templates as a configuration would hold them.
TEST(ExportTemplatesTest, TheGuideShowsTheShippedTemplates) {
    const auto guide = ReadText(std::filesystem::path(STAMPKIND_SOURCE_DIR) / "docs/hours.md");
    const auto start = guide.find("```json\n{\"export_templates\"");
    ASSERT_NE(start, std::string::npos);
    const auto end = guide.find("```\n", start + 7);
    const auto shown = json::parse(guide.substr(start + 7, end - start - 7));
    EXPECT_EQ(shown["export_templates"], hours::WriteExportTemplates(hours::BuiltInTemplates()));
}

TEST(ExportTemplatesTest, AWrongTemplateIsNamedWithItsField) {
    struct Case {
        const char* stored;
        const char* where;
    };
    const Case cases[] = {
        {R"([])", "\"export_templates\""},
        {R"({"csv": {"columns": [{"field": "card"}]}})", "\"export_templates.csv\""},
        {R"({"p": {}})", "\"export_templates.p.columns\""},
        {R"({"p": {"columns": [{"field": "pay"}]}})", "\"export_templates.p.columns[0].field\""},
        {R"({"p": {"rows": "week", "columns": [{"field": "card"}]}})",
         "\"export_templates.p.rows\""},
        {R"({"p": {"delimiter": ";;", "columns": [{"field": "card"}]}})",
         "\"export_templates.p.delimiter\""},
        {R"({"p": {"colums": []}})", "\"export_templates.p.colums\""},
        {R"({"p": {"layout": "fixed-width", "columns": [{"field": "card"}]}})",
         "\"export_templates.p.columns[0].width\""},
        {R"({"p": {"columns": [{"field": "card", "width": 0}]}})",
         "\"export_templates.p.columns[0].width\""},
        {R"({"p": {"headers": "yes", "columns": [{"field": "card"}]}})",
         "\"export_templates.p.headers\""},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(ErrorNumberOf([&] { hours::ReadExportTemplates(json::parse(c.stored)); }, &error),
                  platform::err::kBadFileFormat)
            << c.stored;
        EXPECT_EQ(error.rfind(c.where, 0), 0u) << error;
    }
}

}  // namespace
