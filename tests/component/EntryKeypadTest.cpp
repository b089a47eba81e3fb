#include "entry/EntryKeypad.h"

#include <gtest/gtest.h>

#include <functional>

#include "KeypadTestSupport.h"
#include "entry/Currency.h"
#include "entry/Hours.h"
#include "entry/TimeIn.h"
#include "entry/TimeOut.h"
#include "platform/Error.h"
#include "platform/Services.h"

namespace {

using namespace keypad_test;
using stampkind::EntryKeypad;

struct KeypadKind {
    std::string name;
    std::function<std::shared_ptr<EntryKeypad>()> create;
    std::string prompt;
    std::string empty_template;
    bool cursor;
    std::size_t max_digits;
    std::string extra_button;
    // Keys that Enter refuses, and the message shown.
    std::string refused_keys;
    std::string refusal;
};

std::vector<KeypadKind> AllKinds() {
    return {
        {"TimeIn", [] { return stampkind::TimeIn::Create(); }, "Enter Date and Time In",
         "  /  /     :    AM", true, 10, "cmdAmPm", "1", "Invalid Date or Time"},
        {"TimeOut", [] { return stampkind::TimeOut::Create(); }, "Enter Date and Time Out",
         "  /  /     :    AM", true, 10, "cmdAmPm", "1", "Invalid Date or Time"},
        {"Hours", [] { return stampkind::Hours::Create(); }, "Enter Hours", "  :  ", true, 4,
         "cmdPlusMinus", "830", "Invalid Time Amount"},
        {"Currency", [] { return stampkind::Currency::Create(); }, "Enter Dollar Amount",
         "$      .  ", false, 8, "cmdPlusMinus", "000", "Invalid Dollar Amount"},
    };
}

class EntryFrameTest : public ::testing::TestWithParam<KeypadKind>, protected KeypadWorld {
  protected:
    void SetUp() override {
        keypad = Ready(GetParam().create());
        display->clear_calls();
    }

    std::shared_ptr<EntryKeypad> keypad;
};

// A digit button types its digit and clicks; while the keypad is hidden keys are dropped, and its
// buttons click but type nothing.
TEST_P(EntryFrameTest, DigitButtonsTypeAndClickAndAHiddenKeypadDropsKeys) {
    keypad->Get<platform::CommandButton>("cmdButton", 7).Click();
    keypad->Get<platform::CommandButton>("cmdButton", 0).Click();
    EXPECT_EQ(keypad->Entry(), "70");
    EXPECT_EQ(raised->text(), "Click Click");

    keypad->Reset();
    display->clear_calls();
    raised->clear();
    keypad->Extender().SetVisible(false);
    for (int16_t key : {int16_t{'1'}, int16_t{'/'}, int16_t{8}, kEnter})
        keypad->ProcessKeyPress(key);
    EXPECT_TRUE(raised->text().empty());
    keypad->Get<platform::CommandButton>("cmdButton", 5).Click();
    EXPECT_EQ(raised->text(), "Click");
    EXPECT_EQ(keypad->Entry(), "");
    EXPECT_TRUE(display->calls().empty());
}

// Reset shows the keypad's prompt; backspace removes the last digit and stops at the empty
// template. A step of another kind is refused.
TEST_P(EntryFrameTest, PromptAndBackspaceDownToTheEmptyTemplate) {
    EXPECT_EQ(display->prompt(), GetParam().prompt);
    Type(*keypad, "12");
    for (int16_t key : {int16_t{8}, int16_t{20}, int16_t{8}})
        keypad->ProcessKeyPress(key);
    EXPECT_EQ(keypad->Entry(), "");
    EXPECT_EQ(display->user_input(), GetParam().empty_template);
    EXPECT_EQ(ErrorAttachingForeignStep(*keypad, display), platform::err::kTypeMismatch);
}

// Keys the keypad does not handle change nothing; digits beyond the longest entry are ignored
// but the entry is drawn again.
TEST_P(EntryFrameTest, UnhandledKeysAndDigitsBeyondTheLongestEntryChangeNothing) {
    Type(*keypad, "1");
    const std::string shown = display->user_input();
    std::vector<int16_t> keys{27, '.', 'A', 0, 255};
    if (GetParam().extra_button == "cmdAmPm")
        keys.insert(keys.end(), {'-', '+'});
    for (int16_t key : keys)
        keypad->ProcessKeyPress(key);
    EXPECT_EQ(keypad->Entry(), "1");
    EXPECT_EQ(display->user_input(), shown);

    const std::string full(GetParam().max_digits, '1');
    Type(*keypad, full.substr(1));
    const std::string full_shown = display->user_input();
    display->clear_calls();
    keypad->ProcessKeyPress('2');
    EXPECT_EQ(keypad->Entry(), full);
    EXPECT_EQ(display->calls().at(0), (orvane::RecordingDisplay::Call{"SetUserInput", full_shown}));
}

TEST_P(EntryFrameTest, ButtonColorInAnyLetterCaseColoursAllElevenButtons) {
    keypad->ReceiveMessage(orvane::MakeMessage("colour", 255));
    EXPECT_EQ(Coloured(*keypad, 255), 0);
    keypad->ReceiveMessage(orvane::MakeMessage("Button Color", 255));
    EXPECT_EQ(Coloured(*keypad, 255), 11);
}

TEST_P(EntryFrameTest, RefusedEntryShowsTheErrorPausesAndShowsTheEntryAgain) {
    Type(*keypad, GetParam().refused_keys);
    const std::string shown = display->user_input();
    display->clear_calls();
    raised->clear();
    keypad->ProcessKeyPress(kEnter);

    Calls expected{{"ShowError", GetParam().refusal}};
    if (GetParam().cursor)
        expected.emplace_back("ShowCursor", "True");
    expected.emplace_back("SetUserInput", shown);
    ASSERT_GE(display->calls().size(), expected.size());
    EXPECT_EQ(Calls(display->calls().begin(), display->calls().begin() + expected.size()),
              expected);
    EXPECT_EQ(fake.dispatches, 1);
    EXPECT_EQ(fake.pauses, std::vector<uint32_t>{2000});
    EXPECT_EQ(keypad->Entry(), GetParam().refused_keys);
    EXPECT_TRUE(raised->text().empty());
}

INSTANTIATE_TEST_SUITE_P(AllValueKeypads, EntryFrameTest, ::testing::ValuesIn(AllKinds()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
