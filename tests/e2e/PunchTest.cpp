#include <fstream>

#include "host/database/ClockDatabase.h"
#include "tests/e2e/Timeclock.h"

namespace {

using nlohmann::json;

class PunchTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        ASSERT_TRUE(AddEmployee(1001, "Avery Stone"));
    }

    Result CardPunch(const std::string& now, const std::string& keys,
                     std::vector<std::string> extra = {}) const {
        extra.insert(extra.begin(), {"--card", "1001"});
        return Punch(now, keys, extra);
    }
};

struct ManagerCase {
    const char* code;
    const char* keys;
    const char* punch_type;
    const char* amount_field;  // "" when the punch has no amount
    double amount;

    friend void PrintTo(const ManagerCase& c, std::ostream* os) { *os << c.code; }
};

class ManagerPunch : public PunchTest, public ::testing::WithParamInterface<ManagerCase> {};

// Manager punches typed as the manager would, one of each shape: a moment, a moment and an out,
// an amount of hours or dollars, a leave kept as a personal amount, and a complete entry. Jury
// duty fails the step's own check of its value (reported as not valid) but is stored all the
// same, as the step writes it.
TEST_P(ManagerPunch, StoresTheEnteredValues) {
    const auto& c = GetParam();
    const auto result = CardPunch("2026-12-05 09:00:00", c.keys, {"--manager"});
    ASSERT_EQ(result.status, 0) << result.out << result.err;
    const auto report = result.json();
    EXPECT_EQ(report["value"], c.code);
    EXPECT_EQ(report["finished"], true);
    EXPECT_TRUE(report["pauses"].empty()) << report["pauses"];
    EXPECT_EQ(report["valid"], std::string(c.code) != "JD");
    ASSERT_GE(report["records"].size(), 1u);
    const auto& fields = report["records"][0]["fields"];
    EXPECT_EQ(fields["Punch Type"], c.punch_type);
    if (*c.amount_field) {
        EXPECT_NEAR(report["step"]["Amount"].get<double>(), c.amount, 1e-9);
        EXPECT_NEAR(fields[c.amount_field].get<double>(), c.amount, 1e-9) << fields;
        EXPECT_EQ(fields["Date In"], "2026-12-04T00:00:00");
    }
    if (std::string(c.code) == "C") {
        EXPECT_EQ(report["step"]["DateTimeIn"], "2026-12-04T08:00:00");
        EXPECT_EQ(report["step"]["DateTimeOut"], "2026-12-04T16:30:00");
    }
    EXPECT_FALSE(Rows().empty());
}

INSTANTIATE_TEST_SUITE_P(
    E2E, ManagerPunch,
    ::testing::Values(
        ManagerCase{"I", "1 ENTER 1204260800 ENTER", "I", "", 0},
        ManagerCase{"LO", "3 ENTER 1204261200 / ENTER", "O", "", 0},
        ManagerCase{"S", "+ 3 ENTER 1204260800 ENTER 0430 ENTER", "S", "Sick", 4.5},
        ManagerCase{"X", "+ 7 ENTER 1204260800 ENTER 1234 ENTER", "X", "Other", 12.34},
        ManagerCase{"JD", "+ + 1 ENTER 1204260800 ENTER 0800 ENTER", "P", "Personal", 8.0},
        ManagerCase{"C", "+ + 2 ENTER 1204260800 ENTER 1204260430 / ENTER", "E", "", 0}),
    [](const auto& info) { return std::string(info.param.code); });

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
    EXPECT_EQ(result.json()["error"], json({{"number", 13}, {"description", "Type mismatch"}}));
    EXPECT_TRUE(StoredTypes().empty());
}

// With the automatic punch, a card read twice is one punch: the second read stores nothing and
// says so, whatever punch the lookup would have chosen.
TEST_F(PunchTest, DoubleSwipeWithTheAutomaticPunchStoresOnce) {
    ASSERT_EQ(Run({"setup", "--config", Config().string(), "--glidepass", "on"}).status, 0);
    const std::vector<std::tuple<const char*, json, json>> swipes{
        {"2026-12-04 08:00:00", nullptr, "stored"},
        {"2026-12-04 08:00:20", "Already clocked IN at 08:00", nullptr},
        {"2026-12-04 16:00:00", nullptr, "stored"},
    };
    for (const auto& [now, notice, stored] : swipes) {
        const auto result = CardPunch(now, "");
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.json()["notice"], notice) << now;
        EXPECT_EQ(result.json()["stored"], stored) << now;
    }
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"O"});
}

// The scripted punch stores what it is told and says what a kiosk would have guarded; a click on
// a keypad that is not on show does nothing and is reported.
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
    // Both ins are stored; each out closes one of them. A moment's fraction of a second is cut
    // to its minute, never rounded into the next.
    EXPECT_EQ(Rows().size(), 2u);
    const auto last =
        CardPunch("2026-12-04 18:00:59.7", "CLICK:TimeIn1.cmdButton(5) 1 ENTER").json();
    EXPECT_EQ(last["confirmation"], json({"IN 12/04/2026 6:00 PM"}));
    EXPECT_EQ(last["ignored_clicks"], json({"TimeIn1.cmdButton(5)"}));
    EXPECT_EQ(last["stored"], "stored");
    // A second IN while the shift is open is stored as told and named in the notice.
    EXPECT_EQ(CardPunch("2026-12-04 19:00:00", "1 ENTER").json()["notice"],
              "clocked in since 18:00");
    EXPECT_EQ(Rows().size(), 4u);
}

// The punch ends with the keypad's Finished: keys and clicks after it are refused (exit 2 with a
// message), the punch stands as reported, and nothing more is stored.
TEST_F(PunchTest, InputsAfterTheFinishedPunchAreRefused) {
    const auto result =
        CardPunch("2026-12-04 08:00:00", "1 ENTER 2 ENTER CLICK:cmdStampkind(1) ENTER");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("after the punch finished"), std::string::npos) << result.err;
    const auto report = result.json();
    EXPECT_EQ(report["value"], "I");
    EXPECT_EQ(report["ignored_clicks"], json::array());
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
}

// Typed moments read under the configuration's regional settings, as at the kiosks.
TEST_F(PunchTest, TypedMomentsFollowTheConfiguredRegionalSettings) {
    std::ofstream(Config()) << R"({"regional": "en-GB"})";
    const auto result = CardPunch("2026-12-05 09:00:00", "1 ENTER 0412260830 ENTER", {"--manager"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.json()["step"]["DateTimeIn"], "2026-12-04T08:30:00");
}

// A scripted manager entry is recorded under the manager card given, else under the user who
// ran the command.
TEST_F(PunchTest, ManagerEntryIsRecordedUnderTheManager) {
    ASSERT_EQ(CardPunch("2026-12-05 09:00:00", "1 ENTER 1204260800 ENTER",
                        {"--manager", "--manager-card", "9001"})
                  .status,
              0);
    ASSERT_EQ(CardPunch("2026-12-05 09:00:00", "2 ENTER 1204260500 / ENTER", {"--manager"}).status,
              0);
    const auto entries = orvane::ClockDatabase(Database()).ManagerEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].entry.manager_card, 9001);
    EXPECT_EQ(entries[1].entry.manager_card, 0);
    EXPECT_NE(entries[1].entry.clock_name.find("(user "), std::string::npos)
        << entries[1].entry.clock_name;
}

}  // namespace
