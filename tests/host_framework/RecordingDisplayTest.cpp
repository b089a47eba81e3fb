#include "host/framework/RecordingDisplay.h"

#include <gtest/gtest.h>

#include "host/framework/Message.h"
#include "host/framework/PunchDateTime.h"

namespace {

using Call = orvane::RecordingDisplay::Call;

TEST(RecordingDisplayTest, RecordsEveryCallAsTextAndShowsWhatAScreenWould) {
    orvane::RecordingDisplay display;
    display.ReceiveMessage(orvane::MakeMessage("UserInput Alignment", int32_t{1}));
    display.SetPrompt("Enter Hours");
    display.ShowError("Invalid Time Amount");
    EXPECT_EQ(display.error(), "Invalid Time Amount");
    display.SetUserInput("1:30");
    display.SetCursorPosition(4);
    display.ShowCursor(framework::VBool::True);
    EXPECT_EQ(display.calls(), (std::vector<Call>{{"ReceiveMessage", "UserInput Alignment=1"},
                                                  {"SetPrompt", "Enter Hours"},
                                                  {"ShowError", "Invalid Time Amount"},
                                                  {"SetUserInput", "1:30"},
                                                  {"SetCursorPosition", "4"},
                                                  {"ShowCursor", "True"}}));
    EXPECT_EQ(display.alignment(), 1);
    EXPECT_EQ(display.error(), "");  // the entry replaces the error
    EXPECT_EQ(display.prompt(), "Enter Hours");
    EXPECT_EQ(display.user_input(), "1:30");
    EXPECT_TRUE(display.cursor_visible());

    display.ReceiveMessage(orvane::MakeMessage("button color", int32_t{0}));
    EXPECT_EQ(display.alignment(), 1);
    display.Clear();
    EXPECT_EQ(display.prompt(), "");
    EXPECT_EQ(display.user_input(), "");
}

TEST(PunchDateTimeTest, SplitsTheMomentIntoDayAndTimeOfDay) {
    // 1899-12-25 06:00: a time of day counts forward from midnight.
    const orvane::PunchDateTime old(platform::Date{-5.25});
    EXPECT_EQ(old.Date(), platform::Variant(platform::Date{-5.0}));
    EXPECT_EQ(old.Time(), platform::Variant(platform::Date{0.25}));
}

}  // namespace
