#include "host/framework/RecordingDisplay.h"

#include <gtest/gtest.h>

#include "host/framework/Message.h"
#include "host/framework/PunchDateTime.h"

namespace {

using Call = orvane::RecordingDisplay::Call;

TEST(RecordingDisplayTest, RecordsEveryCallInOrderWithItsArgumentAsText) {
    orvane::RecordingDisplay display;
    display.ReceiveMessage(orvane::MakeMessage("userinput alignment", int32_t{1}));
    display.SetPrompt("Select Punch Type");
    display.SetUserInput("LUNCH LEAVE");
    display.SetCursorPosition(11);
    display.ShowCursor(framework::VBool::True);
    display.ShowError("Invalid Time Amount");
    display.Clear();

    const std::vector<Call> expected{{"ReceiveMessage", "userinput alignment=1"},
                                     {"SetPrompt", "Select Punch Type"},
                                     {"SetUserInput", "LUNCH LEAVE"},
                                     {"SetCursorPosition", "11"},
                                     {"ShowCursor", "True"},
                                     {"ShowError", "Invalid Time Amount"},
                                     {"Clear", ""}};
    EXPECT_EQ(display.calls(), expected);
}

TEST(RecordingDisplayTest, ShowsWhatAScreenWouldShow) {
    orvane::RecordingDisplay display;
    display.ReceiveMessage(orvane::MakeMessage("UserInput Alignment", int32_t{1}));
    EXPECT_EQ(display.alignment(), 1);
    display.ReceiveMessage(orvane::MakeMessage("userinput alignment", int32_t{0}));
    EXPECT_EQ(display.alignment(), 0);
    display.ReceiveMessage(orvane::MakeMessage("button color", int32_t{1}));
    EXPECT_EQ(display.alignment(), 0);

    display.SetPrompt("Enter Hours");
    display.ShowError("Invalid Time Amount");
    EXPECT_EQ(display.error(), "Invalid Time Amount");
    display.SetUserInput("1:30");
    EXPECT_EQ(display.error(), "");
    EXPECT_EQ(display.prompt(), "Enter Hours");
    EXPECT_EQ(display.user_input(), "1:30");

    display.ShowCursor(framework::VBool::True);
    EXPECT_TRUE(display.cursor_visible());
    display.ShowCursor(framework::VBool::False);
    EXPECT_FALSE(display.cursor_visible());

    display.Clear();
    EXPECT_EQ(display.prompt(), "");
    EXPECT_EQ(display.user_input(), "");
}

TEST(PunchDateTimeTest, SplitsTheMomentIntoDayAndTimeOfDay) {
    // 2026-12-04 12:00 and 1899-12-25 06:00 (a time of day counts forward from midnight).
    const orvane::PunchDateTime noon(platform::Date{46360.5});
    EXPECT_EQ(noon.Date(), platform::Variant(platform::Date{46360.0}));
    EXPECT_EQ(noon.Time(), platform::Variant(platform::Date{0.5}));
    const orvane::PunchDateTime old(platform::Date{-5.25});
    EXPECT_EQ(old.Date(), platform::Variant(platform::Date{-5.0}));
    EXPECT_EQ(old.Time(), platform::Variant(platform::Date{0.25}));
}

}  // namespace
