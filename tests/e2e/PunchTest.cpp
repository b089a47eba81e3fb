#include <map>

#include "host/database/ClockDatabase.h"
#include "tests/e2e/Timeclock.h"

namespace {

using nlohmann::json;

class PunchTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        ASSERT_EQ(Run({"employee", "add", "--db", Database().string(), "--card", "1001", "--name",
                       "Avery Stone"})
                      .status,
                  0);
    }

    std::vector<orvane::ClockDatabase::Row> Rows() const {
        return orvane::ClockDatabase(Database()).Rows(1001);
    }

    Result CardPunch(const std::string& now, const std::string& keys,
                     std::vector<std::string> extra = {}) const {
        extra.insert(extra.begin(), {"--card", "1001"});
        return Punch(now, keys, extra);
    }
};

TEST_F(PunchTest, SwitchClosesTheRecordAndOpensANewOne) {
    const auto report = CardPunch("2026-12-04 11:00:00", "7 ENTER").json();
    EXPECT_EQ(report["value"], "SW");
    ASSERT_EQ(report["records"].size(), 2u);
    EXPECT_EQ(report["records"][0]["fields"]["Punch Type"], "O");
    EXPECT_EQ(report["records"][0]["fields"]["Time Out"], "1899-12-30T11:00:00");
    EXPECT_EQ(report["records"][1]["name"], "I");
    EXPECT_EQ(report["records"][1]["fields"]["Punch Type"], "I");
    EXPECT_EQ(report["records"][1]["fields"]["Time In"], "1899-12-30T11:00:00");
    EXPECT_FALSE(Rows().empty());
}

struct ManagerCase {
    const char* code;
    const char* keys;
    const char* punch_type;
    const char* amount_field;  // "" when the punch has no amount
    double amount;

    friend void PrintTo(const ManagerCase& c, std::ostream* os) { *os << c.code; }
};

class ManagerPunch : public PunchTest, public ::testing::WithParamInterface<ManagerCase> {};

// Every manager punch code with the values its keypads collect, typed as the manager would.
// Funeral leave and jury duty fail the step's own check of its value (reported as not valid)
// but are stored all the same, as the step writes them.
TEST_P(ManagerPunch, StoresTheEnteredValues) {
    const auto& c = GetParam();
    const auto result = CardPunch("2026-12-05 09:00:00", c.keys, {"--manager"});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    const auto report = result.json();
    EXPECT_EQ(report["value"], c.code);
    EXPECT_EQ(report["finished"], true);
    EXPECT_TRUE(report["pauses"].empty()) << report["pauses"];
    if (*c.amount_field) {
        EXPECT_NEAR(report["step"]["Amount"].get<double>(), c.amount, 1e-9);
    }
    const bool fails_check = std::string(c.code) == "FL" || std::string(c.code) == "JD";
    EXPECT_EQ(report["valid"], !fails_check);
    ASSERT_GE(report["records"].size(), 1u);
    const auto& fields = report["records"][0]["fields"];
    EXPECT_EQ(fields["Punch Type"], c.punch_type);
    if (*c.amount_field) {
        EXPECT_NEAR(fields[c.amount_field].get<double>(), c.amount, 1e-9) << fields;
        EXPECT_EQ(fields["Date In"], "2026-12-04T00:00:00");
    }
    EXPECT_FALSE(Rows().empty());
}

INSTANTIATE_TEST_SUITE_P(
    E2E, ManagerPunch,
    ::testing::Values(
        ManagerCase{"I", "1 ENTER 1204260800 ENTER", "I", "", 0},
        ManagerCase{"O", "2 ENTER 1204260500 / ENTER", "O", "", 0},
        ManagerCase{"LO", "3 ENTER 1204261200 / ENTER", "O", "", 0},
        ManagerCase{"LI", "4 ENTER 1204261230 / ENTER", "I", "", 0},
        ManagerCase{"BO", "5 ENTER 1204261500 ENTER", "BO", "", 0},
        ManagerCase{"BI", "6 ENTER 1204261515 ENTER", "BI", "", 0},
        ManagerCase{"SW", "7 ENTER 1204261100 ENTER", "O", "", 0},
        ManagerCase{"A", "+ 1 ENTER 1204260800 ENTER 5000 ENTER", "A", "Advances", 50.0},
        ManagerCase{"H", "+ 2 ENTER 1204260800 ENTER 0800 ENTER", "H", "Holiday", 8.0},
        ManagerCase{"S", "+ 3 ENTER 1204260800 ENTER 0430 ENTER", "S", "Sick", 4.5},
        ManagerCase{"V", "+ 4 ENTER 1204260800 ENTER 0800 ENTER", "V", "Vacation", 8.0},
        ManagerCase{"P", "+ 5 ENTER 1204260800 ENTER 0215 ENTER", "P", "Personal", 2.25},
        ManagerCase{"B", "+ 6 ENTER 1204260800 ENTER 0100 ENTER", "B", "Bonus", 1.0},
        ManagerCase{"X", "+ 7 ENTER 1204260800 ENTER 1234 ENTER", "X", "Other", 12.34},
        ManagerCase{"FL", "+ 8 ENTER 1204260800 ENTER 0800 ENTER", "P", "Personal", 8.0},
        ManagerCase{"JD", "+ + 1 ENTER 1204260800 ENTER 0800 ENTER", "P", "Personal", 8.0},
        ManagerCase{"C", "+ + 2 ENTER 1204260800 ENTER 1204260430 / ENTER", "E", "", 0}),
    [](const auto& info) { return std::string(info.param.code); });

TEST_F(PunchTest, ManagerCompleteEntryKeepsBothMoments) {
    const auto report = CardPunch("2026-12-05 09:00:00",
                                  "+ + 2 ENTER 1204260800 ENTER 1204260430 / ENTER", {"--manager"})
                            .json();
    EXPECT_EQ(report["step"]["DateTimeIn"], "2026-12-04T08:00:00");
    EXPECT_EQ(report["step"]["DateTimeOut"], "2026-12-04T16:30:00");
}

TEST_F(PunchTest, RefusedEntryShowsItsMessageAndPausesAndStoresNothing) {
    const auto result = CardPunch("2026-12-05 09:00:00", "1 ENTER 1399260800 ENTER", {"--manager"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto report = result.json();
    EXPECT_EQ(report["finished"], false);
    EXPECT_EQ(report["pauses"], json({2000}));
    EXPECT_NE(std::find(report["display"].begin(), report["display"].end(),
                        json({"ShowError", "Invalid Date or Time"})),
              report["display"].end())
        << report["display"];
    EXPECT_TRUE(report["records"].empty());
    EXPECT_TRUE(Rows().empty());
}

TEST_F(PunchTest, CardThatIsNoNumberWithTheAutomaticPunchIsAClearError) {
    ASSERT_EQ(Run({"setup", "--config", Config().string(), "--glidepass", "on"}).status, 0);
    const auto result = Punch("2026-12-04 08:00:00", "", {"--card", "12ab"});
    EXPECT_EQ(result.status, 1);
    const auto report = result.json();
    ASSERT_TRUE(report.contains("error")) << result.out;
    EXPECT_EQ(report["error"]["number"], 13);
    EXPECT_EQ(report["error"]["description"], "Type mismatch");
    EXPECT_TRUE(orvane::ClockDatabase(Database()).Rows().empty());
}

TEST_F(PunchTest, SkipButtonRecordsNothing) {
    const auto report = CardPunch("2026-12-04 08:00:00", "CLICK:cmdSkip", {"--manager"}).json();
    EXPECT_EQ(report["finished"], true);
    EXPECT_EQ(report["valid"], false);
    EXPECT_EQ(report["value"], "");
    EXPECT_TRUE(Rows().empty());
}

// The scripted punch stores what it is told and says what a kiosk would have guarded.
TEST_F(PunchTest, NoticeNamesWhatAKioskWouldHaveGuarded) {
    const std::vector<std::tuple<const char*, const char*, json>> punches{
        {"2026-12-04 08:00:00", "1 ENTER", nullptr},
        {"2026-12-04 08:00:30", "1 ENTER", "duplicate of the IN at 08:00"},
        {"2026-12-04 17:00:00", "2 ENTER", nullptr},
        {"2026-12-04 17:30:00", "2 ENTER", "not clocked in"},
    };
    for (const auto& [now, keys, notice] : punches) {
        const auto report = CardPunch(now, keys).json();
        EXPECT_EQ(report["notice"], notice) << now;
    }
    // Both ins are stored; each out closes one of them.
    EXPECT_EQ(Rows().size(), 2u);
    const auto last = CardPunch("2026-12-04 18:00:00", "1 ENTER").json();
    EXPECT_EQ(last["confirmation"], json({"IN 12/04/2026 18:00"}));
    EXPECT_EQ(last["stored"], "stored");
}

// A click on a keypad that is not on show does nothing and is reported; the punch goes on.
TEST_F(PunchTest, ClickOnAControlNotOnShowDoesNothing) {
    const auto result = CardPunch("2026-12-04 08:00:00", "CLICK:TimeIn1.cmdButton(5) 1 ENTER");
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    const auto report = result.json();
    EXPECT_EQ(report["ignored_clicks"], json({"TimeIn1.cmdButton(5)"}));
    EXPECT_EQ(report["value"], "I");
    EXPECT_EQ(Rows().size(), 1u);
}

TEST_F(PunchTest, UsageErrors) {
    EXPECT_EQ(Run({"punch", "--db", Database().string()}).status, 2);
    EXPECT_EQ(Punch("2026-12-04 25:00:00", "1 ENTER").status, 2);
    EXPECT_EQ(Punch("2026-12-04 08:00:00", "KEY:x").status, 2);
    EXPECT_TRUE(Rows().empty());
}

}  // namespace
