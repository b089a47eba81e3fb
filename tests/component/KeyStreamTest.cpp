#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "KeypadTestSupport.h"
#include "entry/EntryKeypad.h"
#include "keypad/StampkindKeypad.h"
#include "platform/Services.h"

namespace {

using namespace keypad_test;

// Thousands of keys of every code, with clicks on whatever is on show mixed in, never break the
// keypad: entries hold only digits within their limit, the page stays 0 to 2, a manager's walk
// through the value keypads stays consistent, and events come only where they may.
class KeyStreamTest : public ::testing::TestWithParam<bool>, protected KeypadWorld {
  protected:
    void SetUp() override {
        step = MakeStep("1011011101", true);
        fake.now = Moment(2026, 12, 4, 12, 0);
        keypad->Attach(step, display);
        keypad->ReceiveMessage(orvane::MakeMessage("manager mode", GetParam()));
        keypad->Reset();
        keypad->Connect("Finished", [this] { ++finished; });
        keypad->Connect("Click", [this] { ++clicks; });
    }

    // A command button of the keypad or of one of its value keypads, with the value keypad's
    // place in the keypad (null for the keypad's own buttons).
    struct Button {
        platform::Control* control;
        platform::Control* site;
    };

    std::vector<Button> Buttons() {
        std::vector<Button> buttons;
        for (const auto& control : keypad->Controls()) {
            if (control->Kind() == platform::ControlKind::CommandButton) {
                buttons.push_back({control.get(), nullptr});
            } else if (auto site = std::dynamic_pointer_cast<platform::UserControlSite>(control)) {
                for (const auto& inner : site->Inner()->Controls()) {
                    buttons.push_back({inner.get(), site.get()});
                }
            }
        }
        return buttons;
    }

    void CheckInvariants(const std::string& where) {
        ASSERT_GE(keypad->Page(), 0) << where;
        ASSERT_LE(keypad->Page(), 2) << where;
        for (const char* name : {"TimeIn1", "TimeOut1", "Hours1", "Currency1"}) {
            auto site = std::dynamic_pointer_cast<platform::UserControlSite>(keypad->Find(name));
            auto entry = std::dynamic_pointer_cast<stampkind::EntryKeypad>(site->Inner());
            ASSERT_LE(entry->Entry().size(), entry->Style().max_digits) << where << name;
            ASSERT_TRUE(std::all_of(entry->Entry().begin(), entry->Entry().end(),
                                    [](char c) { return c >= '0' && c <= '9'; }))
                << where << name;
        }
        if (!keypad->ManagerMode()) {
            ASSERT_FALSE(keypad->EntryStage()) << where;
        }
        // Until both values are in, the keypad that takes the keys is on show.
        const bool complete = keypad->TimeInDone() && keypad->SecondValueDone();
        if (keypad->EntryStage() && keypad->ActiveKeypad() && !complete) {
            ASSERT_TRUE(keypad->ActiveKeypad()->Extender().Visible()) << where;
        }
    }

    std::shared_ptr<stampkind::StampkindKeypad> keypad = stampkind::StampkindKeypad::Create();
    int finished = 0;
    int clicks = 0;
};

TEST_P(KeyStreamTest, RandomKeysAndClicksKeepTheInvariants) {
    std::mt19937 random(GetParam() ? 20261204u : 19991231u);
    std::uniform_int_distribution<int> any_code(0, 255);
    std::uniform_int_distribution<int> choice(0, 99);
    const std::vector<Button> buttons = Buttons();
    std::uniform_int_distribution<std::size_t> any_button(0, buttons.size() - 1);
    // Keys that a time clock sees most, so that punches actually get completed.
    const std::string likely = "0123456789\r\r\r+-/\b";
    std::uniform_int_distribution<std::size_t> likely_key(0, likely.size() - 1);

    for (int step_number = 0; step_number < 20000; ++step_number) {
        const int roll = choice(random);
        const bool was_entering = keypad->EntryStage();
        const std::string value_before = keypad->Value();
        const int finished_before = finished;
        int16_t key = -1;
        if (roll < 10) {
            // A person reaches only the buttons of a value keypad that is on show.
            const Button& button = buttons[any_button(random)];
            if (!button.site || button.site->Visible())
                button.control->Click();
        } else if (roll < 99) {
            key = static_cast<int16_t>(roll < 40 ? any_code(random) : likely[likely_key(random)]);
            if (keypad->EntryStage() && !keypad->ActiveKeypad()) {
                // After a manager confirmed STATUS no value keypad takes the keys.
                ASSERT_EQ(ErrorNumberOf([&] { keypad->ProcessKeyPress(key); }),
                          platform::err::kObjectVariableNotSet);
                continue;
            }
            keypad->ProcessKeyPress(key);
        } else {
            keypad->Reset();
        }

        const std::string where = "at step " + std::to_string(step_number);
        CheckInvariants(where);
        if (HasFatalFailure())
            return;
        if (finished > finished_before) {
            ASSERT_EQ(finished, finished_before + 1) << where;
            // Finished comes from Enter with a chosen type, or from Skip in manager mode.
            const bool by_enter = key == 13 && !value_before.empty();
            const bool by_skip = keypad->ManagerMode() && !was_entering && keypad->Value().empty();
            ASSERT_TRUE(by_enter || by_skip) << where;
        }
        if (key >= 0 && key != 13 && !was_entering && !(key >= '0' && key <= '9') && key != '+' &&
            key != '-') {
            // Keys outside the key map change nothing while choosing.
            ASSERT_EQ(keypad->Value(), value_before) << where;
        }
    }
    EXPECT_GT(finished, 0);
    EXPECT_GT(clicks, 0);
}

INSTANTIATE_TEST_SUITE_P(InAndOutOfManagerMode, KeyStreamTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Manager" : "Employee"; });

}  // namespace
