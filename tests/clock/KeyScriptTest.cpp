#include "host/clock/KeyScript.h"

#include <gtest/gtest.h>

namespace {

using timeclock::Input;
using timeclock::KeyScript;
namespace input = timeclock::input;

Input Key(int16_t code) {
    return input::Key{code};
}

TEST(KeyScript, ReadsTheActionsInOrder) {
    const struct {
        const char* text;
        std::vector<Input> actions;
    } rows[] = {
        {"1204 +/-", {Key('1'), Key('2'), Key('0'), Key('4'), Key('+'), Key('/'), Key('-')}},
        {"BS KEY:43 KEY:0", {Key(8), Key(43), Key(0)}},
        {"   ", {}},
        {"ESC ENTER CLICK:TimeIn1.cmdAmPm",
         {input::Escape{}, Key(13), input::Click{"TimeIn1.cmdAmPm"}}},
        // Token words are exact: a lower-case word is typed as its letters.
        {"esc", {Key('e'), Key('s'), Key('c')}},
    };
    for (const auto& row : rows) {
        const auto script = KeyScript::Parse(row.text);
        EXPECT_EQ(script.problem, "") << row.text;
        EXPECT_EQ(script.actions, row.actions) << row.text;
    }
}

TEST(KeyScript, RefusalNamesTheToken) {
    for (const std::string token :
         {"KEY:", "KEY:abc", "KEY:70000", "KEY:-1", "KEY:12x", "CLICK:"}) {
        const auto script = KeyScript::Parse("1 " + token);
        EXPECT_NE(script.problem.find(token), std::string::npos) << script.problem;
    }
}

}  // namespace
