#include <gtest/gtest.h>

#include "KeypadTestSupport.h"
#include "entry/Currency.h"
#include "entry/Hours.h"
#include "platform/Services.h"

namespace {

using namespace keypad_test;

TEST(AmountFormatTest, HoursAndDollarsAreShownInTheirTemplates) {
    struct Row {
        const char* digits;
        bool negative;
        const char* hours;
        const char* dollars;
    };
    const std::vector<Row> rows{
        {"", false, "  :  ", "$      .  "},      {"5", false, "5 :  ", "$      . 5"},
        {"0830", false, "08:30", "$    08.30"},  {"0830", true, "-08:30", "-$    08.30"},
        {"1234", true, "-12:34", "-$    12.34"}, {"12345678", false, "12:34", "$123456.78"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(stampkind::Hours::FormatHours(row.digits, row.negative), row.hours) << row.digits;
        EXPECT_EQ(stampkind::Currency::FormatDollars(row.digits, row.negative), row.dollars)
            << row.digits;
    }
}

class AmountEntryTest : public ::testing::Test, protected KeypadWorld {
  protected:
    // A ready keypad whose events are logged.
    template <class Keypad>
    std::shared_ptr<Keypad> Ready() {
        auto keypad = KeypadWorld::Ready<Keypad>();
        log = std::make_unique<EventLog>(*keypad);
        return keypad;
    }

    // Types the keys, presses Enter and answers whether the keypad finished.
    template <class Keypad>
    bool Submit(Keypad& keypad, std::string_view keys) {
        Type(keypad, keys);
        display->clear_calls();
        log->clear();
        keypad.ProcessKeyPress(kEnter);
        return log->events() == std::vector<std::string>{"Finished"};
    }

    std::unique_ptr<EventLog> log;
};

TEST_F(AmountEntryTest, HoursAreStoredAsDecimalHours) {
    struct Row {
        const char* keys;
        double amount;
    };
    const std::vector<Row> rows{
        {"0830", 8.5},   {"0810", 8.167}, {"0001", 0.017}, {"2359", 23.983}, {"0000", 0.0},
        {"-0830", -8.5}, {"/0830", -8.5}, {"//0830", 8.5}, {"--0830", -8.5}, {"-+0830", 8.5},
    };
    for (const Row& row : rows) {
        auto keypad = Ready<stampkind::Hours>();
        step->SetAmount(99.0);
        EXPECT_TRUE(Submit(*keypad, row.keys)) << row.keys;
        EXPECT_DOUBLE_EQ(step->Amount(), row.amount) << row.keys;
    }
}

TEST_F(AmountEntryTest, HoursOutOfRangeOrIncompleteAreRefused) {
    for (const char* keys : {"2400", "0960", "9999", "830", ""}) {
        auto keypad = Ready<stampkind::Hours>();
        step->SetAmount(99.0);
        EXPECT_FALSE(Submit(*keypad, keys)) << keys;
        ASSERT_FALSE(display->calls().empty()) << keys;
        EXPECT_EQ(display->calls().front(),
                  (orvane::RecordingDisplay::Call{"ShowError", "Invalid Time Amount"}))
            << keys;
        EXPECT_EQ(step->Amount(), 99.0) << keys;
    }
}

TEST_F(AmountEntryTest, HoursKeepTheEntryAfterAcceptingAndAcceptAgain) {
    auto keypad = Ready<stampkind::Hours>();
    EXPECT_TRUE(Submit(*keypad, "0830"));
    step->SetAmount(0.0);
    EXPECT_TRUE(Submit(*keypad, ""));
    EXPECT_DOUBLE_EQ(step->Amount(), 8.5);
}

// The sign is drawn before the digits, the cursor steps over it, and it survives Reset on both
// amount keypads.
TEST_F(AmountEntryTest, SignSurvivesResetAndTheCursorStepsOverIt) {
    auto hours = Ready<stampkind::Hours>();
    Type(*hours, "08");
    EXPECT_EQ(display->cursor_position(), 3);
    hours->ProcessKeyPress('-');
    EXPECT_EQ(display->user_input(), "-08:  ");
    EXPECT_EQ(display->cursor_position(), 4);
    hours->Reset();
    EXPECT_TRUE(hours->IsNegative());
    EXPECT_EQ(display->user_input(), "-  :  ");

    auto dollars = Ready<stampkind::Currency>();
    dollars->Get<platform::CommandButton>("cmdPlusMinus").Click();
    dollars->Reset();
    EXPECT_TRUE(dollars->IsNegative());
    EXPECT_EQ(display->user_input(), "-$      .  ");
}

TEST_F(AmountEntryTest, DollarsAreStoredExactToTheCent) {
    struct Row {
        const char* keys;
        double amount;
    };
    const std::vector<Row> rows{
        {"1234", 12.34},          {"5", 0.05},        {"12345678", 123456.78}, {"-1234", -12.34},
        {"123456789", 123456.78}, {"00000001", 0.01},
    };
    for (const Row& row : rows) {
        auto keypad = Ready<stampkind::Currency>();
        EXPECT_TRUE(Submit(*keypad, row.keys)) << row.keys;
        EXPECT_DOUBLE_EQ(step->Amount(), row.amount) << row.keys;
    }
}

TEST_F(AmountEntryTest, ZeroDollarsAreRefusedWithoutShowingTheCursor) {
    for (const char* keys : {"", "0", "0000", "-", "-00"}) {
        auto keypad = Ready<stampkind::Currency>();
        step->SetAmount(99.0);
        EXPECT_FALSE(Submit(*keypad, keys)) << keys;
        const std::string shown =
            stampkind::Currency::FormatDollars(keypad->Entry(), keypad->IsNegative());
        EXPECT_EQ(display->calls(),
                  (Calls{{"ShowError", "Invalid Dollar Amount"}, {"SetUserInput", shown}}))
            << keys;
        EXPECT_EQ(step->Amount(), 99.0) << keys;
        EXPECT_EQ(fake.pauses.back(), 2000u);
    }
}

// Dollars are typed right-aligned and backspace shifts the cents right; Enter aligns left before
// Finished and leaves the amount shown.
TEST_F(AmountEntryTest, DollarsAlignLeftBeforeFinishingAndStayShown) {
    auto keypad = Ready<stampkind::Currency>();
    EXPECT_EQ(display->alignment(), 1);
    Type(*keypad, "12345\b");
    EXPECT_EQ(display->user_input(), "$    12.34");
    display->clear_calls();
    std::size_t calls_at_finish = 0;
    keypad->Connect("Finished", [&] { calls_at_finish = display->calls().size(); });
    keypad->ProcessKeyPress(kEnter);
    EXPECT_EQ(display->calls(),
              (Calls{{"ReceiveMessage", "userinput alignment=0"}, {"SetUserInput", "$    12.34"}}));
    EXPECT_EQ(calls_at_finish, 1u);
    EXPECT_DOUBLE_EQ(step->Amount(), 12.34);
}

}  // namespace
