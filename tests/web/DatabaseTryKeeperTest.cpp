#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "host/web/DatabaseTryKeeper.h"
#include "platform/Error.h"
#include "tests/support/Postgres.h"
#include "tests/support/TempFolder.h"

namespace timeclock::web {
namespace {

using std::chrono::seconds;
const TryKeeper::Time kStart{};
// The computer's clock when the first keeper starts: a morning.
const platform::Date kClock{46363 + 8.0 / 24};

platform::Date Later(platform::Date date, seconds by) {
    return platform::Date{date.days + static_cast<double>(by.count()) / 86400};
}

// The keepers of the same database, as servers started one after another, on a file and on a
// server.
class DatabaseTryKeeperTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (!GetParam())
            return;
        m_server.emplace();
        if (!m_server->available())
            GTEST_SKIP() << "no PostgreSQL cluster for the tests";
    }
    // A keeper as a server started `after` the first would make it.
    std::unique_ptr<DatabaseTryKeeper> Keeper(seconds after = seconds(0)) {
        const auto where = m_server ? std::filesystem::path(m_server->uri()) : m_folder / "c.db";
        return std::make_unique<DatabaseTryKeeper>(
            [where] { return std::make_unique<orvane::ClockDatabase>(where); },
            [this](std::string_view line) { m_log += std::string(line) + "\n"; }, kStart + after,
            Later(kClock, after));
    }

    TempFolder m_folder;
    std::optional<ScratchPostgres> m_server;
    std::string m_log;
};

TEST_P(DatabaseTryKeeperTest, ARestartKeepsTheCountsAndAnotherAddressGetsItsTry) {
    const SecretTry guesser{"admin", "administrator", "10.0.0.9"};
    {
        const auto first = Keeper();
        for (int i = 0; i < 5; ++i)
            ASSERT_FALSE(first->Admit(guesser, kStart)) << i;
        EXPECT_EQ(first->Admit(guesser, kStart), seconds(15));
    }
    // A second server, started 5 seconds later, still makes the guesser wait out its time.
    const auto second = Keeper(seconds(5));
    EXPECT_EQ(second->Admit(guesser, kStart + seconds(5)), seconds(10));
    const SecretTry administrator{"admin", "administrator", "10.0.0.1"};
    EXPECT_FALSE(second->Admit(administrator, kStart + seconds(5)));
    second->Succeeded(administrator);
    // Once the wait is over the guesser gets one try, then waits twice as long.
    EXPECT_FALSE(second->Admit(guesser, kStart + seconds(15)));
    EXPECT_EQ(second->Admit(guesser, kStart + seconds(15)), seconds(30));
    // A right secret starts its address again, for every server after it.
    second->Succeeded(guesser);
    EXPECT_FALSE(Keeper(seconds(20))->Admit(guesser, kStart + seconds(20)));
    EXPECT_EQ(m_log, "");
}

TEST_P(DatabaseTryKeeperTest, TriesAtTwoServersAtOnceCannotPassTheLimitTogether) {
    const auto one = Keeper();
    const auto other = Keeper();
    std::atomic<int> admitted{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 24; ++i) {
        clients.emplace_back([&, i] {
            if (!(i % 2 ? *one : *other).Admit({"kiosk", "Front", "10.0.0.9"}, kStart))
                ++admitted;
        });
    }
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(admitted, 5);
    EXPECT_EQ(m_log, "");
}

INSTANTIATE_TEST_SUITE_P(Engines, DatabaseTryKeeperTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Postgres" : "Sqlite"; });

TEST(DatabaseTryKeeper, CountsInMemoryWhileTheDatabaseCannotBeOpened) {
    int opened = 0;
    std::vector<std::string> log;
    DatabaseTryKeeper keeper(
        [&]() -> std::unique_ptr<orvane::ClockDatabase> {
            ++opened;
            platform::raise(3051, "Cannot open the clock database");
        },
        [&](std::string_view line) { log.emplace_back(line); }, kStart, kClock);
    const SecretTry guesser{"admin", "administrator", "10.0.0.9"};
    for (int i = 0; i < 5; ++i)
        ASSERT_FALSE(keeper.Admit(guesser, kStart));
    EXPECT_EQ(keeper.Admit(guesser, kStart), seconds(15));
    // Each try asks the database again; the outage is told once.
    EXPECT_EQ(opened, 6);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("Cannot open the clock database"), std::string::npos);
}

}  // namespace
}  // namespace timeclock::web
