#include "platform/FakeServices.h"
#include "platform/Services.h"

#include <gtest/gtest.h>

namespace {

using platform::Date;
using platform::FakeServices;
using platform::ServicesScope;

TEST(ServicesScopeTest, InstallsAndRestoresNestedServices) {
    platform::Services& system = platform::services();
    EXPECT_NE(dynamic_cast<platform::SystemServices*>(&system), nullptr);
    {
        FakeServices outer;
        ServicesScope outer_scope(outer);
        EXPECT_EQ(&platform::services(), &outer);
        {
            FakeServices inner;
            ServicesScope inner_scope(inner);
            EXPECT_EQ(&platform::services(), &inner);
        }
        EXPECT_EQ(&platform::services(), &outer);
    }
    EXPECT_EQ(&platform::services(), &system);
}

TEST(FakeServicesTest, RecordsEveryCallInOrder) {
    FakeServices fake(Date{46360.5});
    ServicesScope scope(fake);
    platform::services().DoEvents();
    platform::services().Sleep(2000);
    platform::services().MessageBox("Error: no punch");
    platform::services().DoEvents();

    EXPECT_EQ(fake.calls, (std::vector<std::string>{"DoEvents", "Sleep 2000",
                                                    "MessageBox Error: no punch", "DoEvents"}));
    EXPECT_EQ(fake.pauses, std::vector<uint32_t>{2000});
    EXPECT_EQ(fake.messages, std::vector<std::string>{"Error: no punch"});
    EXPECT_EQ(fake.dispatches, 2);
    // The clock stands still unless asked to move with the pauses.
    EXPECT_EQ(platform::services().Now(), Date{46360.5});
}

TEST(FakeServicesTest, SleepMovesTheClockWhenAsked) {
    FakeServices fake(Date{46360.5});
    fake.advance_clock_on_sleep = true;
    fake.Sleep(2000);
    fake.Sleep(58000);
    EXPECT_NEAR(fake.now.days, 46360.5 + 60.0 / 86400.0, 1e-9);
}

}  // namespace
