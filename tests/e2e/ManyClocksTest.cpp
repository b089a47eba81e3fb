// Four clocks punching into one database file at the same moment, each for its own employees,
// as the clocks at a shop's doors do at a shift change. Every punch must be stored exactly once
// and no clock may show a person that the database is locked. Forty punches per clock keep the
// clocks writing at once; STAMPKIND_PUNCHES_PER_CLOCK asks for more when the run is measured.
#include <algorithm>
#include <map>

#include "host/database/ClockDatabase.h"
#include "tests/e2e/Timeclock.h"

namespace {

constexpr int kClocks = 4;
constexpr int kEmployeesPerClock = 5;

// A whole number of in-out pairs for every employee.
int PunchesPerClock() {
    const char* asked = std::getenv("STAMPKIND_PUNCHES_PER_CLOCK");
    const int punches = asked ? std::atoi(asked) : 40;
    constexpr int kRound = 2 * kEmployeesPerClock;
    return std::max(kRound, punches / kRound * kRound);
}

int CardOf(int clock, int employee) {
    return 2000 + 100 * clock + employee;
}

// The n-th punch of an employee's day: in and out alternate from 06:00, ten minutes apart.
std::string MomentOf(int n) {
    const int minutes = 6 * 60 + 10 * n;
    char text[32];
    std::snprintf(text, sizeof text, "2026-12-04 %02d:%02d:00", minutes / 60, minutes % 60);
    return text;
}

class ManyClocksTest : public TimeclockTest {};

TEST_F(ManyClocksTest, EveryPunchIsStoredOnceAndNoneMeetsALock) {
    const int per_clock = PunchesPerClock();
    const int per_employee = per_clock / kEmployeesPerClock;
    for (int clock = 0; clock < kClocks; ++clock) {
        for (int employee = 0; employee < kEmployeesPerClock; ++employee) {
            const int card = CardOf(clock, employee);
            ASSERT_TRUE(AddEmployee(card, "Employee " + std::to_string(card)));
        }
    }
    // One shell script per clock, run side by side; each punch prints its report on one line,
    // followed by its exit status.
    const std::string timeclock = Quote((m_bin / "timeclock").string());
    std::string all = "export STAMPKIND_REGISTRY=" + Quote(Registry().string()) + "\n";
    for (int clock = 0; clock < kClocks; ++clock) {
        const auto script = m_folder / ("clock" + std::to_string(clock) + ".sh");
        std::ofstream out(script);
        for (int i = 0; i < per_clock; ++i) {
            const int n = i / kEmployeesPerClock;
            out << timeclock << " punch --db " << Quote(Database().string()) << " --config "
                << Quote(Config().string()) << " --card " << CardOf(clock, i % kEmployeesPerClock)
                << " --now '" << MomentOf(n) << "' --no-pause --keys '" << (n % 2 == 0 ? "1" : "2")
                << " ENTER'; echo \"exit $?\"\n";
        }
        all += "sh " + Quote(script.string()) + " >" +
               Quote((m_folder / ("clock" + std::to_string(clock) + ".out")).string()) +
               " 2>&1 &\n";
    }
    all += "wait\n";
    std::ofstream(m_folder / "all.sh") << all;
    ASSERT_EQ(std::system(("sh " + Quote((m_folder / "all.sh").string())).c_str()), 0);

    for (int clock = 0; clock < kClocks; ++clock) {
        std::ifstream out(m_folder / ("clock" + std::to_string(clock) + ".out"));
        std::string line;
        int punches = 0;
        while (std::getline(out, line)) {
            EXPECT_EQ(line.find("locked"), std::string::npos) << line;
            EXPECT_EQ(line.find("\"error\""), std::string::npos) << line;
            if (line.rfind("exit ", 0) == 0) {
                EXPECT_EQ(line, "exit 0");
                ++punches;
            }
        }
        EXPECT_EQ(punches, per_clock) << "clock " << clock;
    }

    // Each employee's day is the pairs (in n, out n+1), every one of them, once.
    std::map<int32_t, std::vector<std::pair<double, double>>> by_card;
    for (const auto& row : orvane::ClockDatabase(Database()).Rows()) {
        ASSERT_TRUE(row.time_in && row.time_out) << "open or unpaired row of card " << row.card;
        EXPECT_EQ(row.punch_type, "O");
        by_card[row.card].emplace_back(row.time_in->days * 24 * 60, row.time_out->days * 24 * 60);
    }
    ASSERT_EQ(by_card.size(), static_cast<size_t>(kClocks * kEmployeesPerClock));
    for (const auto& [card, pairs] : by_card) {
        ASSERT_EQ(pairs.size(), static_cast<size_t>(per_employee / 2)) << card;
        for (size_t k = 0; k < pairs.size(); ++k) {
            EXPECT_NEAR(pairs[k].first, 6 * 60 + 20.0 * static_cast<double>(k), 1e-6) << card;
            EXPECT_NEAR(pairs[k].second, pairs[k].first + 10, 1e-6) << card;
        }
    }
}

}  // namespace
