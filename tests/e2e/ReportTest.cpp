#include "tests/e2e/Timeclock.h"

namespace {

using nlohmann::json;

class ReportTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        ASSERT_TRUE(AddEmployee(1001, "Avery Stone"));
    }
};

// A day punched at the clock (in, lunch, break, switch, out) comes back as payroll reads it.
TEST_F(ReportTest, PunchedDayComesBackAsATimesheet) {
    const std::vector<std::pair<const char*, int>> day{
        {"2026-12-01 08:00:00", 0},  // in
        {"2026-12-01 12:00:00", 2},  // lunch leave
        {"2026-12-01 12:45:00", 3},  // lunch return
        {"2026-12-01 15:00:00", 4},  // break leave
        {"2026-12-01 15:15:00", 5},  // break return
        {"2026-12-01 16:00:00", 6},  // switch
        {"2026-12-01 17:30:00", 1},  // out
    };
    for (const auto& [now, button] : day)
        ASSERT_NO_FATAL_FAILURE(PunchButton(now, 1001, button));

    const json expected = json::parse(R"({
        "from": "2026-11-29", "to": "2026-12-05",
        "employees": [{"card": 1001, "name": "Avery Stone",
            "days": [{"date": "2026-12-01", "worked": 8.75, "lunch": 0.75, "breaks": 0.25,
                      "leave": {}, "dollars": {}, "exceptions": [],
                      "regular": 8.75, "overtime": 0, "double_time": 0}],
            "total": {"worked": 8.75, "leave": {}, "dollars": {},
                      "regular": 8.75, "overtime": 0, "double_time": 0}}]})");
    EXPECT_EQ(
        JsonOnDb({"report", "--from", "2026-11-29", "--to", "2026-12-05", "--format", "json"}),
        expected);
}

}  // namespace
