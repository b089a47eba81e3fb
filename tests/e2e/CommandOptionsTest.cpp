// Options that change what a command prints or stores, each checked by what it prints: a person or
// a payroll script reading the output would see a wrong or missing option at once.
#include <algorithm>

#include "tests/e2e/Timeclock.h"

namespace {

class CommandOptionsTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        ASSERT_TRUE(AddEmployee(1001, "Avery Stone"));
        ASSERT_TRUE(AddEmployee(1005, "Noel Park"));
    }
};

// The name "DB" in a row's command line stands for the test's database.
TEST_F(CommandOptionsTest, EachOptionChangesWhatIsPrinted) {
    for (const auto& [now, card, key] : {std::tuple{"2026-12-01 08:00:00", "1001", "1"},
                                         std::tuple{"2026-12-01 17:30:00", "1001", "2"},
                                         std::tuple{"2026-12-02 08:00:00", "1005", "1"}}) {
        ASSERT_EQ(Punch(now, std::string(key) + " ENTER", {"--card", card}).status, 0) << now;
    }
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        int status;
        std::vector<std::string> shown;
        const char* not_shown;
    } cases[] = {
        {"NoSubcommand", {}, 2, {"A subcommand is required", "--help"}, ""},
        {"Version", {"--version"}, 0, {"timeclock"}, ""},
        {"ReportTable",
         {"report", "--db", "DB", "--from", "2026-11-29", "--to", "2026-12-05", "--format",
          "table"},
         0,
         {"Timesheet 2026-11-29 to 2026-12-05", "Card 1001  Avery Stone", "9.50 (9:30)"},
         "{"},
        {"ReportCsv",
         {"report", "--db", "DB", "--from", "2026-11-29", "--to", "2026-12-05", "--format", "csv"},
         0,
         {"Card,Name,Date,Worked,Lunch,Breaks,Holiday,", "1001,Avery Stone,2026-12-01,9.50,"},
         "Timesheet"},
        {"ReportOneCard",
         {"report", "--db", "DB", "--from", "2026-11-29", "--to", "2026-12-05", "--card", "1005",
          "--format", "csv"},
         0,
         {"1005,Noel Park,2026-12-02,"},
         "1001,"},
        // --now moves the present: "current" and "previous" are the periods around it, and an
        // open shift counts up to it.
        {"ExportNowCurrentPeriod",
         {"export", "--db", "DB", "--format", "csv", "--period", "current", "--now",
          "2026-12-02 12:00:00"},
         0,
         {"1001,Avery Stone,2026-12-01,9.50,", "1005,Noel Park,2026-12-02,4.00,"},
         ""},
        {"ReportNowPreviousPeriod",
         {"report", "--db", "DB", "--period", "previous", "--now", "2026-12-09 09:00:00",
          "--format", "csv"},
         0,
         {"1001,Avery Stone,2026-12-01,9.50,"},
         "2026-12-06"},
        {"ExportNowNoMoment",
         {"export", "--db", "DB", "--format", "csv", "--period", "current", "--now", "someday"},
         2,
         {"timeclock export: --now takes a moment"},
         "Card,"},
        {"WhosInTable",
         {"whos-in", "--db", "DB", "--now", "2026-12-02 09:00:00", "--format", "table"},
         0,
         {"Noel Park"},
         "Avery"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto arguments = c.arguments;
        std::replace(arguments.begin(), arguments.end(), std::string("DB"), Database().string());
        const auto result = Run(arguments);
        const auto said = result.out + result.err;
        EXPECT_EQ(result.status, c.status) << said;
        for (const auto& text : c.shown)
            EXPECT_NE(said.find(text), std::string::npos) << text << " not in\n" << said;
        if (*c.not_shown) {
            EXPECT_EQ(said.find(c.not_shown), std::string::npos) << said;
        }
    }
}

// `setup --show` shows the settings and changes nothing: a file written by hand stays the same byte
// for byte, where saving it would write it out in full.
TEST_F(CommandOptionsTest, SetupShowChangesNothing) {
    const std::string by_hand = R"({"steps": ["Employee ID", "Punch Entry"], "idle_seconds": 20})";
    std::ofstream(Config()) << by_hand;
    const auto shown = Run({"setup", "--config", Config().string(), "--show"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.json()["AllowedStampkinds"], "1111111111");
    EXPECT_EQ(shown.json()["IsGlidepass"], false);
    EXPECT_EQ(ReadText(Config()), by_hand);
}

}  // namespace
