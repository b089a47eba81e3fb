#include "platform/FakeServices.h"
#include "platform/Services.h"

#include <thread>

#include <gtest/gtest.h>

namespace {

using platform::FakeServices;
using platform::ServicesScope;

// Each apartment (a kiosk's thread) has services of its own: what one thread installs, another
// never sees, and a thread without its own gets its own computer services.
TEST(ServicesScopeTest, ServicesBelongToTheirThread) {
    FakeServices mine;
    ServicesScope scope(mine);
    // Everything is checked inside the thread: its own services end with it.
    bool system_there = false;
    bool installed_there = false;
    std::thread apartment([&] {
        platform::Services* seen = &platform::services();
        system_there = seen != &mine && dynamic_cast<platform::SystemServices*>(seen) != nullptr;
        FakeServices theirs;
        ServicesScope their_scope(theirs);
        installed_there = &platform::services() == &theirs;
    });
    apartment.join();
    EXPECT_TRUE(system_there);
    EXPECT_TRUE(installed_there);
    EXPECT_EQ(&platform::services(), &mine);
}

}  // namespace
