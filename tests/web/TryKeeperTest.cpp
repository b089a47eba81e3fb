#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "host/web/DatabaseTryKeeper.h"
#include "host/web/MemoryTryKeeper.h"
#include "platform/Error.h"
#include "tests/support/Postgres.h"
#include "tests/support/TempFolder.h"

namespace timeclock::web {
namespace {

using std::chrono::seconds;
const TryKeeper::Time kStart{};
// The computer's clock when the first keeper starts: a morning.
const platform::Date kClock{46363 + 8.0 / 24};
const SecretTry kGuesser{"admin", "administrator", "10.0.0.9"};

// The keepers of servers started one after another on the same database, on a file ("Sqlite")
// and on a server ("Postgres"); in "Memory", the one server's keeper, which no restart keeps.
class TryKeeperTest : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        if (GetParam() != "Postgres")
            return;
        m_server.emplace();
        if (!m_server->available())
            GTEST_SKIP() << "no PostgreSQL cluster for the tests";
    }
    // A keeper as a server started `after` the first would make it.
    std::shared_ptr<TryKeeper> Keeper(seconds after = seconds(0)) {
        if (GetParam() == "Memory")
            return m_memory;
        const auto where = m_server ? std::filesystem::path(m_server->uri()) : m_folder / "c.db";
        return std::make_shared<DatabaseTryKeeper>(
            [where] { return std::make_unique<orvane::ClockDatabase>(where); },
            [this](std::string_view line) { m_log += std::string(line) + "\n"; }, kStart + after,
            platform::Date{kClock.days + static_cast<double>(after.count()) / 86400});
    }

    TempFolder m_folder;
    std::optional<ScratchPostgres> m_server;
    std::shared_ptr<MemoryTryKeeper> m_memory = std::make_shared<MemoryTryKeeper>();
    std::string m_log;
};

TEST_P(TryKeeperTest, WaitsDoubleUntilARightSecretWhateverTheRestarts) {
    {
        const auto first = Keeper();
        for (int i = 0; i < 5; ++i)
            ASSERT_FALSE(first->Admit(kGuesser, kStart)) << i;
        EXPECT_EQ(first->Admit(kGuesser, kStart), seconds(15));
    }
    // A second server, started 5 seconds later, still makes the guesser wait out its time.
    const auto second = Keeper(seconds(5));
    EXPECT_EQ(second->Admit(kGuesser, kStart + seconds(5)), seconds(10));
    const SecretTry administrator{"admin", "administrator", "10.0.0.1"};
    EXPECT_FALSE(second->Admit(administrator, kStart + seconds(5)));
    second->Succeeded(administrator);
    // Once a wait is over the guesser gets one try, then waits twice as long.
    EXPECT_FALSE(second->Admit(kGuesser, kStart + seconds(15)));
    EXPECT_EQ(second->Admit(kGuesser, kStart + seconds(15)), seconds(30));
    EXPECT_FALSE(second->Admit(kGuesser, kStart + seconds(45)));
    EXPECT_EQ(second->Admit(kGuesser, kStart + seconds(45)), seconds(60));
    // A right secret starts its address again, for every server after it.
    second->Succeeded(kGuesser);
    const auto third = Keeper(seconds(50));
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(third->Admit(kGuesser, kStart + seconds(50))) << i;
    EXPECT_EQ(m_log, "");
}

// Tries at two servers at once, or at one server's threads at once.
TEST_P(TryKeeperTest, TriesMadeAtOnceCannotPassTheLimitTogether) {
    const auto one = Keeper(), other = Keeper();
    std::atomic<int> admitted{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < (GetParam() == "Memory" ? 60 : 24); ++i) {
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

TEST_P(TryKeeperTest, AnotherAddressStillGetsItsTry) {
    const auto keeper = Keeper();
    // Wrong tries from four addresses: the account's own limit.
    for (int address = 0; address < 4; ++address)
        for (int i = 0; i < 5; ++i)
            ASSERT_FALSE(keeper->Admit(
                {"admin", "administrator", "10.0.0." + std::to_string(address)}, kStart));
    EXPECT_TRUE(keeper->Admit({"admin", "administrator", "10.0.0.1"}, kStart));
    // An address that has been wrong once now waits for the account...
    const SecretTry once{"admin", "administrator", "10.0.1.1"};
    ASSERT_FALSE(keeper->Admit(once, kStart));
    EXPECT_TRUE(keeper->Admit(once, kStart));
    // ...while one that has not still gets its try, and a kiosk's door is apart.
    EXPECT_FALSE(keeper->Admit({"admin", "administrator", "192.168.1.20"}, kStart));
    EXPECT_FALSE(keeper->Admit({"kiosk", "Front", "10.0.0.1"}, kStart));
}

INSTANTIATE_TEST_SUITE_P(Keepers, TryKeeperTest, ::testing::Values("Memory", "Sqlite", "Postgres"),
                         [](const auto& info) { return info.param; });

TEST(DatabaseTryKeeper, CountsInMemoryWhileTheDatabaseCannotBeOpened) {
    int opened = 0;
    std::vector<std::string> log;
    DatabaseTryKeeper keeper(
        [&]() -> std::unique_ptr<orvane::ClockDatabase> {
            ++opened;
            platform::raise(3051, "Cannot open the clock database");
        },
        [&](std::string_view line) { log.emplace_back(line); }, kStart, kClock);
    for (int i = 0; i < 5; ++i)
        ASSERT_FALSE(keeper.Admit(kGuesser, kStart));
    EXPECT_EQ(keeper.Admit(kGuesser, kStart), seconds(15));
    // Each try asks the database again; the outage is told once.
    EXPECT_EQ(opened, 6);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("Cannot open the clock database"), std::string::npos);
}

}  // namespace
}  // namespace timeclock::web
