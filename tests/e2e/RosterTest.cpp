// The roster commands end to end: who is in now, the exceptions a manager clears, and employees
// made inactive, renamed and given new cards without losing their history.
#include <fstream>

#include "tests/e2e/Timeclock.h"

namespace {

using nlohmann::json;

class RosterTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        std::ofstream(Config()) << R"({"clock_name": "Front door"})";
        ASSERT_TRUE(AddEmployee(1001, "Avery Stone"));
        ASSERT_TRUE(AddEmployee(1002, "Blake Ortiz"));
        ASSERT_TRUE(AddEmployee(1003, "Casey Park"));
    }
    // The JSON of a command that reads the clock's configuration.
    json Roster(std::vector<std::string> arguments) const {
        arguments.insert(arguments.end(), {"--config", Config().string()});
        return JsonOnDb(arguments);
    }
};

constexpr int kIn = 0, kOut = 1, kLunch = 2, kBreak = 4;

TEST_F(RosterTest, WhosInListsWhoWorksIsAtLunchOrOnABreak) {
    PunchButton("2026-12-01 08:00:00", 1001, kIn);
    PunchButton("2026-12-01 07:30:00", 1002, kIn);
    PunchButton("2026-12-01 11:45:00", 1002, kLunch);
    PunchButton("2026-12-01 08:15:00", 1003, kIn);
    PunchButton("2026-12-01 10:00:00", 1003, kBreak);

    EXPECT_EQ(Roster({"whos-in", "--now", "2026-12-01 12:00:00", "--format", "json"}),
              json::parse(R"([
        {"card": 1001, "name": "Avery Stone", "state": "working",
         "since": "2026-12-01T08:00:00", "clock": "Front door"},
        {"card": 1002, "name": "Blake Ortiz", "state": "lunch",
         "since": "2026-12-01T11:45:00", "clock": "Front door"},
        {"card": 1003, "name": "Casey Park", "state": "break",
         "since": "2026-12-01T10:00:00", "clock": "Front door"}])"));

    // Out, or open past the longest shift: no longer in.
    PunchButton("2026-12-01 16:00:00", 1001, kOut);
    EXPECT_EQ(Roster({"whos-in", "--now", "2026-12-02 09:00:00", "--format", "json"}),
              json::array());
}

TEST_F(RosterTest, ExceptionsListEachWithItsFix) {
    PunchButton("2026-12-01 08:00:00", 1001, kIn);   // never out
    PunchButton("2026-12-02 17:00:00", 1002, kOut);  // out without an in
    const json listed = json::parse(R"json([
        {"card": 1001, "name": "Avery Stone", "date": "2026-12-01", "kind": "missing_out",
         "detail": "missing out (in at 08:00)", "record": 1,
         "fix": "add the OUT at the end of this shift, or void the IN"},
        {"card": 1002, "name": "Blake Ortiz", "date": "2026-12-02", "kind": "missing_in",
         "detail": "missing in (out at 17:00)", "record": 2,
         "fix": "add the IN at the start of this shift, or void the OUT"}])json");
    // Outside the range, and for another card, nothing is listed.
    const std::pair<std::vector<std::string>, json> cases[] = {
        {{"--from", "2026-12-01", "--to", "2026-12-04"}, listed},
        {{"--from", "2026-12-03", "--to", "2026-12-04"}, json::array()},
        {{"--card", "1003"}, json::array()}};
    for (const auto& [extra, expected] : cases) {
        auto arguments = extra;
        arguments.insert(arguments.begin(), "exceptions");
        arguments.insert(arguments.end(), {"--now", "2026-12-05 12:00:00", "--format", "json"});
        EXPECT_EQ(Roster(arguments), expected) << extra.front();
    }
}

// Removing makes inactive, and again changes nothing.
TEST_F(RosterTest, RemovedEmployeeIsListedInactiveAndKeepsTheirNameInReports) {
    PunchButton("2026-12-01 08:00:00", 1001, kIn);
    PunchButton("2026-12-01 16:00:00", 1001, kOut);
    ASSERT_TRUE(AddEmployee(9001, "Robin Vale", "2468"));
    ASSERT_EQ(RunOnDb({"employee", "remove", "--card", "1001"}).status, 0);
    EXPECT_EQ(RunOnDb({"employee", "remove", "--card", "1001"}).status, 0);

    EXPECT_EQ(JsonOnDb({"employee", "list"}), json::parse(R"([
        {"card": 1001, "name": "Avery Stone", "manager": false, "active": false},
        {"card": 1002, "name": "Blake Ortiz", "manager": false, "active": true},
        {"card": 1003, "name": "Casey Park", "manager": false, "active": true},
        {"card": 9001, "name": "Robin Vale", "manager": true, "active": true}])"));

    const auto report =
        JsonOnDb({"report", "--from", "2026-11-29", "--to", "2026-12-05", "--format", "json"});
    EXPECT_EQ(report.at("employees").at(0).at("name"), "Avery Stone");
}

// A removed employee punches nowhere: neither a punch nor a manager's entry for them is stored.
TEST_F(RosterTest, RemovedEmployeeCannotPunch) {
    PunchButton("2026-12-01 08:00:00", 1001, kIn);
    ASSERT_EQ(RunOnDb({"employee", "remove", "--card", "1001"}).status, 0);
    for (const auto& [keys, extra] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"CLICK:cmdStampkind(1) ENTER", {"--card", "1001"}},
             {"1 ENTER 1202260830 ENTER", {"--card", "1001", "--manager"}}}) {
        const auto result = Punch("2026-12-01 16:00:00", keys, extra);
        EXPECT_EQ(result.status, 1) << keys;
        ASSERT_TRUE(result.json().contains("error")) << result.out;
        EXPECT_NE(result.json().at("error").at("description").get<std::string>().find("inactive"),
                  std::string::npos)
            << result.out;
    }
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
}

TEST_F(RosterTest, RenameAndNewCardKeepTheHistoryUnderTheNewCard) {
    PunchButton("2026-12-01 08:00:00", 1001, kIn);
    EXPECT_EQ(RunOnDb({"employee", "rename", "--card", "1001", "--name", "Avery Park"}).status, 0);
    const auto taken = RunOnDb({"employee", "card", "--card", "1001", "--new-card", "1002"});
    EXPECT_EQ(taken.status, 1);
    EXPECT_NE(taken.err.find("1002"), std::string::npos) << taken.err;
    EXPECT_EQ(RunOnDb({"employee", "card", "--card", "1001", "--new-card", "2001"}).status, 0);

    const auto in = Roster({"whos-in", "--now", "2026-12-01 09:00:00", "--format", "json"});
    ASSERT_EQ(in.size(), 1u);
    EXPECT_EQ(in.at(0).at("card"), 2001);
    EXPECT_EQ(in.at(0).at("name"), "Avery Park");
}

}  // namespace
