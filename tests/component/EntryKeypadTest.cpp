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
    std::string alignment;
    bool cursor;
    std::size_t max_digits;
    std::string extra_button;
    // Keys that Enter refuses, and the message shown.
    std::string refused_keys;
    std::string refusal;
};

void PrintTo(const KeypadKind& kind, std::ostream* out) {
    *out << kind.name;
}

std::vector<KeypadKind> AllKinds() {
    return {
        {"TimeIn", [] { return stampkind::TimeIn::Create(); }, "Enter Date and Time In",
         "  /  /     :    AM", "userinput alignment=0", true, 10, "cmdAmPm", "1",
         "Invalid Date or Time"},
        {"TimeOut", [] { return stampkind::TimeOut::Create(); }, "Enter Date and Time Out",
         "  /  /     :    AM", "userinput alignment=0", true, 10, "cmdAmPm", "1",
         "Invalid Date or Time"},
        {"Hours", [] { return stampkind::Hours::Create(); }, "Enter Hours", "  :  ",
         "userinput alignment=0", true, 4, "cmdPlusMinus", "830", "Invalid Time Amount"},
        {"Currency", [] { return stampkind::Currency::Create(); }, "Enter Dollar Amount",
         "$      .  ", "userinput alignment=1", false, 8, "cmdPlusMinus", "000",
         "Invalid Dollar Amount"},
    };
}

class EntryFrameTest : public ::testing::TestWithParam<KeypadKind> {
  protected:
    void SetUp() override {
        keypad = GetParam().create();
        keypad->Attach(step, display);
        keypad->Reset();
        display->clear_calls();
    }

    platform::FakeServices fake;
    platform::ServicesScope scope{fake};
    std::shared_ptr<stampkind::clsStep> step = MakeStep();
    std::shared_ptr<orvane::RecordingDisplay> display =
        std::make_shared<orvane::RecordingDisplay>();
    std::shared_ptr<EntryKeypad> keypad;
};

TEST_P(EntryFrameTest, ResetPreparesTheDisplayInOrder) {
    keypad->Reset();
    const KeypadKind& kind = GetParam();
    const Calls expected{
        {"Clear", ""},
        {"ReceiveMessage", kind.alignment},
        {"SetPrompt", kind.prompt},
        {"ShowCursor", kind.cursor ? "True" : "False"},
        {"SetCursorPosition", "0"},
        {"SetUserInput", kind.empty_template},
    };
    EXPECT_EQ(display->calls(), expected);
    EXPECT_EQ(keypad->Entry(), "");
}

TEST_P(EntryFrameTest, KeysAreDroppedWhileTheKeypadIsHidden) {
    EventLog log(*keypad);
    keypad->Extender().SetVisible(false);
    for (int16_t key : {int16_t{'1'}, int16_t{'/'}, int16_t{8}, kEnter}) {
        keypad->ProcessKeyPress(key);
    }
    EXPECT_EQ(keypad->Entry(), "");
    EXPECT_TRUE(display->calls().empty());
    EXPECT_TRUE(log.events().empty());
}

TEST_P(EntryFrameTest, DigitsBeyondTheLongestEntryAreIgnoredButRedrawn) {
    const std::string full(GetParam().max_digits, '1');
    Type(*keypad, full);
    const std::string shown = display->user_input();
    display->clear_calls();

    keypad->ProcessKeyPress('2');
    EXPECT_EQ(keypad->Entry(), full);
    ASSERT_FALSE(display->calls().empty());
    EXPECT_EQ(display->calls().front(), (orvane::RecordingDisplay::Call{"SetUserInput", shown}));
}

TEST_P(EntryFrameTest, BackspaceRemovesTheLastDigitAndStopsAtEmpty) {
    Type(*keypad, "12");
    for (int16_t key : {int16_t{8}, int16_t{20}, int16_t{8}})
        keypad->ProcessKeyPress(key);
    EXPECT_EQ(keypad->Entry(), "");
    EXPECT_EQ(display->user_input(), GetParam().empty_template);
}

TEST_P(EntryFrameTest, UnhandledKeysOnlyRedraw) {
    Type(*keypad, "1");
    const std::string shown = display->user_input();
    std::vector<int16_t> keys{27, '.', 'A', 0, 255};
    if (GetParam().extra_button == "cmdAmPm") {
        keys.push_back('-');
        keys.push_back('+');
    }
    for (int16_t key : keys) {
        display->clear_calls();
        keypad->ProcessKeyPress(key);
        EXPECT_EQ(keypad->Entry(), "1") << "key " << key;
        EXPECT_EQ(display->user_input(), shown) << "key " << key;
        EXPECT_FALSE(display->calls().empty()) << "key " << key;
    }
}

TEST_P(EntryFrameTest, DigitButtonWhileHiddenStillClicks) {
    EventLog log(*keypad);
    keypad->Extender().SetVisible(false);
    keypad->Get<platform::CommandButton>("cmdButton", 5).Click();
    EXPECT_EQ(log.events(), std::vector<std::string>{"Click"});
    EXPECT_EQ(keypad->Entry(), "");
    EXPECT_TRUE(display->calls().empty());
}

TEST_P(EntryFrameTest, DigitButtonTypesItsDigit) {
    EventLog log(*keypad);
    keypad->Get<platform::CommandButton>("cmdButton", 7).Click();
    keypad->Get<platform::CommandButton>("cmdButton", 0).Click();
    EXPECT_EQ(keypad->Entry(), "70");
    EXPECT_EQ(log.events(), (std::vector<std::string>{"Click", "Click"}));
}

TEST_P(EntryFrameTest, ButtonColorInAnyLetterCaseColoursAllElevenButtons) {
    keypad->ReceiveMessage(orvane::MakeMessage("colour", 255));
    for (const auto& control : keypad->Controls()) {
        EXPECT_EQ(control->BackColor(), platform::kButtonFace) << control->QualifiedName();
    }

    keypad->ReceiveMessage(orvane::MakeMessage("Button Color", 255));
    EXPECT_EQ(keypad->ButtonColor(), 255);
    int coloured = 0;
    for (const auto& control : keypad->Controls()) {
        EXPECT_EQ(control->BackColor(), 255) << control->QualifiedName();
        ++coloured;
    }
    EXPECT_EQ(coloured, 11);
}

TEST_P(EntryFrameTest, RefusedEntryShowsTheErrorPausesAndShowsTheEntryAgain) {
    Type(*keypad, GetParam().refused_keys);
    const std::string shown = display->user_input();
    display->clear_calls();
    EventLog log(*keypad);

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
    EXPECT_TRUE(log.events().empty());
}

TEST_P(EntryFrameTest, AttachRefusesAStepOfAnotherKind) {
    const auto foreign = std::dynamic_pointer_cast<framework::IStep>(
        orvane::MakeValueStep("Employee ID", platform::Variant(17)));
    ASSERT_TRUE(foreign);
    try {
        keypad->Attach(foreign, display);
        FAIL() << "no error raised";
    } catch (const platform::RaisedError& error) {
        EXPECT_EQ(error.number(), platform::err::kTypeMismatch);
    }
}

INSTANTIATE_TEST_SUITE_P(AllValueKeypads, EntryFrameTest, ::testing::ValuesIn(AllKinds()),
                         [](const auto& info) { return info.param.name; });

// The failure sequence reaches the display and the services in one order: the error, the
// dispatch of pending messages, the pause, the cursor, the redraw.
class InterleavingServices final : public platform::FakeServices {
  public:
    explicit InterleavingServices(std::vector<std::string>& log) : m_log(log) {}
    void DoEvents() override {
        m_log.push_back("DoEvents");
        FakeServices::DoEvents();
    }
    void Sleep(uint32_t milliseconds) override {
        m_log.push_back("Sleep " + std::to_string(milliseconds));
        FakeServices::Sleep(milliseconds);
    }

  private:
    std::vector<std::string>& m_log;
};

class InterleavingDisplay final : public orvane::RecordingDisplay {
  public:
    explicit InterleavingDisplay(std::vector<std::string>& log) : m_log(log) {}
    void ShowError(const std::string& text) override {
        m_log.push_back("ShowError");
        RecordingDisplay::ShowError(text);
    }
    void ShowCursor(framework::VBool visible) override {
        m_log.push_back("ShowCursor");
        RecordingDisplay::ShowCursor(visible);
    }
    void SetUserInput(const std::string& text) override {
        m_log.push_back("SetUserInput");
        RecordingDisplay::SetUserInput(text);
    }

  private:
    std::vector<std::string>& m_log;
};

TEST(EntryFailureSequenceTest, ErrorDispatchPauseCursorRedraw) {
    std::vector<std::string> log;
    InterleavingServices services(log);
    platform::ServicesScope scope(services);
    auto display = std::make_shared<InterleavingDisplay>(log);
    auto keypad = stampkind::Hours::Create();
    keypad->Attach(MakeStep(), display);
    keypad->Reset();
    Type(*keypad, "99");
    log.clear();

    keypad->ProcessKeyPress(kEnter);
    EXPECT_EQ(log, (std::vector<std::string>{"ShowError", "DoEvents", "Sleep 2000", "ShowCursor",
                                             "SetUserInput"}));
}

// The digit buttons of the date-time keypads raise Click after the key is drawn; those of the
// amount keypads before.
TEST(EntryClickOrderTest, DateTimeKeypadsClickAfterTheKeyAmountKeypadsBefore) {
    platform::FakeServices fake;
    platform::ServicesScope scope(fake);
    auto step = MakeStep();
    const std::vector<std::pair<std::shared_ptr<EntryKeypad>, bool>> cases{
        {stampkind::TimeIn::Create(), true},
        {stampkind::TimeOut::Create(), true},
        {stampkind::Hours::Create(), false},
        {stampkind::Currency::Create(), false},
    };
    for (const auto& [keypad, drawn_before_click] : cases) {
        auto display = std::make_shared<orvane::RecordingDisplay>();
        keypad->Attach(step, display);
        keypad->Reset();
        display->clear_calls();
        std::size_t calls_at_click = 0;
        keypad->Connect("Click", [&, d = display.get()] { calls_at_click = d->calls().size(); });
        keypad->Get<platform::CommandButton>("cmdButton", 4).Click();
        EXPECT_EQ(calls_at_click > 0, drawn_before_click) << keypad->Style().prompt;
        EXPECT_EQ(keypad->Entry(), "4");
    }
}

// The eleven buttons: cells, captions and the two tab orders.
TEST(EntryLayoutTest, ButtonsSitInTheirCellsWithTheirTabOrders) {
    struct Cell {
        std::string name;
        int index;
        std::string caption;
        int left;
        int top;
        int tab;
        int tab_time_out;
    };
    const std::vector<Cell> cells{
        {"cmdButton", 7, "7", 120, 240, 2, 8},        {"cmdButton", 8, "8", 1080, 240, 1, 9},
        {"cmdButton", 9, "9", 2040, 240, 0, 10},      {"cmdButton", 4, "4", 120, 1080, 5, 5},
        {"cmdButton", 5, "5", 1080, 1080, 4, 6},      {"cmdButton", 6, "6", 2040, 1080, 3, 7},
        {"cmdButton", 1, "1", 120, 1920, 8, 2},       {"cmdButton", 2, "2", 1080, 1920, 7, 3},
        {"cmdButton", 3, "3", 2040, 1920, 6, 4},      {"cmdButton", 0, "0", 1080, 2760, 9, 1},
        {"cmdAmPm", -1, "AM&/PM", 2040, 2760, 10, 0},
    };
    auto time_in = stampkind::TimeIn::Create();
    auto time_out = stampkind::TimeOut::Create();
    EXPECT_EQ(time_in->Controls().size(), 11u);
    for (const Cell& cell : cells) {
        const auto& in = time_in->Get<platform::CommandButton>(cell.name, cell.index);
        const auto& out = time_out->Get<platform::CommandButton>(cell.name, cell.index);
        EXPECT_EQ(in.Caption(), cell.caption);
        EXPECT_EQ(std::make_pair(in.Left(), in.Top()), std::make_pair(cell.left, cell.top))
            << in.QualifiedName();
        EXPECT_EQ(std::make_pair(in.Width(), in.Height()), std::make_pair(855, 735));
        EXPECT_EQ(in.TabIndex(), cell.tab) << in.QualifiedName();
        EXPECT_EQ(out.TabIndex(), cell.tab_time_out) << out.QualifiedName();
        EXPECT_TRUE(in.Graphical());
    }
    const auto hours = stampkind::Hours::Create();
    const auto& sign = hours->Get<platform::CommandButton>("cmdPlusMinus");
    EXPECT_EQ(sign.Caption(), "+ &/ -");
    EXPECT_EQ(sign.Font(), (platform::FontSpec{"Arial", 12.0, true}));
    EXPECT_EQ(time_in->Get<platform::CommandButton>("cmdAmPm").Font(),
              (platform::FontSpec{"Arial", 9.75, true}));
}

}  // namespace
