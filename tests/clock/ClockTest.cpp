// Journeys through the clock engine: keys, clicks and the passing of time in, the screen model's
// texts and the stored rows out. A fixed clock and a temporary database; nothing sleeps.
#include "host/clock/Clock.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "framework/Factories.h"
#include "host/clock/ComponentLibrary.h"
#include "host/clock/KeyScript.h"
#include "host/database/QueryDatabase.h"
#include "host/database/Sqlite.h"
#include "host/framework/Global.h"
#include "platform/FakeServices.h"
#include "platform/Services.h"
#include "step/StepSettings.h"
#include "tests/support/Engine.h"
#include "tests/support/Postgres.h"
#include "tests/support/PostgresRelay.h"
#include "tests/support/TempFolder.h"

namespace {

using timeclock::Clock;
using timeclock::ClockState;

// Mina Hart in manager mode, then her vacation for Avery Stone on the 4th: its day typed, and its
// eight hours typed too, waiting for her PIN.
const std::string kManager = "9001 ENTER 2468 ENTER ";
const std::string kVacationDay = kManager + "1001 ENTER + 4 ENTER 1204260800 ENTER ";
const std::string kVacation = kVacationDay + "0800 ENTER ";
// Noel Park, known to the clock (and to its copy of the server's employees), is removed.
const std::string kRemoved = "1005 ENTER 1 ENTER WAIT:3 REMOVE:1005 ";

struct Journey {
    const char* name;
    // Blank-separated as for `timeclock punch --keys`, plus WAIT:n (n seconds pass, then a Tick)
    // and REMOVE:card (the employee is removed).
    std::string inputs;
    // Texts the screen shows at the end, and one it must not show ("" for none).
    std::vector<std::string> shown;
    const char* not_shown;
    // The punch types stored for card 1001, in order, joined by blanks.
    const char* stored;
    bool glidepass = false;
    // The database is on the tests' PostgreSQL server, which AWAY and BACK take away and return.
    bool server = false;
    // The punch types stored for card 1005, the next person at the clock.
    const char* next_stored = "";

    friend void PrintTo(const Journey& journey, std::ostream* os) { *os << journey.name; }
};

class ClockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_fake.registry_file = m_folder / "registry.json";
        const char* bin = std::getenv("STAMPKIND_BIN");
        timeclock::ComponentLibrary(std::filesystem::path(bin ? bin : ".") / "libstampkind.so")
            .Register();
    }

    void SaveSetting(stampkind::SettingId id, platform::Variant value) {
        const auto file = m_folder / "timeclock.json";
        auto config = timeclock::Configuration::Load(file);
        auto step = config.CreateStep();
        stampkind::SettingsView(step->Properties()).Item(id)->SetValue(std::move(value));
        config.StoreStep(step);
        config.Save(file);
    }
    void TurnOnTheAutomaticPunch() {
        SaveSetting(stampkind::SettingId::IsGlidepass, platform::Variant(true));
    }

    void Open(bool glidepass, bool server = false) {
        std::ofstream(m_folder / "timeclock.json") << R"({"steps": ["Employee ID", "Punch Entry",
            "Employee Statistics"]})";
        if (glidepass)
            TurnOnTheAutomaticPunch();
        if (server)
            m_server.emplace();
        OpenSaved();
    }

    // Opens the clock on the configuration file as it stands.
    void OpenSaved() {
        const auto database = m_relay    ? std::filesystem::path(m_relay->uri())
                              : m_server ? std::filesystem::path(m_server->uri())
                                         : m_folder / "clock.db";
        m_clock = Clock::Open({m_folder / "timeclock.json", database});
        ExpectClockDatabaseOn(database,
                              m_server ? orvane::Engine::Postgres : orvane::Engine::Sqlite);
        auto& db = m_clock->Database();
        db.AddEmployee({1001, "Avery Stone", false});
        db.AddEmployee({1005, "Noel Park", false});
        db.AddEmployee({9001, "Mina Hart", true});
        db.SetManagerPin(9001, "2468");
        m_clock->SetLog([this](std::string_view text) { m_log.emplace_back(text); });
        m_clock->Start();
    }

    void Drive(const std::string& inputs) {
        std::istringstream tokens(inputs);
        std::string token;
        while (tokens >> token) {
            if (token == "AWAY" || token == "BACK") {
                token == "AWAY" ? m_server->Refuse() : m_server->Return();
                continue;
            }
            if (token.starts_with("REMOVE:")) {
                EXPECT_TRUE(m_clock->Database().RemoveEmployee(std::stoi(token.substr(7))));
                continue;
            }
            if (token.starts_with("WAIT:")) {
                m_fake.now.days += std::stoi(token.substr(5)) / 86400.0;
                m_clock->Handle(timeclock::input::Tick{m_fake.now});
                continue;
            }
            for (const auto& input : timeclock::KeyScript::Parse(token).actions) {
                const bool taken = m_clock->Handle(input);
                if (std::holds_alternative<timeclock::input::Click>(input))
                    m_clicks.push_back(taken);
            }
        }
    }

    std::string Screen() const {
        const auto model = m_clock->Model();
        std::string text = model.banner + "\n" + model.employee + "\n" + model.prompt + "\n" +
                           model.entry + "\n" + model.error + "\n" + model.information;
        for (const auto& line : model.confirmation)
            text += "\n" + line;
        return text;
    }

    std::string Stored(int32_t card = 1001) const {
        std::string types;
        for (const auto& row : m_clock->Database().Rows(card))
            types += (types.empty() ? "" : " ") + row.punch_type;
        return types;
    }

    TempFolder m_folder;
    std::optional<ScratchPostgres> m_server;
    // The server through a relay that can fall silent, when the clock is opened on it.
    std::unique_ptr<PostgresRelay> m_relay;
    platform::FakeServices m_fake{*platform::make_date_time({2026, 12, 4, 8, 0, 0})};
    platform::ServicesScope m_scope{m_fake};
    std::unique_ptr<Clock> m_clock;
    std::vector<std::string> m_log;
    std::vector<bool> m_clicks;
};

class Journeys : public ClockTest, public ::testing::WithParamInterface<Journey> {};

TEST_P(Journeys, ShowAndStore) {
    const auto& journey = GetParam();
    if (journey.server && ScratchPostgres::ServerUri().empty())
        GTEST_SKIP() << "no PostgreSQL cluster for the tests (STAMPKIND_TEST_POSTGRES)";
    Open(journey.glidepass, journey.server);
    Drive(journey.inputs);
    const auto screen = Screen();
    for (const auto& text : journey.shown)
        EXPECT_NE(screen.find(text), std::string::npos) << text << " not in\n" << screen;
    if (*journey.not_shown) {
        EXPECT_EQ(screen.find(journey.not_shown), std::string::npos) << screen;
    }
    EXPECT_EQ(Stored(), journey.stored);
    EXPECT_EQ(Stored(1005), journey.next_stored);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Clock, Journeys, ::testing::Values(
    Journey{"EmployeeIn", "1001 ENTER 1 ENTER",
            {"Avery Stone", "IN 12/04/2026 8:00 AM", "Today 0:00"}, "", "I"},
    // In, lunch, break and out: each out closes its open row, so the day is two work rows,
    // the lunch and the break.
    Journey{"AnEmployeesDay",
            "1001 ENTER 1 ENTER WAIT:14400 1001 ENTER 3 ENTER WAIT:1800 1001 ENTER 4 ENTER "
            "WAIT:9000 1001 ENTER 5 ENTER WAIT:900 1001 ENTER 6 ENTER WAIT:6300 1001 ENTER 2 ENTER",
            {"OUT 12/04/2026 5:00 PM"}, "", "O LI O BI"},
    Journey{"ConfirmationEndsByItself", "1001 ENTER 1 ENTER WAIT:3", {"Enter Card Number"},
            "Avery Stone", "I"},
    Journey{"NewCardEndsTheConfirmationAndIsTaken", "1001 ENTER 1 ENTER 1001 ENTER",
            {"Avery Stone  card 1001"}, "IN 12/04", "I"},
    Journey{"EscapeEndsTheConfirmation", "1001 ENTER 1 ENTER ESC", {"Enter Card Number"},
            "IN 12/04", "I"},
    Journey{"IdleQuestionStoresNothing", "1001 ENTER 2 ENTER WAIT:30 ENTER", {"Enter Card Number"},
            "not clocked in", ""},
    Journey{"IdleCardEntryIsCleared", "10 WAIT:30 01 ENTER", {"Unknown card 01"}, "", ""},
    Journey{"ManagerCardAsksThePin", "9001 ENTER 24", {"Enter PIN for Mina Hart", "**"}, "2468",
            ""},
    Journey{"ManagerVacation", kVacation + "2468 ENTER",
            {"VACATION 8:00 h on 12/04/2026", "Entered by Mina Hart for Avery Stone"}, "", "V"},
    Journey{"ManagerAdvance",
            kManager + "1001 ENTER + 1 ENTER 1204260800 ENTER 5000 ENTER 2468 ENTER",
            {"ADVANCE $50.00 on 12/04/2026"}, "", "A"},
    // The step keeps the values of earlier punches; the confirmation shows only this punch's.
    Journey{"InAfterAManagersVacationShowsNoHours", kVacation + "2468 ENTER 1001 ENTER 1 ENTER",
            {"IN "}, " h on ", "V I"},
    Journey{"ManagerOutAfterAVacationShowsTheTypedOut",
            kVacation + "2468 ENTER " + kManager +
                "1001 ENTER 2 ENTER 1205260500 / ENTER 2468 ENTER",
            {"OUT 12/05/2026 5:00 PM"}, "12/04", "V O"},
    // The keypad raises 91 for keys after a manager's STATUS; the clock has ended the punch by
    // then, so the next key starts the next card.
    Journey{"KeysAfterManagersStatusStartTheNextCard", kManager + "1001 ENTER 0 ENTER 1001 ENTER",
            {"Avery Stone  card 1001"}, "Object variable", ""},
    // A manager's STATUS stores nothing and shows the employee's figures until it ends.
    Journey{"ManagersStatusShowsTheFigures", kManager + "1001 ENTER 0 ENTER",
            {"STATUS\nToday 0:00  This week 0:00"}, "", ""},
    Journey{"EscapeLeavesManagerMode", kManager + "ESC 1001 ENTER", {"Avery Stone"}, "MANAGER", ""},
    Journey{"WrongPin", "9001 ENTER 1111 ENTER", {"Wrong PIN", "Enter PIN for Mina Hart"}, "", ""},
    Journey{"FiveWrongPinsLockTheCard",
            "9001 ENTER 1 ENTER 2 ENTER 3 ENTER 4 ENTER 5 ENTER 9001 ENTER", {"locked", "8:05 AM"},
            "Enter PIN", ""},
    Journey{"LockEndsAfterFiveMinutes",
            "9001 ENTER 1 ENTER 2 ENTER 3 ENTER 4 ENTER 5 ENTER WAIT:300 9001 ENTER",
            {"Enter PIN for Mina Hart"}, "", ""},
    Journey{"RightPinClearsTheWrongOnes",
            "9001 ENTER 1 ENTER 2 ENTER 3 ENTER 4 ENTER 2468 ENTER ESC 9001 ENTER 5 ENTER",
            {"Wrong PIN"}, "locked", ""},
    Journey{"AutomaticPunchFollowsTheHistory",
            "1001 ENTER WAIT:14400 1001 ENTER WAIT:1800 1001 ENTER", {"IN 12/04/2026 12:30 PM"}, "",
            "O I", true},
    Journey{"AutomaticPunchNeverDecidesForTheManager", kManager + "1001 ENTER",
            {"MANAGER MODE \u2014 Mina Hart for Avery Stone"}, "IN 12/04", "", true},
    Journey{"SameCardSamePunchWithinAMinute", "1001 ENTER 1 ENTER WAIT:30 1001 ENTER 1 ENTER",
            {"Already recorded at 8:00 AM", "IN at 8:00 AM on 12/04/2026"}, "", "I"},
    // Punches within one minute share their stored moment: the history still reads them in the
    // order they were made, so an in and an out leave the employee out.
    Journey{"InAndOutWithinAMinuteLeaveTheEmployeeOut",
            "1001 ENTER 1 ENTER WAIT:20 1001 ENTER 2 ENTER WAIT:20 1001 ENTER 1 ENTER",
            {"IN 12/04/2026 8:00 AM"}, "Already recorded", "O I"},
    Journey{"OutRepeatedWithinAMinuteIsAlreadyRecorded",
            "1001 ENTER 1 ENTER 1001 ENTER 2 ENTER 1001 ENTER 2 ENTER",
            {"Already recorded at 8:00 AM", "OUT at 8:00 AM on 12/04/2026"}, "", "O"},
    Journey{"LunchAndBackWithinAMinuteLeaveTheEmployeeIn",
            "1001 ENTER 1 ENTER 1001 ENTER 3 ENTER 1001 ENTER 4 ENTER 1001 ENTER 2 ENTER",
            {"OUT 12/04/2026 8:00 AM"}, "not clocked in", "O LI O"},
    Journey{"SamePunchAfterTheDuplicateTimeAsks", "1001 ENTER 1 ENTER WAIT:61 1001 ENTER 2 ENTER",
            {"Avery Stone", "OUT 12/04/2026 8:01 AM"}, "not clocked", "O"},
    Journey{"OutWithoutInAsks", "1001 ENTER 2 ENTER",
            {"You are not clocked in. Enter: record OUT anyway. Esc: cancel."}, "", ""},
    Journey{"OutWithoutInCancelled", "1001 ENTER 2 ENTER ESC", {"Enter Card Number"}, "", ""},
    Journey{"ReturnWithoutLeaveAsks", "1001 ENTER 1 ENTER WAIT:61 1001 ENTER 4 ENTER",
            {"You are not out to lunch."}, "", "I"},
    // The server goes away inside the punch: the punch waits on the clock, and is sent once at
    // the idle card prompt after the server is back; meanwhile the clock knows the card and its
    // last punches.
    Journey{"PunchWhileTheServerIsAwayIsKept", "1001 ENTER AWAY 1 ENTER BACK",
            {timeclock::kQueuedConfirmation, timeclock::kIncompleteFigures}, "", "", false, true},
    Journey{"KeptPunchIsSentAtTheIdlePrompt",
            "1001 ENTER 1 ENTER WAIT:61 AWAY 1001 ENTER 2 ENTER BACK WAIT:3 WAIT:30 WAIT:30",
            {"Enter Card Number"}, "not clocked", "O", false, true},
    // A retry of a punch kept on the clock finds it in the queue and says it will be sent.
    Journey{"RetryOfAKeptPunchSaysItIsKept",
            "AWAY 1001 ENTER 1 ENTER WAIT:30 1001 ENTER 1 ENTER BACK",
            {std::string("Already recorded at 8:00 AM. ") + timeclock::kQueuedConfirmation}, "", "",
            false, true},
    // A card this clock has never read punches from the clock's copy of the employees.
    Journey{"NeverReadCardPunchesWhileTheServerIsAway", "AWAY 1001 ENTER 1 ENTER BACK",
            {"Avery Stone", timeclock::kQueuedConfirmation, timeclock::kIncompleteFigures}, "", "",
            false, true},
    // The automatic punch reads the in it made before the server went away and chooses the out.
    Journey{"AutomaticPunchWhileTheServerIsAwayFollowsWhatTheClockKnows",
            "1001 ENTER WAIT:61 AWAY 1001 ENTER BACK",
            {"OUT 12/04/2026 8:01 AM", timeclock::kQueuedConfirmation,
             timeclock::kIncompleteFigures},
            "Error", "I", true, true},
    Journey{"ManagerPinIsCheckedWhileTheServerIsAway", "AWAY " + kManager + "1001 ENTER BACK",
            {"MANAGER MODE \u2014 Mina Hart for Avery Stone"}, "", "", false, true},
    Journey{"WrongManagerPinWhileTheServerIsAway", "AWAY 9001 ENTER 1357 ENTER BACK", {"Wrong PIN"},
            "", "", false, true},
    // A card typed in full over someone else's screen starts that card: the first punch is given
    // up and nothing is stored for it.
    Journey{"CardOverAnAbandonedPunchScreen", "1001 ENTER WAIT:8 1005 ENTER",
            {"Noel Park  card 1005", "Select Punch Type"}, "Avery", ""},
    Journey{"CardOverAnAbandonedPunchScreenPunchesForItself",
            "1001 ENTER WAIT:8 1005 ENTER 1 ENTER", {"Noel Park", "IN 12/04/2026 8:00 AM"}, "BREAK",
            "", false, false, "I"},
    Journey{"CardOverAFullValueKeypad", kVacationDay + "0800 WAIT:5 1005 ENTER 1 ENTER",
            {"Noel Park", "IN 12/04/2026 8:00 AM"}, "MANAGER MODE", "", false, false, "I"},
    Journey{"DigitsAValueKeypadTakesAreNoCard", kVacationDay + "1005 ENTER",
            {"VACATION 10:05 h", "Enter your PIN"}, "", ""},
    // A removed employee's card is no card at any kiosk: not at the prompt, not typed over someone
    // else's punch screen, and not while the server is away (the clock forgets it with the
    // removal).
    Journey{"RemovedCardAtThePrompt", kRemoved + "1005 ENTER 1 ENTER", {"Unknown card"},
            "Noel Park", "", false, false, "I"},
    Journey{"RemovedCardTypedOverAPunch", kRemoved + "1001 ENTER 1005 ENTER", {"BREAK LEAVE"},
            "Noel Park", "BO", false, false, "I"},
    Journey{"RemovedCardOnTheServer", kRemoved + "1005 ENTER 1 ENTER", {"Unknown card"},
            "Noel Park", "", false, true, "I"},
    Journey{"RemovedCardWhileTheServerIsAway", kRemoved + "AWAY 1005 ENTER 1 ENTER BACK",
            {"cannot be read"}, "Noel Park", "", false, true, "I"},
    Journey{"ChangedMindIsNoCard", "1001 ENTER 5 1 ENTER", {"IN 12/04/2026 8:00 AM"}, "", "I"},
    Journey{"UnknownCardOverAPunchIsPunchKeys", "1001 ENTER 1 2 3 5 ENTER",
            {"BREAK LEAVE 12/04/2026 8:00 AM"}, "", "BO"},
    Journey{"CardOverAQuestion", "1001 ENTER 2 ENTER 1005 ENTER 1 ENTER",
            {"Noel Park", "IN 12/04/2026 8:00 AM"}, "not clocked in", "", false, false, "I"},
    Journey{"PunchScreenIdleEndsSooner", "1001 ENTER WAIT:15 5 ENTER", {"Unknown card 5"}, "", ""},
    Journey{"PunchScreenWithinItsIdleTime", "1001 ENTER WAIT:14 5 ENTER",
            {"BREAK LEAVE 12/04/2026 8:00 AM"}, "", "BO"},
    // Cards typed at an abandoned PIN prompt punch for themselves and never count as wrong PINs.
    Journey{"CardAtAnAbandonedPinPrompt", "9001 ENTER WAIT:5 1001 ENTER 1 ENTER",
            {"IN 12/04/2026 8:00 AM"}, "Wrong PIN", "I"},
    Journey{"CardsAtThePinPromptLockNothing",
            "9001 ENTER 1001 ENTER ESC 9001 ENTER 1001 ENTER ESC 9001 ENTER 1001 ENTER ESC 9001 "
            "ENTER 1005 ENTER ESC 9001 ENTER 1005 ENTER ESC 9001 ENTER",
            {"Enter PIN for Mina Hart"}, "locked", ""},
    // Manager mode is one entry long, and the manager's PIN confirms the entry.
    Journey{"ManagerEntryWaitsForThePin", kVacation,
            {"Mina Hart: VACATION 8:00 h on 12/04/2026 for Avery Stone. Enter your PIN"}, "", ""},
    Journey{"WrongPinStoresNoManagerEntry", kVacation + "1357 ENTER",
            {"Wrong PIN", "Enter your PIN"}, "", ""},
    Journey{"EmployeeCardAtTheManagersConfirmationPunchesForItself",
            kManager + "WAIT:10 1001 ENTER + 4 ENTER 1204260800 ENTER 0800 ENTER 1001 ENTER 1 "
                "ENTER",
            {"IN 12/04/2026 8:00 AM"}, "MANAGER MODE", "I"},
    Journey{"UnconfirmedManagerEntryEndsWhenIdle", kVacation + "WAIT:15 1001 ENTER",
            {"Avery Stone  card 1001"}, "MANAGER MODE", ""},
    Journey{"ManagerModeEndsWhenIdle", kManager + "WAIT:15 1001 ENTER", {"Avery Stone  card 1001"},
            "MANAGER MODE", ""},
    Journey{"ManagerEntryForHimselfIsRefused", kManager + "9001 ENTER",
            {"Managers do not book entries for themselves", "MANAGER MODE"}, "", ""},
    Journey{"ManagerModeEndsWithTheEntry",
            kManager + "1001 ENTER 1 ENTER 1204260800 ENTER 2468 ENTER WAIT:3 1005 ENTER",
            {"Noel Park  card 1005"}, "MANAGER MODE", "I"},
    // The employee's state decides what a punch means.
    Journey{"DoubleSwipeWithTheAutomaticPunch", "1001 ENTER WAIT:5 1001 ENTER",
            {"Already clocked IN at 8:00 AM"}, "", "I", true},
    Journey{"SecondInWhileWorkingAsks", "1001 ENTER 1 ENTER WAIT:3600 1001 ENTER 1 ENTER",
            {"You are clocked in since 8:00 AM. Enter: start a new shift (8:00 AM gets a missing "
             "OUT). Esc: cancel."},
            "", "I"},
    Journey{"SecondInWhileWorkingConfirmed",
            "1001 ENTER 1 ENTER WAIT:3600 1001 ENTER 1 ENTER ENTER", {"IN 12/04/2026 9:00 AM"}, "",
            "I I"},
    // The new shift counts; the one it left is a missing out, not an overlap worth nothing.
    Journey{"NewShiftCountsItsHours",
            "1001 ENTER 1 ENTER WAIT:3600 1001 ENTER 1 ENTER ENTER WAIT:28800 1001 ENTER 2 ENTER",
            {"OUT 12/04/2026 5:00 PM", "Today 8:00"}, "", "I O"},
    Journey{"InAfterTheLongestShiftAsksNothing", "1001 ENTER 1 ENTER WAIT:61200 1001 ENTER 1 ENTER",
            {"IN 12/05/2026 1:00 AM"}, "clocked in since", "I I"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Every button of the pads on show, and the clock's own Enter, Clear and Cancel, in each state of
// the clock: the card prompt, the manager's PIN, the punch keypad, a question and the
// confirmation. Each row starts with the keys that reach its state.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Buttons, Journeys, ::testing::Values(
    Journey{"IdleDigitButtons",
            "CLICK:cmdKey(0) CLICK:cmdKey(1) CLICK:cmdKey(2) CLICK:cmdKey(3) CLICK:cmdKey(4) "
            "CLICK:cmdKey(11)", {"Unknown card 12345"}, "", ""},
    Journey{"IdleMoreDigitButtons",
            "CLICK:cmdKey(5) CLICK:cmdKey(6) CLICK:cmdKey(7) CLICK:cmdKey(8) CLICK:cmdKey(10) "
            "CLICK:cmdKey(11)", {"Unknown card 67890"}, "", ""},
    Journey{"IdlePadClear", "100 CLICK:cmdKey(9) 1001 ENTER", {"Avery Stone  card 1001"}, "", ""},
    Journey{"IdleOwnClear", "100 CLICK:cmdClear 1001 ENTER", {"Avery Stone  card 1001"}, "", ""},
    Journey{"IdleOwnCancel", "100 CLICK:cmdCancel 1001 ENTER", {"Avery Stone  card 1001"}, "", ""},
    Journey{"PinPadDigitsAndEnter",
            "9001 ENTER CLICK:cmdKey(1) CLICK:cmdKey(3) CLICK:cmdKey(5) CLICK:cmdKey(7) "
            "CLICK:cmdKey(11) 1001 ENTER", {"MANAGER MODE"}, "Wrong PIN", ""},
    Journey{"PinPadClear", "9001 ENTER 11 CLICK:cmdKey(9) 2468 ENTER 1001 ENTER", {"MANAGER MODE"},
            "Wrong PIN", ""},
    Journey{"PinOwnClear", "9001 ENTER 11 CLICK:cmdClear 2468 ENTER 1001 ENTER", {"MANAGER MODE"},
            "Wrong PIN", ""},
    Journey{"PinOwnEnter", "9001 ENTER 2468 CLICK:cmdEnter 1001 ENTER", {"MANAGER MODE"},
            "Wrong PIN", ""},
    Journey{"PinOwnCancel", "9001 ENTER 24 CLICK:cmdCancel", {"Enter Card Number"}, "PIN", ""},
    Journey{"PinBackspace", "9001 ENTER 24689 BS ENTER 1001 ENTER", {"MANAGER MODE"}, "Wrong PIN",
            ""},
    // Clear empties a value keypad's entry: the date typed after it is the whole date.
    Journey{"ValueKeypadOwnClear",
            kManager + "1001 ENTER + 4 ENTER 1203 CLICK:cmdClear 1204260800 ENTER 0800 ENTER "
                "2468 ENTER",
            {"VACATION 8:00 h on 12/04/2026"}, "", "V"},
    Journey{"PunchOwnClearKeepsTheKeypad", "1001 ENTER 3 CLICK:cmdClear 1 ENTER",
            {"IN 12/04/2026 8:00 AM"}, "", "I"},
    // A Clear that never ends its loop hangs here until ctest's timeout.
    Journey{"PunchOwnClearOnAnEmptyEntry", "1001 ENTER CLICK:cmdClear 1 ENTER",
            {"IN 12/04/2026 8:00 AM"}, "", "I"},
    Journey{"PunchOwnCancel", "1001 ENTER CLICK:cmdCancel", {"Enter Card Number"}, "", ""},
    // The clock's own Enter takes the card and then the punch type.
    Journey{"PunchButtonAndOwnEnter",
            "CLICK:cmdKey(0) CLICK:cmdKey(10) CLICK:cmdKey(10) CLICK:cmdKey(0) CLICK:cmdEnter "
            "CLICK:cmdStampkind(0) CLICK:cmdEnter", {"IN 12/04/2026 8:00 AM"}, "", "I"},
    Journey{"PunchBackspace", "1001 ENTER 51 BS BS 1 ENTER", {"IN 12/04/2026 8:00 AM"}, "", "I"},
    Journey{"QuestionOwnEnter", "1001 ENTER 2 ENTER CLICK:cmdEnter", {"OUT 12/04/2026 8:00 AM"}, "",
            "O"},
    Journey{"QuestionOwnCancel", "1001 ENTER 2 ENTER CLICK:cmdCancel", {"Enter Card Number"},
            "not clocked in", ""},
    // A question has no entry to clear and no card pad: only Enter and Cancel answer it.
    Journey{"QuestionKeepsThroughClear",
            "1001 ENTER 2 ENTER CLICK:cmdKey(9) CLICK:cmdKey(11) CLICK:cmdClear ENTER",
            {"OUT 12/04/2026 8:00 AM"}, "", "O"},
    // The confirmation has no buttons: it ends by itself, by a key or by a new card.
    Journey{"ConfirmationHasNoButtons",
            "1001 ENTER 1 ENTER CLICK:cmdCancel CLICK:cmdEnter CLICK:cmdClear CLICK:cmdKey(0)",
            {"IN 12/04/2026 8:00 AM"}, "Enter Card Number", "I"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A punch kept while the server was away whose week was approved meanwhile is kept aside and
// named in the log; the punch kept behind it is sent, and the person at the clock sees nothing.
TEST_F(ClockTest, RefusedKeptPunchDoesNotHoldUpTheOthers) {
    if (ScratchPostgres::ServerUri().empty())
        GTEST_SKIP() << "no PostgreSQL cluster for the tests (STAMPKIND_TEST_POSTGRES)";
    Open(false, true);
    Drive("AWAY 1001 ENTER 1 ENTER WAIT:3 1005 ENTER 1 ENTER WAIT:3 BACK");
    orvane::ClockDatabase(m_server->uri())
        .ApproveWeek(*platform::make_date(2026, 11, 29), 1001, "clerk", m_fake.now);
    m_log.clear();
    Drive("WAIT:30 WAIT:30");
    EXPECT_EQ(Stored(1005), "I");
    EXPECT_EQ(Stored(), "");
    ASSERT_EQ(m_log.size(), 2u);
    EXPECT_NE(m_log.front().find("card 1001, I at 2026-12-04 08:00) is kept aside"),
              std::string::npos)
        << m_log.front();
    EXPECT_EQ(m_log.back(), "1 punch(es) kept on this clock sent; 0 waiting");
    EXPECT_EQ(Screen().find("approved"), std::string::npos) << Screen();
    EXPECT_TRUE(m_clock->Database().Queued().empty());
    // With nothing left to send, the next turns say nothing.
    Drive("WAIT:30 WAIT:30");
    EXPECT_EQ(m_log.size(), 2u);
}

TEST_F(ClockTest, ClicksOnControlsNotOnShowDoNothing) {
    Open(false);
    // The value keypads are hidden until a manager chooses a punch; the card keypad is gone once
    // the punch keypad shows; the confirmation has no buttons.
    Drive(
        "1001 ENTER CLICK:TimeIn1.cmdButton(5) CLICK:cmdKey(0) CLICK:NoSuchControl 1 ENTER "
        "CLICK:cmdEnter");
    EXPECT_EQ(m_clicks, (std::vector<bool>{false, false, false, false}));
    EXPECT_EQ(Stored(), "I");
}

// The screen model lists the controls on show, by the paths a click names, the clock's own
// buttons to the right of the keypad.
TEST_F(ClockTest, ModelListsTheControlsOnShow) {
    Open(false);
    Drive("1001 ENTER");
    const auto model = m_clock->Model();
    int keypad_right = 0;
    const timeclock::ControlView* enter = nullptr;
    for (const auto& control : model.controls) {
        EXPECT_FALSE(control.path.starts_with("TimeIn1.")) << control.path;
        if (control.path == "cmdEnter")
            enter = &control;
        else if (control.path != "cmdClear" && control.path != "cmdCancel")
            keypad_right = std::max(keypad_right, control.left + control.width);
    }
    ASSERT_TRUE(enter);
    EXPECT_GT(enter->left, keypad_right);
    EXPECT_EQ(model.controls.front().path, "cmdStampkind(0)");
    EXPECT_TRUE(model.controls.front().caption.starts_with("IN")) << model.controls.front().caption;
}

// A database error on a card or on the write is a short message; the clock goes on.
TEST_F(ClockTest, DatabaseErrorsAreMessages) {
    const struct {
        const char* before;
        const char* drop;
        const char* after;
        const char* shown;
    } cases[] = {
        {"", "Employees", "1001 ENTER", "The clock database cannot be read."},
        {"1001 ENTER 1", "\"Clock Data Table\"", "ENTER", "The punch was not stored."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.drop);
        m_clock.reset();
        std::filesystem::remove(m_folder / "clock.db");
        Open(false);
        Drive(c.before);
        const auto db =
            orvane::sqlite::Open(m_clock->Database().file(), orvane::sqlite::OpenMode::Existing);
        const auto drop = std::string("DROP TABLE ") + c.drop;
        ASSERT_EQ(sqlite3_exec(db.get(), drop.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        m_log.clear();
        Drive(c.after);
        EXPECT_EQ(m_clock->CurrentState(), ClockState::Card);
        EXPECT_NE(Screen().find(c.shown), std::string::npos) << Screen();
        EXPECT_EQ(m_log.size(), 1u);
        Drive("1 ENTER");
        EXPECT_NE(Screen().find("Enter Card Number"), std::string::npos);
    }
}

// A setting changed while the clock runs applies to the next card, wherever the clock stood when
// it changed: on the confirmation, or at rest on the card prompt. Two changes in a row count
// each, however close together the file was written.
TEST_F(ClockTest, ChangedSettingsApplyAtTheNextCard) {
    Open(false);
    Drive("1001 ENTER 1 ENTER");
    TurnOnTheAutomaticPunch();  // while the confirmation shows
    Drive("WAIT:61 1001 ENTER");
    EXPECT_EQ(Stored(), "O");  // the automatic punch closed the IN
    Drive("WAIT:61");          // at rest on the card prompt
    SaveSetting(stampkind::SettingId::IsGlidepass, platform::Variant(false));
    Drive("1001 ENTER");
    EXPECT_EQ(m_clock->CurrentState(), ClockState::Punch);
    Drive("1 ENTER WAIT:61");
    TurnOnTheAutomaticPunch();
    Drive("1001 ENTER WAIT:61");
    SaveSetting(stampkind::SettingId::IsGlidepass, platform::Variant(false));
    Drive("1001 ENTER");
    EXPECT_EQ(m_clock->CurrentState(), ClockState::Punch);
    EXPECT_EQ(Stored(), "O O");
}

// The confirmation's day follows the regional settings; a saved setting the step cannot use is
// named in the log at start, and the clock goes on punching.
TEST_F(ClockTest, DayFirstConfirmationAndAnUnusableSavedSpan) {
    m_fake.regional = platform::RegionalSettings::british_english();
    std::ofstream(m_folder / "timeclock.json") << R"({"steps": ["Employee ID", "Punch Entry"]})";
    SaveSetting(stampkind::SettingId::GlidepassSpan, platform::Variant("abc"));
    OpenSaved();
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_NE(m_log[0].find("\"GlidepassSpan\" cannot be used"), std::string::npos) << m_log[0];
    Drive("1001 ENTER 1 ENTER");
    EXPECT_NE(Screen().find("IN 04/12/2026 08:00"), std::string::npos) << Screen();
    EXPECT_EQ(Stored(), "I");
}

TEST_F(ClockTest, ManagerEntryRecordsWhoEnteredIt) {
    Open(false);
    Drive(kVacation + "2468 ENTER");
    const auto entries = m_clock->Database().ManagerEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].entry.manager_card, 9001);
    EXPECT_EQ(entries[0].entry.entered_at, m_fake.now);
}

// The automatic punch reads the database a clock installs in its apartment's global object while
// it is open; a closed clock puts back what was there, and leaves no database of its own behind.
TEST_F(ClockTest, InstallsTheLookupDatabaseWhileOpen) {
    const auto before = std::make_shared<orvane::SqliteDatabase>();
    orvane::GlobalDatabaseScope scope(before);
    Open(false);
    const auto installed = framework::Global()->Database();
    ASSERT_NE(installed, before);
    EXPECT_TRUE(framework::FromVBool(installed->IsOpen()));
    EXPECT_EQ(installed->ConnectString(), (m_folder / "clock.db").string());
    m_clock.reset();
    EXPECT_EQ(framework::Global()->Database(), before);
}

// A server that accepts and never answers costs the automatic punch one deadline in all: the
// card's read gives up at it and answers from the clock's copy, the lookup of the last punch
// then asks the copy at once, and the punch is kept on the clock.
TEST_F(ClockTest, AutomaticPunchOnASilentServerWaitsOneDeadline) {
    if (ScratchPostgres::ServerUri().empty())
        GTEST_SKIP() << "no PostgreSQL cluster for the tests (STAMPKIND_TEST_POSTGRES)";
    m_server.emplace();
    m_relay = std::make_unique<PostgresRelay>(m_server->uri());
    std::ofstream(m_folder / "timeclock.json") << R"({"steps": ["Employee ID", "Punch Entry",
        "Employee Statistics"], "database_deadline_seconds": 2})";
    TurnOnTheAutomaticPunch();
    OpenSaved();
    Drive("1001 ENTER WAIT:61");
    // Bounded, so that a lookup that waits for the server fails late instead of hanging.
    m_relay->BlackHoleFor(std::chrono::seconds(15));
    const auto start = std::chrono::steady_clock::now();
    Drive("1001 ENTER");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::cout << "card read, lookup and punch with a silent server: " << took.count() << " s\n";
    const auto screen = Screen();
    for (const auto& text :
         {std::string("OUT 12/04/2026 8:01 AM"), std::string(timeclock::kQueuedConfirmation),
          std::string(timeclock::kIncompleteFigures)})
        EXPECT_NE(screen.find(text), std::string::npos) << text << " not in\n" << screen;
    EXPECT_LT(took.count(), 3.5) << "a punch against a silent server with a 2 s deadline";
    EXPECT_EQ(m_clock->Database().Queued().size(), 1u);
}

}  // namespace
