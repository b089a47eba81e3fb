#include "platform/FakeServices.h"
#include "platform/Services.h"

#include <thread>

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

// Each apartment (a kiosk's thread) has services of its own: what one thread installs, another
// never sees, and a thread without its own gets its own computer services.
TEST(ServicesScopeTest, ServicesBelongToTheirThread) {
    FakeServices mine;
    ServicesScope scope(mine);
    platform::Services* seen_there = nullptr;
    platform::Services* installed_there = nullptr;
    std::thread apartment([&] {
        seen_there = &platform::services();
        FakeServices theirs;
        ServicesScope their_scope(theirs);
        installed_there = &platform::services();
    });
    apartment.join();
    EXPECT_NE(seen_there, &mine);
    EXPECT_NE(dynamic_cast<platform::SystemServices*>(seen_there), nullptr);
    EXPECT_NE(installed_there, &mine);
    EXPECT_EQ(&platform::services(), &mine);
}

}  // namespace
