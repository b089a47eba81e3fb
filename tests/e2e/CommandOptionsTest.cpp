// Command lines and everything each one says, output and error output byte for byte: a person or a
// payroll script reading the output would see a wrong option, a lost line or a changed figure at
// once, and a refusal must say why and exit 2.
#include <algorithm>
#include <sstream>

#include "framework/Version.h"
#include "tests/e2e/Timeclock.h"

namespace {

class CommandOptionsTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        std::ofstream(Config()) << R"({"clock_name": "Front door"})";
        ASSERT_TRUE(AddEmployee(1001, "Avery Stone"));
        ASSERT_TRUE(AddEmployee(1005, "Noel Park"));
    }
};

const std::string kUsage = "Run with --help for more information.\n";
const std::string kCsvHeader =
    "Card,Name,Date,Worked,Lunch,Breaks,Holiday,Sick,Vacation,Personal,Funeral Leave,Jury Duty,"
    "Bonus,Advances,Other,Exceptions,Entered,Regular,Overtime,Double Time\n";
const std::string kListen =
    "timeclock serve: --listen wants ADDRESS:PORT, such as 127.0.0.1:8080\n";
const std::string kPassword =
    "timeclock admin-password: a password is 10 to 200 characters; nothing was changed\n";
const std::string kNoLeave = "0.00,0.00,0.00,0.00,0.00,0.00,0.00,0.00,0.00";

// Avery worked 08:00 to 17:30 on 2026-12-01; Noel came in at 08:00 on 2026-12-02 and never left.
// The rows run in order (those that change employees last); a command that reads the clock's
// records is given the test's database, and "CONFIG" stands for its configuration.
TEST_F(CommandOptionsTest, EachCommandLineSaysExactlyWhatItDid) {
    for (const auto& [now, card, key] : {std::tuple{"2026-12-01 08:00:00", "1001", "1"},
                                         std::tuple{"2026-12-01 17:30:00", "1001", "2"},
                                         std::tuple{"2026-12-02 08:00:00", "1005", "1"}}) {
        ASSERT_EQ(Punch(now, std::string(key) + " ENTER", {"--card", card}).status, 0) << now;
    }
    const struct {
        // Arguments separated by blanks; an underscore stands for a blank inside one.
        const char* line;
        int status;
        std::string said;
        // Standard input.
        std::string input = "";
    } cases[] = {
        {"", 2, "A subcommand is required\n" + kUsage},
        {"--version", 0, "timeclock " STAMPKIND_VERSION "\n"},
        {"kiosk-key", 2, "A subcommand is required\n" + kUsage},
        // The table by default; an open shift counts up to --now, and past the longest shift
        // it is a missing out.
        {"report --from 2026-11-29 --to 2026-12-05 --card 1005 --now 2026-12-09_09:00:00", 0,
         "Timesheet 2026-11-29 to 2026-12-05\n\nCard 1005  Noel Park\n"
         "Date        Worked          Lunch          Breaks         Leave, dollars, exceptions\n"
         "2026-12-02  0.00 (0:00)     0.00 (0:00)    0.00 (0:00)    ! missing out (in at 08:00)\n"
         "Total       0.00 (0:00)\n"},
        {"report --from 2026-11-29 --to 2026-12-05 --card 1005 --format csv --now "
         "2026-12-02_12:00:00",
         0,
         kCsvHeader + "1005,Noel Park,2026-12-02,4.00,0.00,0.00," + kNoLeave +
             ",,,4.00,0.00,0.00\n1005,Noel Park,Total,4.00,,," + kNoLeave + ",,,4.00,0.00,0.00\n"},
        {"report --period previous --now 2026-12-09_09:00:00 --card 1001 --format csv", 0,
         kCsvHeader + "1001,Avery Stone,2026-12-01,9.50,0.00,0.00," + kNoLeave +
             ",,,9.50,0.00,0.00\n1001,Avery Stone,Total,9.50,,," + kNoLeave +
             ",,,9.50,0.00,0.00\n"},
        {"export --format hours-by-code --period current --now 2026-12-02_12:00:00", 0,
         "Employee ID,Employee Name,Period Start,Period End,REG,OT,DT\n"
         "1001,Avery Stone,2026-11-29,2026-12-05,9.50,0.00,0.00\n"
         "1005,Noel Park,2026-11-29,2026-12-05,4.00,0.00,0.00\n"},
        {"export --config CONFIG --format nomina --period current", 2,
         "timeclock export: there is no export template \"nomina\"; the clock has csv, "
         "hours-by-code, daily, fixed-width\n"},
        {"export --format csv --period current --now someday", 2,
         "timeclock export: --now takes a moment as \"YYYY-MM-DD HH:MM:SS\"\n"},
        {"report --from 2026-12-05 --to 2026-12-01", 2,
         "timeclock report: the range 2026-12-05 to 2026-12-01 is empty: --from is after --to\n"},
        {"report --from 2026-12-06 --to 2026-12-07", 2,
         "timeclock report: there are no records from 2026-12-06 to 2026-12-07\n"},
        // A range of 366 days is taken; one of 367 is refused.
        {"report --from 2025-12-01 --to 2026-12-01 --card 77", 2,
         "timeclock report: card 77 is not an employee and has no records\n"},
        {"report --from 2025-11-30 --to 2026-12-01", 2,
         "timeclock report: the range is longer than a year; add --force to run it\n"},
        {"report --period someday", 2,
         "timeclock report: --period takes current, previous or a day as YYYY-MM-DD\n"},
        {"report --period current --from 2026-12-01", 2,
         "timeclock report: give either --from and --to or --period\n"},
        {"report --explain --date 2026-12-01", 2,
         "timeclock report: --explain takes --card N and --date YYYY-MM-DD\n"},
        {"whos-in --config CONFIG --now 2026-12-02_09:00:00", 0,
         "Card      Name                        State    Since                Clock\n"
         "1005      Noel Park                   working  2026-12-02T08:00:00  Front door\n"},
        {"whos-in --config CONFIG --now 2026-12-03_09:00:00", 0, "No one is in.\n"},
        {"whos-in --now someday", 2,
         "timeclock whos-in: --now takes a moment as \"YYYY-MM-DD HH:MM:SS\"\n"},
        {"exceptions --config CONFIG --now 2026-12-03_09:00:00", 0,
         "1005      Noel Park                   2026-12-02  missing out (in at 08:00)\n"
         "    fix: add the OUT at the end of this shift, or void the IN (record 2)\n"},
        {"exceptions --config CONFIG --now 2026-12-03_09:00:00 --format csv", 0,
         "card,name,date,kind,detail,fix,record\n1005,Noel Park,2026-12-02,missing_out,missing "
         "out (in at 08:00),\"add the OUT at the end of this shift, or void the IN\",2\n"},
        {"exceptions --from 2026-12-1", 2,
         "timeclock exceptions: --from takes a day as YYYY-MM-DD\n"},
        {"exceptions --to 2026-12-1", 2, "timeclock exceptions: --to takes a day as YYYY-MM-DD\n"},
        {"exceptions --from 2026-12-03 --to 2026-12-01", 2,
         "timeclock exceptions: --to is before --from\n"},
        {"punches list", 0,
         "Card  Record  Corrections\n1001  #1 \"O\" 2026-12-01 08:00 to 2026-12-01 17:30 9.50 h\n"
         "1005  #2 \"I\" 2026-12-02 08:00 to -\n"},
        {"punches void --id 7 --reason r", 2,
         "timeclock punches void: There is no punch 7 to correct.\n"},
        {"punches void --id 1", 2, "--reason is required\n" + kUsage},
        {"punches", 2, "A subcommand is required\n" + kUsage},
        {"punches list --format csv", 2, "timeclock punches list: --format is table or json\n"},
        {"punches list --from 2026-12-1", 2,
         "timeclock punches list: --from and --to take a day as YYYY-MM-DD\n"},
        {"audit --to 2000-1-1", 2, "timeclock audit: --to takes a day as YYYY-MM-DD\n"},
        {"approve --config CONFIG --week 2026-12-03 --card 1001", 0,
         "The week of 2026-11-29 is approved for card 1001.\n"},
        {"reopen --config CONFIG --week 2026-12-03 --card 1001", 0,
         "The week of 2026-11-29 is reopened for card 1001.\n"},
        {"reopen --config CONFIG --week 2026-12-03 --card 1001", 2,
         "timeclock reopen: The week of 2026-11-29 is not approved for card 1001.\n"},
        {"approve --week 2026-12-3", 2, "timeclock approve: --week takes a day as YYYY-MM-DD\n"},
        {"punch --now 2026-12-04_08:00:00", 2, "--keys is required\n" + kUsage},
        {"punch --card 1001 --manager-card 9001 --keys 1_ENTER", 2,
         "--manager-card requires --manager\n" + kUsage},
        {"punch --now 2026-12-04_25:00:00 --keys 1_ENTER", 2,
         "timeclock punch: --now \"2026-12-04 25:00:00\" is no moment of the form "
         "\"YYYY-MM-DD HH:MM:SS\"\n"},
        {"punch --now 2026-12-04_08:00:00 --keys KEY:x", 2,
         "timeclock punch: --keys: \"KEY:x\" is no character code from 0 to 32767\n"},
        // An edit saves without printing the settings.
        {"setup --config CONFIG --glidepass on", 0, ""},
        {"setup --allowed 101", 2, "--allowed: give ten characters, each 1 or 0\n" + kUsage},
        {"setup --allowed 10101010x1", 2, "--allowed: give ten characters, each 1 or 0\n" + kUsage},
        {"setup --glidepass maybe", 2, "--glidepass: maybe not in {on,off}\n" + kUsage},
        {"convert", 2, "--date or --format is required\n" + kUsage},
        {"convert --date 1/1/2026 --regional fr-FR", 2,
         "--regional: fr-FR not in {en-US,en-GB}\n" + kUsage},
        {"convert --format 830 0:00", 0, "8:30\n"},
        {"convert --format 0.1666666 .000", 0, ".167\n"},
        {"convert --format 12/4/2026_15:30 mmddyyHHnn", 0, "1204261530\n"},
        // A date part's letter quoted or escaped is text in a number's format.
        {"convert --format 830 \\d0", 0, "d830\n"},
        {"convert --format 5 \"h\"0", 0, "h5\n"},
        {"convert --format abc 0:00", 2, "timeclock convert: \"abc\" is no number\n"},
        {"convert --format abc yyyy", 2, "timeclock convert: \"abc\" is no date\n"},
        {"convert --date 12/04/26_08:30__PM", 0,
         R"({"isdate":true,"value":46360.854166666664,"text":"12/4/2026 8:30:00 PM"})"
         "\n"},
        {"convert --date 12/04/26 --regional en-GB", 0,
         R"({"isdate":true,"value":46124.0,"text":"12/04/2026"})"
         "\n"},
        {"convert --date 8:30", 0,
         R"({"isdate":true,"value":0.3541666666666667,"text":"8:30:00 AM"})"
         "\n"},
        {"convert --date 12/04/26___:____AM", 0,
         R"({"isdate":false,"value":0.0,"text":""})"
         "\n"},
        {"serve --config CONFIG --listen 127.0.0.1:", 2, kListen},
        {"serve --config CONFIG --listen 127.0.0.1", 2, kListen},
        {"serve --config CONFIG --listen :8080", 2, kListen},
        {"serve --config CONFIG --listen 127.0.0.1:65536", 2, kListen},
        {"serve --config CONFIG --listen host:8o", 2, kListen},
        {"employee rename --card 1005 --name Noel_Parks", 0, "Renamed card 1005: Noel Parks\n"},
        {"employee card --card 1005 --new-card 1006", 0,
         "Card 1005 is now card 1006, with its punches\n"},
        {"employee card --card 1006 --new-card 1006", 2,
         "timeclock employee card: --new-card is the card the employee has\n"},
        {"employee card --card 1006", 2, "timeclock employee card: --new-card is required\n"},
        {"employee remove --card 1006", 0,
         "Card 1006 is inactive: it cannot punch, and its records keep its name\n"},
        {"employee remove --card 99", 2,
         "timeclock employee remove: there is no employee with card 99\n"},
        {"employee rename --card 99 --name X", 2,
         "timeclock employee rename: there is no employee with card 99\n"},
        {"employee add --card 9001 --name Morgan_Lee --manager --pin-stdin", 0,
         "Added card 9001: Morgan Lee (manager, PIN set)\n", "2468\n"},
        {"employee pin --card 9001 --pin-stdin", 0, "PIN set for card 9001: Morgan Lee\n",
         "8642\n"},
        {"employee pin --card 1001 --pin-stdin", 2,
         "timeclock employee pin: card 1001 is not a manager's card\n", "8642\n"},
        {"employee add --card 9002 --name X --pin-stdin", 2,
         "timeclock employee add: --pin-stdin goes with add --manager or with pin\n", "8642\n"},
        {"admin-password --config CONFIG", 2, kPassword, "123456789\n"},
        {"admin-password --config CONFIG", 2, kPassword, std::string(201, 'x') + "\n"},
        {"admin-password --config CONFIG", 0, "The administrator's password is set.\n",
         "1234567890\n"},
        {"kiosk-key remove Back --config CONFIG", 1, "timeclock: no kiosk is named \"Back\"\n"},
        {"kiosk-key add Back/door --config CONFIG", 2,
         "timeclock: a kiosk's name is 1 to 40 letters, digits, blanks or \"-_.\"\n"},
        {"employee add --card 9", 2, "timeclock employee add: --name is required\n"},
        {"employee add --name X", 2, "timeclock employee add: --card is required\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments;
        std::istringstream words(c.line);
        for (std::string word; words >> word;) {
            std::replace(word.begin(), word.end(), '_', ' ');
            arguments.push_back(word == "CONFIG" ? Config().string() : word);
        }
        if (!arguments.empty() && std::string(" --version kiosk-key setup convert admin-password ")
                                          .find(" " + arguments.front() + " ") == std::string::npos)
            arguments.insert(arguments.end(), {"--db", Database().string()});
        const auto result = Run(arguments, "", c.input);
        EXPECT_EQ(result.status, c.status) << c.line;
        EXPECT_EQ(result.out + result.err, c.said) << c.line;
    }
    EXPECT_EQ(StoredTypes(), (std::vector<std::string>{"O", "I"}));
}

}  // namespace
