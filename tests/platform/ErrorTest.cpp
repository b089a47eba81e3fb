#include "platform/Error.h"

#include <gtest/gtest.h>

namespace {

TEST(RaisedErrorTest, CarriesNumberAndStandardDescription) {
    try {
        platform::raise(platform::err::kTypeMismatch);
        FAIL() << "no error raised";
    } catch (const platform::RaisedError& error) {
        EXPECT_EQ(error.number(), 13);
        EXPECT_EQ(error.description(), "Type mismatch");
    }
}

}  // namespace
