#include <gtest/gtest.h>

#include <algorithm>

#include "KeypadTestSupport.h"
#include "entry/EntryKeypad.h"
#include "keypad/StampkindKeypad.h"
#include "platform/Services.h"

namespace {

using namespace keypad_test;

// One whole manager-mode punch for each shape of entry that the clock's journeys do not already
// type end to end (an out, a vacation and an advance are theirs): the keys from the first choice to
// Finished ("\r" is Enter), the value keypads brought up in turn, and what the step holds at the
// end.
struct ManagerPunch {
    std::string name;
    std::string keys;
    std::string value;
    std::vector<std::string> keypads;
    platform::Date in;
    platform::Date out;
    double amount;
};

void PrintTo(const ManagerPunch& punch, std::ostream* out) {
    *out << punch.name;
}

const platform::Date kIn = Moment(2026, 12, 4, 8, 30);
const platform::Date kOut = Moment(2026, 12, 4, 17, 0);
const platform::Date kNone{};
constexpr const char* kInKeys = "1204260830\r";
constexpr const char* kOutKeys = "1204261700\r";

std::vector<ManagerPunch> AllPunches() {
    const std::string in = kInKeys;
    const std::string out = kOutKeys;
    const std::vector<std::string> hours{"TimeIn1", "Hours1"};
    return {
        {"In", "1\r" + in, "I", {"TimeIn1"}, kIn, kNone, 0.0},
        {"Switch", "7\r" + in, "SW", {"TimeIn1"}, kIn, kIn, 0.0},
        {"Complete", "++2\r" + in + out, "C", {"TimeIn1", "TimeOut1"}, kIn, kOut, 0.0},
        {"Funeral", "+8\r" + in + "0830\r", "FL", hours, kIn, kNone, 8.5},
        {"JuryDuty", "++1\r" + in + "0830\r", "JD", hours, kIn, kNone, 8.5},
        {"Status", "0\r", "Status", {}, kNone, kNone, 0.0},
    };
}

// A keypad attached to a step that offers STATUS, in manager mode, coloured and reset.
class ManagerKeypadFixture : public ::testing::Test, protected KeypadWorld {
  protected:
    void SetUp() override {
        step = MakeStep("1111111111", true);
        fake.now = Moment(2026, 12, 4, 17, 30);
        keypad->Attach(step, display);
        keypad->ReceiveMessage(orvane::MakeMessage("manager mode", true));
        keypad->ReceiveMessage(orvane::MakeMessage("button color", 255));
        keypad->Reset();
        keypad->Connect("Finished", [this] { finished_keypads = ShownKeypads(); });
    }

    std::vector<std::string> ShownKeypads() const {
        std::vector<std::string> shown;
        for (const char* name : {"TimeIn1", "TimeOut1", "Hours1", "Currency1"}) {
            if (keypad->Find(name)->Visible())
                shown.push_back(name);
        }
        return shown;
    }

    std::shared_ptr<stampkind::StampkindKeypad> keypad = stampkind::StampkindKeypad::Create();
    EventLog log{*keypad};
    std::vector<std::string> finished_keypads;
};

class ManagerPunchTest : public ManagerKeypadFixture,
                         public ::testing::WithParamInterface<ManagerPunch> {};

TEST_P(ManagerPunchTest, RunsFromTheFirstKeyToFinished) {
    const ManagerPunch& punch = GetParam();
    std::vector<std::string> brought_up;
    for (char key : punch.keys) {
        ASSERT_TRUE(std::count(log.events().begin(), log.events().end(), "Finished") == 0)
            << "finished early";
        keypad->ProcessKeyPress(static_cast<int16_t>(key));
        const auto active = keypad->ActiveKeypad();
        if (active && (brought_up.empty() || brought_up.back() != active->Extender().Name())) {
            brought_up.push_back(active->Extender().Name());
        }
    }

    EXPECT_EQ(brought_up, punch.keypads);
    ASSERT_FALSE(log.events().empty());
    EXPECT_EQ(log.events().back(), "Finished");
    EXPECT_EQ(std::count(log.events().begin(), log.events().end(), "Finished"), 1);
    EXPECT_EQ(step->Value().to_text(), punch.value);
    EXPECT_EQ(step->DateTimeIn(), punch.in);
    EXPECT_EQ(step->DateTimeOut(), punch.out);
    EXPECT_DOUBLE_EQ(step->Amount(), punch.amount);
    EXPECT_TRUE(fake.pauses.empty());
    // The value keypads got the keypad's colour when they were brought up.
    if (const auto active = keypad->ActiveKeypad()) {
        EXPECT_EQ(active->ButtonColor(), 255);
    }
    // During value entry no punch-type button, More Punches nor Skip is on show.
    if (!punch.keypads.empty()) {
        for (const auto& control : keypad->Controls()) {
            if (control->Kind() == platform::ControlKind::CommandButton) {
                EXPECT_FALSE(control->Visible()) << control->QualifiedName();
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPunchType, ManagerPunchTest, ::testing::ValuesIn(AllPunches()),
                         [](const auto& info) { return info.param.name; });

class ManagerEntryTest : public ManagerKeypadFixture {
  protected:
    bool ShowedError(const std::string& text) const {
        const orvane::RecordingDisplay::Call call{"ShowError", text};
        return std::find(display->calls().begin(), display->calls().end(), call) !=
               display->calls().end();
    }
};

TEST_F(ManagerEntryTest, RefusedTimeInKeepsItsEntryRefusedSecondValueIsCleared) {
    Type(*keypad, "+2\r");
    Type(*keypad, "1399\r");
    EXPECT_TRUE(ShowedError("Invalid Date or Time"));
    EXPECT_EQ(keypad->ActiveKeypad()->Entry(), "1399");
    Type(*keypad, std::string(4, '\b') + kInKeys);
    ASSERT_EQ(keypad->ActiveKeypad()->Extender().Name(), "Hours1");

    Type(*keypad, "99\r");
    EXPECT_TRUE(ShowedError("Invalid Time Amount"));
    EXPECT_EQ(keypad->ActiveKeypad()->Entry(), "");
    EXPECT_EQ(display->prompt(), "Enter Hours");
    Type(*keypad, "0815\r");
    EXPECT_DOUBLE_EQ(step->Amount(), 8.25);
    EXPECT_EQ(log.events().back(), "Finished");
}

TEST_F(ManagerEntryTest, PlusAndMinusReachTheValueKeypad) {
    Type(*keypad, "+1\r" + std::string(kInKeys));
    ASSERT_EQ(keypad->ActiveKeypad()->Extender().Name(), "Currency1");
    Type(*keypad, "-");
    EXPECT_EQ(keypad->Page(), 1);
    EXPECT_EQ(display->user_input(), "-$      .  ");
    Type(*keypad, "+500\r");
    EXPECT_DOUBLE_EQ(step->Amount(), 5.0);
    EXPECT_EQ(keypad->Value(), "A");
}

TEST_F(ManagerEntryTest, ValueKeypadClicksReachTheHost) {
    Type(*keypad, "1\r");
    log.clear();
    auto site = std::dynamic_pointer_cast<platform::UserControlSite>(keypad->Find("TimeIn1"));
    site->Inner()->Get<platform::CommandButton>("cmdButton", 1).Click();
    EXPECT_EQ(log.events(), std::vector<std::string>{"Click"});
    EXPECT_EQ(keypad->ActiveKeypad()->Entry(), "1");
}

TEST_F(ManagerEntryTest, EnterAfterFinishingSetsTheValueAndFinishesAgain) {
    Type(*keypad, "2\r" + std::string(kOutKeys));
    step->SetValue(platform::Variant(""));
    log.clear();
    keypad->ProcessKeyPress(kEnter);
    EXPECT_EQ(step->Value().to_text(), "O");
    EXPECT_EQ(log.events(), std::vector<std::string>{"Finished"});
}

}  // namespace
