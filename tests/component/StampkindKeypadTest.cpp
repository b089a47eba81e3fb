#include "keypad/StampkindKeypad.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "KeypadTestSupport.h"
#include "entry/EntryKeypad.h"
#include "keypad/PunchButtons.h"
#include "platform/Error.h"
#include "platform/Services.h"

namespace {

using namespace keypad_test;
using stampkind::StampkindKeypad;

class PunchKeypadTest : public ::testing::Test, protected KeypadWorld {
  protected:
    // A keypad attached to a step with the settings given, reset, in or out of manager mode.
    void Start(const std::string& allowed = "1111111111", bool statistics = false,
               bool manager = false) {
        step = MakeStep(allowed, statistics);
        keypad->Attach(step, display);
        keypad->ReceiveMessage(orvane::MakeMessage("manager mode", manager));
        keypad->Reset();
        display->clear_calls();
        log.clear();
    }

    platform::CommandButton& Button(int index) {
        return keypad->Get<platform::CommandButton>("cmdStampkind", index);
    }
    platform::CommandButton& Named(std::string_view name) {
        return keypad->Get<platform::CommandButton>(name);
    }
    // The indexes of the punch-type buttons on show, or of those disabled.
    std::vector<int> Shown(bool disabled = false) {
        std::vector<int> indexes;
        for (int i = 0; i < 19; ++i)
            if (disabled ? !Button(i).Enabled() : Button(i).Visible())
                indexes.push_back(i);
        return indexes;
    }
    std::vector<int> Disabled() { return Shown(true); }

    const std::vector<int> kPageZero{0, 1, 2, 3, 4, 5, 6};
    std::shared_ptr<StampkindKeypad> keypad = StampkindKeypad::Create();
    EventLog log{*keypad};
};

// The pages show their buttons and the allowed types enable theirs; a disabled type clicks but is
// not chosen (HOLIDAY is key 2 of page one).
TEST_F(PunchKeypadTest, PagesShowTheirButtonsAndAllowedTypesEnableThem) {
    const struct Row {
        const char* name;
        const char* allowed;
        bool statistics;
        std::vector<int> page0;
        std::vector<int> disabled;
    } rows[] = {
        {"AllAllowed", "1111111111", false, kPageZero, {}},
        {"NoneAllowed", "0000000000", false, kPageZero, {8, 9, 10, 11, 12, 13, 14, 15, 16, 17}},
        {"HolidayAndCompleteRefused", "1011111110", true, {0, 1, 2, 3, 4, 5, 6, 18}, {9, 17}},
        {"NumericTextCountsAsAllowed", "2111111115", true, {0, 1, 2, 3, 4, 5, 6, 18}, {}},
    };
    const std::vector<int> page1{8, 9, 10, 11, 12, 13, 14, 15};
    const std::vector<int> page2{16, 17};
    for (const Row& row : rows) {
        Start(row.allowed, row.statistics, true);
        EXPECT_EQ(Shown(), row.page0) << row.name;
        EXPECT_EQ(Disabled(), row.disabled) << row.name;
        Type(*keypad, "+2");
        EXPECT_EQ(Shown(), page1) << row.name;
        EXPECT_EQ(Disabled(), row.disabled) << row.name;
        const bool holiday =
            std::find(row.disabled.begin(), row.disabled.end(), 9) == row.disabled.end();
        EXPECT_EQ(keypad->Value(), holiday ? "H" : "") << row.name;
        keypad->ProcessKeyPress('+');
        EXPECT_EQ(Shown(), page2) << row.name;
        keypad->ProcessKeyPress('+');
        EXPECT_EQ(keypad->Page(), 0) << row.name;
        EXPECT_EQ(Shown(), row.page0) << row.name;
        EXPECT_EQ(log.text(), "Click Click Click Click") << row.name;
    }
    // STATUS stays on while the keypad is off screen, whatever the page.
    keypad->Extender().SetVisible(false);
    Start("1111111111", true, true);
    keypad->ProcessKeyPress('+');
    EXPECT_TRUE(Button(18).Visible());
}

// Reset before a step is attached raises; so do allowed types too short or not numeric, and a
// step of another kind, which is kept: confirming a type then fails on it too.
TEST_F(PunchKeypadTest, BadStepsAndAllowedTypesRaise) {
    EXPECT_THROW(keypad->Reset(), platform::RaisedError);
    for (const char* allowed : {"", "11111", "11111111x1"}) {
        keypad->Attach(MakeStep(allowed), display);
        EXPECT_EQ(ErrorNumberOf([&] { keypad->Reset(); }), platform::err::kTypeMismatch) << allowed;
    }
    Start("1111111111", false, true);
    EXPECT_EQ(ErrorAttachingForeignStep(*keypad, display), platform::err::kTypeMismatch);
    keypad->ProcessKeyPress('1');
    EXPECT_EQ(ErrorNumberOf([&] { keypad->ProcessKeyPress(kEnter); }),
              platform::err::kTypeMismatch);
    EXPECT_EQ(step->Value().to_text(), "");
}

// Reset and leaving manager mode both return to page zero; Skip and More Punches show only in
// manager mode; the colour reaches the command buttons and nothing else.
TEST_F(PunchKeypadTest, ResetAndLeavingManagerModeReturnToPageZero) {
    Start("1111111111", false, true);
    EXPECT_TRUE(Named("cmdSkip").Visible() && Named("cmdMorePunches").Visible());
    Type(*keypad, "+1");
    keypad->Reset();
    EXPECT_EQ(display->prompt(), "Select Punch Type");
    EXPECT_EQ(keypad->Value(), "");
    EXPECT_EQ(Shown(), kPageZero);
    keypad->ProcessKeyPress('+');
    keypad->ReceiveMessage(orvane::MakeMessage("Manager Mode", false));
    EXPECT_FALSE(Named("cmdSkip").Visible() || Named("cmdMorePunches").Visible());
    EXPECT_EQ(Shown(), kPageZero);

    keypad->ReceiveMessage(orvane::MakeMessage("BUTTON COLOR", 255));
    EXPECT_EQ(Coloured(*keypad, 255), 21);
}

// Key sequences outside and inside manager mode ("\r" is Enter): the keypad's Value, the step's
// Value (it held "X" before), the events in order and the error raised. Keys after a manager
// confirms STATUS reach no keypad and raise.
TEST_F(PunchKeypadTest, KeySequencesChooseConfirmAndRaiseEvents) {
    const int32_t kNotSet = platform::err::kObjectVariableNotSet;
    const struct Row {
        const char* name;
        bool manager;
        bool statistics;
        const char* keys;
        const char* chosen;
        const char* step_value;
        const char* events;
        int32_t error = 0;
    } rows[] = {
        {"InThenEnter", false, false, "1\r", "I", "I", "Click Finished"},
        {"LaterChoiceReplaces", false, false, "13\r", "LO", "LO", "Click Click Finished"},
        {"EightAndNineIgnored", false, false, "89", "", "X", ""},
        {"PlusMinusIgnoredOutsideManagerMode", false, false, "+-", "", "X", ""},
        {"ZeroChoosesHiddenStatus", false, false, "0\r", "Status", "Status", "Click Finished"},
        {"EnterBeforeChoiceDoesNothing", false, false, "\r", "", "X", ""},
        {"SecondEnterFinishesAgain", false, false, "2\r\r", "O", "O", "Click Finished Finished"},
        {"PageOneNineIgnored", true, false, "+9", "", "X", "Click"},
        {"PageTwoZeroChoosesNothing", true, false, "++0", "", "X", "Click Click Click"},
        {"PageTwoComplete", true, false, "++2", "C", "X", "Click Click Click"},
        {"SkipEmptiesBothValues", true, false, "1-", "", "", "Click Finished"},
        {"ChoiceKeptAcrossPages", true, false, "1+", "I", "X", "Click Click"},
        {"DigitAfterManagersStatus", true, true, "0\r5", "Status", "Status", "Click Finished",
         kNotSet},
        {"EnterAfterManagersStatus", true, true, "0\r\r", "Status", "Status", "Click Finished",
         kNotSet},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start("1111111111", row.statistics, row.manager);
        step->SetValue(platform::Variant("X"));
        EXPECT_EQ(ErrorNumberOf([&] { Type(*keypad, row.keys); }), row.error);
        EXPECT_EQ(keypad->Value(), row.chosen);
        EXPECT_EQ(step->Value().to_text(), row.step_value);
        EXPECT_EQ(log.text(), row.events);
    }
}

// A digit and a click on the button it names reach the same choice and show its word; the Skip
// button does what the minus key does. Cancelled empties the choice but not the step.
TEST_F(PunchKeypadTest, ClicksReachTheSameHandlersAsKeys) {
    Start("1111111111", false, true);
    keypad->ProcessKeyPress('3');
    EXPECT_EQ(display->user_input(), "LUNCH LEAVE");
    Button(4).Click();
    EXPECT_EQ(keypad->Value(), "BO");
    EXPECT_EQ(display->user_input(), "BREAK LEAVE");
    step->SetValue(platform::Variant("O"));
    Named("cmdSkip").Click();
    EXPECT_EQ(keypad->Value(), "");
    EXPECT_EQ(step->Value().to_text(), "");
    EXPECT_EQ(log.text(), "Click Click Finished");

    Start();
    Type(*keypad, "1\r");
    keypad->Cancelled();
    log.clear();
    keypad->ProcessKeyPress(kEnter);
    EXPECT_EQ(keypad->Value(), "");
    EXPECT_EQ(step->Value().to_text(), "I");
    EXPECT_EQ(log.text(), "");
}

// One whole manager-mode punch on a fresh, coloured keypad for each shape of entry that the
// clock's journeys do not already type end to end (an out, a vacation and an advance are theirs):
// the keys from the first choice to Finished ("\r" is Enter, "\b" backspace), the value keypads
// brought up in turn, the refusals on the way, and what the step holds at the end.
TEST_F(PunchKeypadTest, ManagerPunchesRunFromTheFirstKeyToFinished) {
    const platform::Date in = Moment(2026, 12, 4, 8, 30), out = Moment(2026, 12, 4, 17, 0), none{};
    const std::string in_keys = "1204260830\r", out_keys = "1204261700\r";
    const std::vector<std::string> hours{"TimeIn1", "Hours1"}, dollars{"TimeIn1", "Currency1"};
    const struct Punch {
        const char* name;
        std::string keys;
        const char* value;
        std::vector<std::string> keypads;
        platform::Date in, out;
        double amount;
        std::size_t refusals = 0;
    } punches[] = {
        {"In", "1\r" + in_keys, "I", {"TimeIn1"}, in, none, 0.0},
        {"Switch", "7\r" + in_keys, "SW", {"TimeIn1"}, in, in, 0.0},
        {"Complete", "++2\r" + in_keys + out_keys, "C", {"TimeIn1", "TimeOut1"}, in, out, 0.0},
        {"Funeral", "+8\r" + in_keys + "0830\r", "FL", hours, in, none, 8.5},
        {"JuryDuty", "++1\r" + in_keys + "0830\r", "JD", hours, in, none, 8.5},
        {"Status", "0\r", "Status", {}, none, none, 0.0},
        // Minus and plus reach the value keypad, not the punch keypad's Skip and pages.
        {"SignedAdvance", "+1\r" + in_keys + "-+500\r", "A", dollars, in, none, 5.0},
        // A refused TimeIn keeps its entry (three backspaces leave its first digit); a refused
        // second value is cleared.
        {"HolidayAfterRefusals", "+2\r1399\r\b\b\b204260830\r99\r0815\r", "H", hours, in, none,
         8.25, 2},
    };
    for (const Punch& punch : punches) {
        SCOPED_TRACE(punch.name);
        keypad = StampkindKeypad::Create();
        log = EventLog(*keypad);
        keypad->ReceiveMessage(orvane::MakeMessage("button color", 255));
        Start("1111111111", true, true);
        fake.pauses.clear();
        std::vector<std::string> brought_up;
        for (char key : punch.keys) {
            ASSERT_EQ(log.text().find("Finished"), std::string::npos) << "finished early";
            keypad->ProcessKeyPress(static_cast<int16_t>(key));
            const auto active = keypad->ActiveKeypad();
            if (active && (brought_up.empty() || brought_up.back() != active->Extender().Name()))
                brought_up.push_back(active->Extender().Name());
        }
        EXPECT_EQ(brought_up, punch.keypads);
        EXPECT_TRUE(log.text().ends_with("Finished")) << log.text();
        EXPECT_EQ(log.text().find("Finished"), log.text().rfind("Finished")) << log.text();
        EXPECT_EQ(step->Value().to_text(), punch.value);
        EXPECT_EQ(step->DateTimeIn(), punch.in);
        EXPECT_EQ(step->DateTimeOut(), punch.out);
        EXPECT_DOUBLE_EQ(step->Amount(), punch.amount);
        EXPECT_EQ(fake.pauses.size(), punch.refusals);
        // The value keypads got the keypad's colour when they were brought up.
        if (const auto active = keypad->ActiveKeypad()) {
            EXPECT_EQ(active->ButtonColor(), 255);
        }
        // During value entry no punch-type button, More Punches nor Skip is on show.
        if (!punch.keypads.empty()) {
            EXPECT_TRUE(Shown().empty() && !Named("cmdSkip").Visible());
            EXPECT_FALSE(Named("cmdMorePunches").Visible());
        }
    }
}

// A click on a value keypad's button reaches the host as a Click; Enter after the punch has
// finished sets the step's value again and finishes again.
TEST_F(PunchKeypadTest, ValueKeypadClicksReachTheHostAndEnterAfterFinishingFinishesAgain) {
    Start("1111111111", true, true);
    Type(*keypad, "2\r");
    log.clear();
    auto site = std::dynamic_pointer_cast<platform::UserControlSite>(keypad->Find("TimeOut1"));
    site->Inner()->Get<platform::CommandButton>("cmdButton", 1).Click();
    EXPECT_EQ(log.text(), "Click");
    EXPECT_EQ(keypad->ActiveKeypad()->Entry(), "1");
    Type(*keypad, "204261700\r");
    step->SetValue(platform::Variant(""));
    log.clear();
    keypad->ProcessKeyPress(kEnter);
    EXPECT_EQ(step->Value().to_text(), "O");
    EXPECT_EQ(log.text(), "Finished");
}

}  // namespace
