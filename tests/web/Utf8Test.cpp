#include <gtest/gtest.h>

#include <string>

#include "host/web/Utf8.h"

namespace timeclock::web {
namespace {

struct TextCase {
    const char* name;
    std::string bytes;
    bool valid;
    std::string repaired;  // for invalid text
};

class Utf8Text : public ::testing::TestWithParam<TextCase> {};

TEST_P(Utf8Text, IsCheckedAndRepaired) {
    const auto& row = GetParam();
    EXPECT_EQ(IsUtf8(row.bytes), row.valid);
    const auto repaired = RepairUtf8(row.bytes);
    EXPECT_EQ(repaired, row.valid ? row.bytes : row.repaired);
    EXPECT_TRUE(IsUtf8(repaired));
}

const std::string kReplacement = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Names, Utf8Text,
    ::testing::Values(TextCase{"Ascii", "Avery Stone", true, ""},
                      TextCase{"Accents", "Zoë Ångström", true, ""},
                      TextCase{"FourBytes", "\xF0\x9F\x98\x80", true, ""},
                      TextCase{"Latin1Byte", "Zo\xEB", false, "Zo" + kReplacement},
                      TextCase{"CutShort", "\xC3", false, kReplacement},
                      TextCase{"Overlong", "\xC0\xAF", false, kReplacement + kReplacement},
                      TextCase{"Surrogate", "\xED\xA0\x80", false,
                               kReplacement + kReplacement + kReplacement},
                      TextCase{"PastTheLastCharacter", "\xF4\x90\x80\x80", false,
                               kReplacement + kReplacement + kReplacement + kReplacement},
                      TextCase{"LoneContinuation", "a\x80z", false, "a" + kReplacement + "z"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8Length, CountsCharactersNotBytes) {
    std::string e_acute;
    for (int i = 0; i < 31; ++i)
        e_acute += "\xC3\xA9";
    EXPECT_EQ(Utf8Length(e_acute), 31u);
    EXPECT_EQ(Utf8Length("\xF0\x9F\x98\x80x"), 2u);
}

}  // namespace
}  // namespace timeclock::web
