#include "host/clock/KeyScript.h"

#include <gtest/gtest.h>

namespace {

using timeclock::Input;
using timeclock::KeyScript;
namespace input = timeclock::input;

Input Key(int16_t code) {
    return input::Key{code};
}

struct ScriptCase {
    const char* name;
    const char* text;
    std::vector<Input> actions;
};

class KeyScriptReads : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(KeyScriptReads, Actions) {
    const auto script = KeyScript::Parse(GetParam().text);
    EXPECT_EQ(script.problem, "");
    EXPECT_EQ(script.actions, GetParam().actions);
}

INSTANTIATE_TEST_SUITE_P(
    KeyScript, KeyScriptReads,
    ::testing::Values(ScriptCase{"RunTypedOneByOne",
                                 "1204 +/-",
                                 {Key('1'), Key('2'), Key('0'), Key('4'), Key('+'), Key('/'),
                                  Key('-')}},
                      ScriptCase{"BackspaceAndCode", "BS KEY:43 KEY:0", {Key(8), Key(43), Key(0)}},
                      ScriptCase{"BlanksOnly", "   ", {}},
                      ScriptCase{"EscapeEnterAndClick",
                                 "ESC ENTER CLICK:TimeIn1.cmdAmPm",
                                 {input::Escape{}, Key(13), input::Click{"TimeIn1.cmdAmPm"}}},
                      // Token words are exact: a lower-case word is typed as its letters.
                      ScriptCase{"LowerCaseWordIsTyped", "esc", {Key('e'), Key('s'), Key('c')}}),
    [](const auto& info) { return std::string(info.param.name); });

class KeyScriptRefuses : public ::testing::TestWithParam<const char*> {};

TEST_P(KeyScriptRefuses, NamesTheToken) {
    const auto script = KeyScript::Parse(std::string("1 ") + GetParam());
    EXPECT_NE(script.problem.find(GetParam()), std::string::npos) << script.problem;
}

INSTANTIATE_TEST_SUITE_P(KeyScript, KeyScriptRefuses,
                         ::testing::Values("KEY:", "KEY:abc", "KEY:70000", "KEY:-1", "KEY:12x",
                                           "CLICK:"));

}  // namespace
