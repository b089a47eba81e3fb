// The value keypads: what they share (the frame of digits, prompt, backspace, refusals) for every
// kind, then the date-time keypads' moments and the amount keypads' hours and dollars.
#include "entry/EntryKeypad.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "KeypadTestSupport.h"
#include "entry/Currency.h"
#include "entry/DateTimeEntry.h"
#include "entry/Hours.h"
#include "entry/TimeIn.h"
#include "entry/TimeOut.h"
#include "platform/Error.h"
#include "platform/Services.h"

namespace {

using namespace keypad_test;
using stampkind::DateTimeEntry;
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

    // The test's name shows the kind, not the object's bytes.
    friend void PrintTo(const KeypadKind& kind, std::ostream* os) { *os << kind.name; }
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
// buttons click but type nothing. "Button Color" in any letter case colours all eleven buttons.
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

    keypad->ReceiveMessage(orvane::MakeMessage("colour", 255));
    EXPECT_EQ(Coloured(*keypad, 255), 0);
    keypad->ReceiveMessage(orvane::MakeMessage("Button Color", 255));
    EXPECT_EQ(Coloured(*keypad, 255), 11);
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

TEST(DateTimeFormatTest, MaskFillsFromTheLeftWithSuffixUpToHourTwelve) {
    const struct Row {
        const char* digits;
        bool pm;
        const char* shown;
    } rows[] = {
        {"1204260830", false, "12/04/26 08:30  AM"}, {"1204260830", true, "12/04/26 08:30  PM"},
        {"1204261530", false, "12/04/26 15:30"},     {"1204261530", true, "12/04/26 15:30"},
        {"1204261", false, "12/04/26 1 :    AM"},    {"12042613", true, "12/04/26 13:  "},
        {"1204261200", true, "12/04/26 12:00  PM"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DateTimeEntry::FormatDateTime(row.digits, row.pm), row.shown) << row.digits;
    }
}

class TimeEntryTest : public ::testing::Test, protected KeypadWorld {
  protected:
    TimeEntryTest() { fake.now = Moment(2026, 12, 4, 16, 51, 10); }
};

// Typed moments as both keypads store them, or refused with the step left as it was. TimeIn takes
// an impossible date alone as typing still to come and only redraws it.
TEST_F(TimeEntryTest, TypedMomentsAreStoredOrRefused) {
    const struct Row {
        const char* name;
        const char* keys;
        std::optional<platform::Date> stored;
        const char* time_in_shows = "Invalid Date or Time";
    } rows[] = {
        {"MorningAm", "1204260830", Moment(2026, 12, 4, 8, 30)},
        {"HalfPastMidnight", "1204261230", Moment(2026, 12, 4, 0, 30)},
        {"EveningPm", "/1204260830", Moment(2026, 12, 4, 20, 30)},
        {"NoonPm", "1204261230/", Moment(2026, 12, 4, 12, 30)},
        {"TwentyFourHourClockIgnoresPm", "1204261530/", Moment(2026, 12, 4, 15, 30)},
        {"TogglingTwiceIsAm", "12042608//30", Moment(2026, 12, 4, 8, 30)},
        {"DateAloneIsMidnight", "120426", Moment(2026, 12, 4, 0, 0)},
        {"MonthThirteenDateAlone", "133126", {}, "13/31/26   :    AM"},
        {"HourTwentyFour", "1204262400", {}},
        {"OneDigit", "1", {}},
    };
    const platform::Date before = Moment(2000, 1, 1, 0, 0);
    const std::string refusal = "Invalid Date or Time";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        step->SetDateTimeIn(before);
        step->SetDateTimeOut(before);
        for (const bool out : {false, true}) {
            fake.pauses.clear();
            out ? (void)Enter<stampkind::TimeOut>(row.keys)
                : (void)Enter<stampkind::TimeIn>(row.keys);
            const std::string shows = out ? refusal : row.time_in_shows;
            // An accepted entry finishes and is not drawn again; a refused one pauses on its error.
            if (row.stored) {
                EXPECT_TRUE(Finished() && display->calls().empty());
            } else {
                EXPECT_EQ(display->calls().at(0),
                          (orvane::RecordingDisplay::Call{
                              shows == refusal ? "ShowError" : "SetUserInput", shows}));
                EXPECT_EQ(fake.pauses.empty(), shows != refusal);
                EXPECT_EQ(raised->text(), "");
            }
            EXPECT_EQ(out ? step->DateTimeOut() : step->DateTimeIn(), row.stored.value_or(before));
        }
    }
}

// TimeOut compares with TimeIn to the minute. Left empty it takes the present minute: the real
// clock carries milliseconds, and the fraction of a second is cut, never rounded into the next
// minute or the next day. During the noon hour the present reads as past midnight until PM.
TEST_F(TimeEntryTest, TimeOutComparesWithTimeInToTheMinute) {
    const auto fraction = [](int hour, int minute, double seconds) {
        return platform::Date{Moment(2026, 3, 2, hour, minute).days + seconds / 86400.0};
    };
    const platform::Date now = fake.now, never{}, half_past_eight = Moment(2026, 12, 4, 8, 30);
    // Moments with a fraction of a second, as an empty TimeIn holds them.
    const platform::Date half = fraction(14, 7, 59.5), almost = fraction(14, 7, 59.999),
                         night = fraction(23, 59, 59.7), morning = fraction(11, 59, 59.7);
    const struct Row {
        const char* name;
        platform::Date now, in;
        const char* keys;
        std::optional<platform::Date> stored;
    } rows[] = {
        {"SameMinuteWithLaterSeconds", now, Moment(2026, 12, 4, 8, 30, 45), "1204260830",
         half_past_eight},
        {"OneMinuteEarlier", now, half_past_eight, "1204260829", {}},
        {"DayEarlier", now, half_past_eight, "1203261530", {}},
        {"InNeverSet", now, never, "0101000000", Moment(2000, 1, 1, 0, 0)},
        {"Later", now, half_past_eight, "1204261745", Moment(2026, 12, 4, 17, 45)},
        {"EmptyHalfASecond", half, half, "", Moment(2026, 3, 2, 14, 7)},
        {"EmptyAlmostASecond", almost, almost, "", Moment(2026, 3, 2, 14, 7)},
        {"EmptyBeforeMidnight", night, night, "", Moment(2026, 3, 2, 23, 59)},
        {"EmptyBeforeNoon", morning, morning, "", Moment(2026, 3, 2, 11, 59)},
        {"EmptyInTheNoonHour", Moment(2026, 12, 4, 12, 15, 30), Moment(2026, 12, 4, 9, 0), "", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fake.now = row.now;
        step->SetDateTimeIn(row.in);
        step->SetDateTimeOut({});
        Enter<stampkind::TimeOut>(row.keys);
        EXPECT_EQ(Finished(), row.stored.has_value());
        EXPECT_EQ(step->DateTimeOut(), row.stored.value_or(never));
        if (!row.stored) {
            EXPECT_EQ(display->calls().front().second, "Date Out is before Date In");
        }
    }
    // The refused noon-hour entry shows as after midnight; PM makes it noon.
    auto keypad = Enter<stampkind::TimeOut>("");
    EXPECT_EQ(display->user_input(), "12/04/26 12:15  AM");
    EXPECT_EQ(keypad->Entry(), "1204261215");
    keypad->ProcessKeyPress('/');
    keypad->ProcessKeyPress(kEnter);
    EXPECT_TRUE(Finished());
    EXPECT_EQ(step->DateTimeOut(), Moment(2026, 12, 4, 12, 15));

    // An empty TimeIn is the present moment whole.
    fake.now = night;
    Enter<stampkind::TimeIn>("");
    EXPECT_EQ(step->DateTimeIn(), night);
}

// The cursor steps over the separators; the AM/PM button redraws without moving it.
TEST_F(TimeEntryTest, CursorStepsOverSeparatorsAndAmPmLeavesIt) {
    auto keypad = Ready<stampkind::TimeOut>();
    for (int position : {1, 3, 4, 6, 7, 9, 10, 12, 13, 15}) {
        keypad->ProcessKeyPress('1');
        EXPECT_EQ(display->cursor_position(), position);
    }
    display->clear_calls();
    raised->clear();
    keypad->Get<platform::CommandButton>("cmdAmPm").Click();
    EXPECT_EQ(display->calls(), (Calls{{"SetUserInput", "11/11/11 11:11  PM"}}));
    EXPECT_EQ(raised->text(), "Click");
}

class AmountEntryTest : public ::testing::Test, protected KeypadWorld {};

// Amounts as stored, or refused with the keypad's message and the step's amount left alone. Hours
// are decimal hours to the thousandth, the sign set by minus and plus and toggled by the slash;
// dollars are exact to the cent, and zero dollars are no amount.
TEST_F(AmountEntryTest, AmountsAreStoredOrRefused) {
    struct Row {
        const char* keys;
        std::optional<double> amount;
    };
    const auto check = [this](auto keypad, const Row& row, const char* refusal) {
        step->SetAmount(99.0);
        EXPECT_EQ(Submit(*keypad, row.keys), row.amount.has_value()) << row.keys;
        EXPECT_DOUBLE_EQ(step->Amount(), row.amount.value_or(99.0)) << row.keys;
        if (!row.amount) {
            EXPECT_EQ(display->calls().front().second, refusal) << row.keys;
        }
    };
    const std::vector<Row> hours{
        {"0830", 8.5},   {"0810", 8.167}, {"0001", 0.017}, {"2359", 23.983}, {"0000", 0.0},
        {"-0830", -8.5}, {"/0830", -8.5}, {"//0830", 8.5}, {"--0830", -8.5}, {"-+0830", 8.5},
        {"2400", {}},    {"0960", {}},    {"9999", {}},    {"830", {}},      {"", {}},
    };
    for (const Row& row : hours)
        check(Ready<stampkind::Hours>(), row, "Invalid Time Amount");
    // clang-format off
    const std::vector<Row> dollars{
        {"1234", 12.34}, {"5", 0.05}, {"12345678", 123456.78}, {"-1234", -12.34},
        {"123456789", 123456.78}, {"00000001", 0.01}, {"", {}}, {"0", {}}, {"0000", {}},
        {"-", {}}, {"-00", {}},
    };
    // clang-format on
    for (const Row& row : dollars)
        check(Ready<stampkind::Currency>(), row, "Invalid Dollar Amount");
}

// Hours keep the entry after accepting it and accept it again. The sign is drawn before the
// digits, the cursor steps over it, and it survives Reset on both amount keypads.
TEST_F(AmountEntryTest, SignSurvivesResetAndTheCursorStepsOverIt) {
    auto hours = Ready<stampkind::Hours>();
    EXPECT_TRUE(Submit(*hours, "0830"));
    step->SetAmount(0.0);
    EXPECT_TRUE(Submit(*hours, ""));
    EXPECT_DOUBLE_EQ(step->Amount(), 8.5);

    hours = Ready<stampkind::Hours>();
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
