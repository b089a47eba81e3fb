#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "host/web/MemoryTryKeeper.h"

namespace timeclock::web {
namespace {

using std::chrono::seconds;
const TryKeeper::Time kStart{};

TEST(MemoryTryKeeper, TriesMadeAtOnceCannotPassTheLimitTogether) {
    MemoryTryKeeper keeper;
    std::atomic<int> admitted{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < 60; ++i) {
        clients.emplace_back([&] {
            if (!keeper.Admit({"admin", "administrator", "10.0.0.9"}, kStart))
                ++admitted;
        });
    }
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(admitted, 5);
}

TEST(MemoryTryKeeper, WaitsGrowAndEndAfterEachWrongTry) {
    MemoryTryKeeper keeper;
    const SecretTry attempt{"admin", "administrator", "10.0.0.9"};
    auto now = kStart;
    for (int i = 0; i < 5; ++i)
        ASSERT_FALSE(keeper.Admit(attempt, now));
    EXPECT_EQ(keeper.Admit(attempt, now), seconds(15));
    now += seconds(15);
    ASSERT_FALSE(keeper.Admit(attempt, now));
    EXPECT_EQ(keeper.Admit(attempt, now), seconds(30));
    now += seconds(30);
    ASSERT_FALSE(keeper.Admit(attempt, now));
    EXPECT_EQ(keeper.Admit(attempt, now), seconds(60));
    // A right secret starts the count again.
    now += seconds(60);
    ASSERT_FALSE(keeper.Admit(attempt, now));
    keeper.Succeeded(attempt);
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(keeper.Admit(attempt, now)) << i;
}

TEST(MemoryTryKeeper, AnotherAddressStillGetsItsTry) {
    MemoryTryKeeper keeper;
    auto now = kStart;
    // Wrong tries from four addresses: the account's own limit.
    for (int address = 0; address < 4; ++address)
        for (int i = 0; i < 5; ++i)
            ASSERT_FALSE(
                keeper.Admit({"admin", "administrator", "10.0.0." + std::to_string(address)}, now));
    EXPECT_TRUE(keeper.Admit({"admin", "administrator", "10.0.0.1"}, now));
    // An address that has been wrong once now waits for the account...
    const SecretTry once{"admin", "administrator", "10.0.1.1"};
    ASSERT_FALSE(keeper.Admit(once, now));
    EXPECT_TRUE(keeper.Admit(once, now));
    // ...while one that has not still gets its try, and a kiosk's door is apart.
    EXPECT_FALSE(keeper.Admit({"admin", "administrator", "192.168.1.20"}, now));
    EXPECT_FALSE(keeper.Admit({"kiosk", "Front", "10.0.0.1"}, now));
}

}  // namespace
}  // namespace timeclock::web
