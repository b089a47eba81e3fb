#include "tests/e2e/Timeclock.h"

namespace {

using ConvertCommandTest = TimeclockTest;

TEST_F(ConvertCommandTest, ReadsDateTextUnderTheChosenSettings) {
    const struct {
        std::vector<std::string> arguments;
        bool isdate;
        double value;
        const char* text;
    } cases[] = {
        {{"convert", "--date", "12/04/26 08:30  PM"},
         true,
         46360.0 + 20.5 / 24.0,
         "12/4/2026 8:30:00 PM"},
        {{"convert", "--date", "12/04/26", "--regional", "en-GB"}, true, 46124.0, "12/04/2026"},
        {{"convert", "--date", "8:30"}, true, 8.5 / 24.0, "8:30:00 AM"},
        {{"convert", "--date", "12/04/26   :    AM"}, false, 0.0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[2]);
        const auto output = Run(c.arguments);
        ASSERT_EQ(output.status, 0) << output.err;
        const auto json = output.json();
        EXPECT_EQ(json["isdate"], c.isdate);
        EXPECT_DOUBLE_EQ(json["value"].get<double>(), c.value);
        EXPECT_EQ(json["text"], c.text);
    }
}

TEST_F(ConvertCommandTest, FormatsNumbersAndDatesAndRefusesWrongUse) {
    EXPECT_EQ(Run({"convert", "--format", "830", "0:00"}).out, "8:30\n");
    EXPECT_EQ(Run({"convert", "--format", "0.1666666", ".000"}).out, ".167\n");
    EXPECT_EQ(Run({"convert", "--format", "12/4/2026 15:30", "mmddyyHHnn"}).out, "1204261530\n");
    EXPECT_EQ(Run({"convert"}).status, 2);
    EXPECT_EQ(Run({"convert", "--date", "1/1/2026", "--regional", "fr-FR"}).status, 2);
    EXPECT_EQ(Run({"convert", "--format", "abc", "0:00"}).status, 2);
}

}  // namespace
