#include "host/clock/CardKeypad.h"

#include <gtest/gtest.h>

#include "host/clock/PunchSession.h"
#include "host/framework/RecordingDisplay.h"

namespace {

using timeclock::CardKeypad;

class CardKeypadTest : public ::testing::Test {
  protected:
    void Type(std::string_view keys) {
        for (char c : keys)
            keypad->ProcessKeyPress(static_cast<int16_t>(c));
    }

    std::shared_ptr<orvane::RecordingDisplay> display =
        std::make_shared<orvane::RecordingDisplay>();
    std::vector<int32_t> looked_up;
    std::shared_ptr<CardKeypad> keypad = std::make_shared<CardKeypad>(
        display, [this](int32_t card) -> std::optional<orvane::Employee> {
            looked_up.push_back(card);
            if (card == 1001)
                return orvane::Employee{1001, "Avery", false};
            return std::nullopt;
        });
};

TEST_F(CardKeypadTest, EditingKeys) {
    keypad->Reset();
    Type("12345678901");
    EXPECT_EQ(keypad->Entry(), "123456789");
    Type("\b\b+a");
    EXPECT_EQ(keypad->Entry(), "1234567");
    EXPECT_EQ(display->cursor_position(), 7);
    Type("\b\b\b\b\b\b\b\b\r");
    EXPECT_TRUE(looked_up.empty());
}

}  // namespace
