// The clock database under the conditions of a real shop floor: several clocks storing punches
// into one file at once. (A clock that dies in the middle of storing a punch is tried end to end,
// on the timeclock program itself.)
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "host/database/ClockDatabase.h"
#include "platform/Error.h"

namespace {

using orvane::ClockDatabase;
using orvane::PunchRecord;
using orvane::PunchWrite;
using platform::Date;
using platform::Variant;

constexpr int kClocks = 4;
constexpr int kPunchesPerClock = 250;
constexpr int kEmployeesPerClock = 5;
constexpr int kMinutesBetweenPunches = 10;

Date work_day() {
    return *platform::make_date(2026, 12, 4);
}

// The n-th punch of an employee's day: ins and outs alternate from 06:00, ten minutes apart.
std::shared_ptr<PunchRecord> nth_punch(int n) {
    const int minutes = 6 * 60 + n * kMinutesBetweenPunches;
    const Date time = *platform::make_time(minutes / 60, minutes % 60, 0);
    auto record = std::make_shared<PunchRecord>("");
    const bool in = n % 2 == 0;
    record->Item("Punch Type")->SetValue(Variant(in ? "I" : "O"));
    record->Item(in ? "Date In" : "Date Out")->SetValue(Variant(work_day()));
    record->Item(in ? "Time In" : "Time Out")->SetValue(Variant(time));
    return record;
}

int card_of(int clock, int employee) {
    return 1000 * (clock + 1) + employee;
}

// Runs `body` in a child process and gives its wait status. The child never returns into the
// test framework: it leaves with _exit, 0 when the body ran to its end.
template <class Body>
pid_t spawn(Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        int status = 1;
        try {
            status = body();
        } catch (...) {
            status = 3;
        }
        _exit(status);
    }
    return pid;
}

int wait_for(pid_t pid) {
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    return status;
}

std::string read_file(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Four clocks start together on a file that does not exist yet, each storing 250 punches for
// its own employees. Every punch must be stored once, each out closing its own in, and no
// clock may see the database locked.
TEST(ClockDatabaseStressTest, FourClocksStoreEveryPunchIntoOneFile) {
    TempFolder folder;
    const auto file = folder / "clock.db";
    int start[2];
    ASSERT_EQ(pipe(start), 0);

    std::vector<pid_t> clocks;
    for (int clock = 0; clock < kClocks; ++clock) {
        const auto errors = folder / ("errors-" + std::to_string(clock) + ".txt");
        clocks.push_back(spawn([&, clock] {
            close(start[1]);
            char go = 0;
            (void)read(start[0], &go, 1);  // returns at end of file, when the parent lets go
            std::ofstream log(errors);
            try {
                ClockDatabase db(file);
                for (int i = 0; i < kPunchesPerClock; ++i) {
                    const int employee = i % kEmployeesPerClock;
                    db.StorePunch(PunchWrite{
                        card_of(clock, employee), nth_punch(i / kEmployeesPerClock), {}});
                }
            } catch (const platform::RaisedError& error) {
                log << error.number() << " " << error.description() << "\n";
                return 1;
            }
            return 0;
        }));
    }
    close(start[0]);
    close(start[1]);
    for (const pid_t pid : clocks) {
        const int status = wait_for(pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    }
    for (int clock = 0; clock < kClocks; ++clock) {
        EXPECT_EQ(read_file(folder / ("errors-" + std::to_string(clock) + ".txt")), "")
            << "clock " << clock;
    }

    ClockDatabase db(file);
    const auto rows = db.Rows();
    constexpr int kPunchesPerEmployee = kPunchesPerClock / kEmployeesPerClock;
    EXPECT_EQ(rows.size(),
              static_cast<size_t>(kClocks * kEmployeesPerClock * kPunchesPerEmployee / 2));
    // Each employee's rows are the pairs (in n, out n+1), every one of them, once.
    std::map<int32_t, std::vector<std::pair<double, double>>> by_card;
    for (const auto& row : rows) {
        ASSERT_TRUE(row.time_in && row.time_out) << "open or unpaired row of card " << row.card;
        EXPECT_EQ(row.punch_type, "O");
        by_card[row.card].emplace_back(row.time_in->days, row.time_out->days);
    }
    ASSERT_EQ(by_card.size(), static_cast<size_t>(kClocks * kEmployeesPerClock));
    for (const auto& [card, pairs] : by_card) {
        ASSERT_EQ(pairs.size(), static_cast<size_t>(kPunchesPerEmployee / 2)) << card;
        for (size_t k = 0; k < pairs.size(); ++k) {
            EXPECT_EQ(pairs[k].first,
                      nth_punch(2 * static_cast<int>(k))->values().at("Time In").to_date().days)
                << card;
            EXPECT_EQ(
                pairs[k].second,
                nth_punch(2 * static_cast<int>(k) + 1)->values().at("Time Out").to_date().days)
                << card;
        }
    }
}

// A clock whose file another program holds locked when a punch comes: after its wait the punch
// is refused with "locked", saying it was not stored, and the clock stores the next one.
TEST(ClockDatabaseStressTest, PunchMeetingALockIsRefusedAndTheClockGoesOn) {
    TempFolder folder;
    const auto file = folder / "clock.db";
    ClockDatabase db(file, std::chrono::milliseconds(0));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    try {
        db.StorePunch(PunchWrite{card_of(0, 0), nth_punch(0), {}});
        ADD_FAILURE() << "the punch was stored through the lock";
    } catch (const platform::RaisedError& error) {
        EXPECT_EQ(error.number(), 3218);
        EXPECT_EQ(error.description().rfind("The punch was not stored.", 0), 0u)
            << error.description();
        EXPECT_NE(error.description().find(file.string()), std::string::npos);
    }
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_TRUE(db.Rows().empty());
    db.StorePunch(PunchWrite{card_of(0, 0), nth_punch(0), {}});
    EXPECT_EQ(db.Rows().size(), 1u);
}

}  // namespace
