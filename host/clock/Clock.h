#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/clock/CardKeypad.h"
#include "host/clock/ClockButtons.h"
#include "host/clock/ClockStates.h"
#include "host/clock/Configuration.h"
#include "host/clock/ConfigurationWatch.h"
#include "host/clock/ConfirmationText.h"
#include "host/clock/Input.h"
#include "host/clock/PinLock.h"
#include "host/clock/PunchPolicy.h"
#include "host/clock/PunchSession.h"
#include "host/clock/QueueSchedule.h"
#include "host/clock/ScreenModel.h"
#include "host/database/ClockDatabase.h"
#include "host/framework/RecordingDisplay.h"
#include "platform/Controls.h"
#include "platform/Error.h"

namespace orvane {
class EngineDatabase;
class GlobalDatabaseScope;
}  // namespace orvane

namespace timeclock {

// The clock engine, the one place where a punch runs. It waits for a card, asks a manager's
// PIN, runs the "Punch Entry" step's keypad for the employee, guards the punch (a repeat within
// the duplicate time, a punch that does not fit the last one), stores it, confirms what was
// stored with the employee's figures, and returns to the card prompt. It is a state machine:
// one state of ClockStates at a time, moved on by one Input at a time. Front ends draw Model()
// and hand every input to Handle; time passes only through a Tick, so nothing here sleeps or
// polls. Every error of an input ends in one place: a short message on the screen, nothing
// stored, the clock goes on. One engine lives on one thread.
class Clock {
  public:
    using State = ClockState;

    // The files a clock opens: the configuration file, and the database (empty: the one the
    // configuration names, else the clock's default one).
    struct Files {
        std::filesystem::path config_file;
        std::filesystem::path database;
    };
    // Loads the configuration, registers the component library when needed, opens the clock
    // database and installs the automatic punch's database in the framework's global object
    // for the clock's lifetime (on this thread). Raises what cannot be opened.
    static std::unique_ptr<Clock> Open(const Files& files,
                                       std::shared_ptr<orvane::RecordingDisplay> display =
                                           std::make_shared<orvane::RecordingDisplay>());

    // A clock over an open database. `lookup` is the database the automatic punch reads through
    // the global object (none: the clock does not watch its answers).
    Clock(Configuration config, std::unique_ptr<orvane::ClockDatabase> database,
          std::shared_ptr<orvane::RecordingDisplay> display, std::filesystem::path config_file = {},
          std::shared_ptr<orvane::EngineDatabase> lookup = nullptr);
    ~Clock();
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    // Shows the card prompt.
    void Start();
    // One input of a front end. False when it was not taken: a click on no control on show and
    // enabled (nothing happens then).
    bool Handle(const Input& input);

    // A scripted punch for an administrator: the punch keypad at once for a card as typed
    // (none: the sequence has no "Employee ID" step), no PIN, no guards. What a kiosk would
    // have guarded is given in the last punch's notice; the punch is stored as it is. With
    // `manager_mode` the entry is recorded under the manager it names. The clock is back at
    // rest (not in State::Punch) once the punch has ended.
    void BeginScriptedPunch(std::optional<platform::Variant> card,
                            std::optional<ManagerMode> manager_mode, bool statistics);

    State CurrentState() const { return StateOf(m_state); }
    ScreenModel Model() const;
    orvane::ClockDatabase& Database() { return *m_database; }
    // The settings in use: those of the configuration file as last read.
    const Configuration& Settings() const { return m_config; }

    // The last punch, kept until the next one begins: its session (events, value, skipped), the
    // records it wrote, the error that ended it, the guards' finding and the confirmation.
    struct LastPunch {
        std::shared_ptr<PunchSession> session;
        std::optional<PunchSession::Outcome> outcome;
        std::optional<platform::RaisedError> error;
        std::string notice;
        std::vector<std::string> confirmation;
        bool stored = false;
        // Stored in this clock's queue: the server could not be reached.
        bool queued = false;
    };
    const LastPunch& Last() const { return m_last; }

    // Where the full text of an error goes (the screen gets a short one); standard error unless
    // a front end gives another place.
    void SetLog(std::function<void(std::string_view)> log) { m_log = std::move(log); }
    // Called with the settings each time a changed configuration file is read again, before
    // they apply to a card: the front end puts what the clock does not own (the regional
    // settings of its apartment) in force.
    void OnSettingsChanged(std::function<void(const Configuration&)> changed) {
        m_settings_changed = std::move(changed);
    }
    // The name this clock records with manager entries, in place of the configuration's (a
    // browser kiosk's registered name); empty: the configuration's.
    void SetClockName(std::string name) { m_clock_name = std::move(name); }

  private:
    template <class Action>
    void Guarded(Action&& action);
    void Fail(const platform::RaisedError& error);
    void Touch();
    void PressKey(int16_t key);
    bool Click(std::string_view path);
    void Escape();
    void Tick(platform::Date now);
    // The card prompt, in manager mode for the next card when a manager's PIN opened it.
    void ShowCardPrompt(std::optional<ManagerMode> manager_mode);
    void CardAccepted(const orvane::Employee& employee, std::optional<ManagerMode> manager_mode);
    void PinKey(int16_t key);
    // Types a key into a PIN entry on show; true when Enter ends an entry that holds digits.
    bool TypePin(std::string& typed, int16_t key);
    // Checks a PIN typed for `manager`. A wrong one is counted (and may lock the card), unless
    // it is a card of the "Employees" table, whose punch then begins; only a right PIN leaves
    // the clock in the state it was in.
    bool RightPin(const orvane::Employee& manager, const std::string& typed);
    void QuestionKey(int16_t key);
    // Asks the manager's PIN before a manager's entry is stored.
    void AskManagerPin(state::Punch punch);
    // Whether `key` ends a card typed over the screen of another card's punch; if so, that
    // punch is given up and the new card's begins.
    bool CardTypedOver(int16_t key);
    // Adds a digit to the run typed over a card's screen, noting whether the screen could not
    // take it as its own input.
    void AddToRun(int16_t digit, bool beyond_the_screen);
    std::optional<orvane::Employee> KnownCard(const std::string& digits);
    std::optional<orvane::Employee> ActiveEmployee(int32_t card) const;
    void StartCardOver(const orvane::Employee& employee);
    void StartPunch(state::Punch punch, std::optional<platform::Variant> card);
    void AfterInput();
    void FinishPunch(state::Punch punch);
    void Store(const state::Punch& punch);
    void Confirm(const state::Punch& punch);
    void EndPunch();
    void OwnButton(ClockButtons::Action action);
    void ReloadSettings();
    void WarnOfSettings();
    std::shared_ptr<framework::IStep> Step();
    // How far back the guards look for the employee's last punch: the step's reset span.
    double SpanDays() const;
    // How many lookups the automatic punch's database answered from the clock's copy.
    uint64_t AnswersWhileAway() const;
    // The keypad on show: the card keypad, or the punch keypad; none while a punch is
    // confirmed or asked about, or the keypad was skipped.
    std::shared_ptr<platform::UserControl> ActiveForm() const;
    // The clock's own Enter, Clear and Cancel; none on the confirmation.
    std::shared_ptr<platform::UserControl> OwnButtons() const;

    Configuration m_config;
    ConfigurationWatch m_settings;
    std::unique_ptr<orvane::ClockDatabase> m_database;
    std::shared_ptr<orvane::EngineDatabase> m_lookup;
    std::unique_ptr<orvane::GlobalDatabaseScope> m_installed;
    std::shared_ptr<orvane::RecordingDisplay> m_display;
    std::shared_ptr<CardKeypad> m_card_keypad;
    std::shared_ptr<ClockButtons> m_buttons;
    std::shared_ptr<framework::IStep> m_step;
    std::function<void(std::string_view)> m_log;
    std::function<void(const Configuration&)> m_settings_changed;
    std::string m_clock_name;
    PunchPolicy m_policy = PunchPolicy::Kiosk();

    ClockStates m_state;
    // A message for the next card prompt (a refused PIN, an error that ended a punch).
    std::string m_message;
    LastPunch m_last;
    platform::Date m_last_input{};
    // The digits typed in a row on a screen after a card was read (on a value keypad, those it
    // refused), and whether any was beyond the screen: with Enter, such a run may be the next
    // person's card.
    std::string m_run;
    bool m_run_overflowed = false;
    PinLock m_pin_lock{*m_database};
    QueueSchedule m_queue;
    // The automatic punch's answers from the clock's copy before this punch began.
    uint64_t m_answers_while_away = 0;
};

}  // namespace timeclock
