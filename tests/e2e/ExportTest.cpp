#include "tests/e2e/Timeclock.h"
#include "tests/support/PayHistory.h"

namespace {

using nlohmann::json;

// The payroll export: one 10-hour day paid under daily overtime, and a second employee with a
// name a spreadsheet would take for a formula and an out punch with no in before it.
class ExportTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        ASSERT_TRUE(AddEmployee(1001, "Renée Okafor"));
        ASSERT_TRUE(AddEmployee(1002, "=SUM(A1:A9)"));
        auto punches = pay_history::TenHourDay(1001, "08:00:00");
        punches.push_back(pay_history::OutWithoutIn(1002));
        for (const auto& punch : punches)
            ASSERT_NO_FATAL_FAILURE(PunchButton(punch.at, punch.card, punch.in ? 0 : 1));
    }
    // The export in `format` under daily overtime and the settings in `config`.
    Result Export(const std::string& format, std::vector<std::string> extra,
                  const json& config = json::object()) const {
        json settings = {{"pay_rules", {{"overtime", "california"}}}};
        settings.update(config);
        const auto file = pay_history::WriteConfig(m_folder / "export.json", settings);
        extra.insert(extra.begin(), {"export", "--format", format, "--config", file});
        return RunOnDb(extra);
    }
};

TEST_F(ExportTest, UnresolvedExceptionsRefuseTheExportUnlessForced) {
    const auto refused = Export("csv", {"--from", "2026-12-01", "--to", "2026-12-07"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("card 1002 =SUM(A1:A9), 2026-12-02: "), std::string::npos)
        << refused.err;

    const auto forced = Export("csv", {"--from", "2026-12-01", "--to", "2026-12-07", "--force"});
    ASSERT_EQ(forced.status, 0) << forced.err;
    // The clock's own CSV, with the formula kept as text.
    EXPECT_EQ(forced.out.rfind("Card,Name,Date,Worked", 0), 0u);
    EXPECT_NE(forced.out.find("\n1002,'=SUM(A1:A9),2026-12-02,"), std::string::npos) << forced.out;
}

TEST_F(ExportTest, ShippedTemplatesWriteTheDayAsPayrollReadsIt) {
    const std::vector<std::string> day{"--from", "2026-12-01", "--to", "2026-12-01"};
    struct Case {
        std::string format;
        std::string expected;
    };
    const Case cases[] = {
        {"hours-by-code",
         "Employee ID,Employee Name,Period Start,Period End,REG,OT,DT\n"
         "1001,Renée Okafor,2026-12-01,2026-12-01,8.00,2.00,0.00\n"},
        {"daily",
         "Employee ID,Employee Name,Work Date,Regular Hours,Overtime Hours,Double Time Hours\n"
         "1001,Renée Okafor,12/01/2026,8.00,2.00,0.00\n"},
        // Widths 9, 30, 8 and 7: cut or padded by bytes, numbers to the right.
        {"fixed-width", "     1001Renée Okafor                 20261201   8.00   2.00   0.00\n"},
    };
    for (const auto& c : cases) {
        const auto result = Export(c.format, day);
        ASSERT_EQ(result.status, 0) << c.format << ": " << result.err;
        EXPECT_EQ(result.out, c.expected) << c.format;
    }
}

TEST_F(ExportTest, WritesAFileWithAByteOrderMark) {
    const auto file = m_folder / "payroll.csv";
    const auto result =
        Export("daily", {"--period", "2026-12-01", "--bom", "--force", "--output", file.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "");
    const std::string written = ReadText(file);
    EXPECT_TRUE(written.starts_with(std::string("\xEF\xBB\xBF") + "Employee ID,")) << written;
}

TEST_F(ExportTest, AConfiguredTemplateReplacesAShippedOneAndAWrongOneIsNamed) {
    const json daily = {
        {"daily",
         {{"delimiter", ";"},
          {"headers", false},
          {"number_format", "0.0"},
          {"columns",
           {{{"field", "text"}, {"value", "E01"}}, {{"field", "card"}}, {{"field", "worked"}}}}}}};
    const auto replaced = Export("daily", {"--from", "2026-12-01", "--to", "2026-12-01"},
                                 {{"export_templates", daily}});
    ASSERT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(replaced.out, "E01;1001;10.0\n");

    const json wrong = {{"payroll", {{"columns", {{{"field", "salary"}}}}}}};
    const auto refused = Export("payroll", {"--from", "2026-12-01", "--to", "2026-12-01"},
                                {{"export_templates", wrong}});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("export_templates.payroll.columns[0].field"), std::string::npos)
        << refused.err;
}

}  // namespace
