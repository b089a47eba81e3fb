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

}  // namespace
