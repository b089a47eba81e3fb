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
#include "host/clock/Configuration.h"
#include "host/clock/PinLock.h"
#include "host/clock/PunchSession.h"
#include "host/clock/ScreenModel.h"
#include "host/database/ClockDatabase.h"
#include "host/framework/RecordingDisplay.h"
#include "platform/Controls.h"
#include "platform/Error.h"

namespace timeclock {

// The clock engine, the one place where a punch runs. It waits for a card, asks a manager's
// PIN, runs the "Punch Entry" step's keypad for the employee, guards the punch (a repeat within
// the duplicate time, a punch that does not fit the last one), stores it, confirms what was
// stored with the employee's figures, and returns to the card prompt. Front ends draw Model()
// (or the display and the forms it gives) and forward input as calls; time passes only through
// Tick, so nothing here sleeps or polls. Every error of an input ends in one place: a short
// message on the screen, nothing stored, the clock goes on. One engine lives on one thread.
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
    // database and points the framework's global database at it. Raises what cannot be opened.
    static std::unique_ptr<Clock> Open(const Files& files,
                                       std::shared_ptr<orvane::RecordingDisplay> display =
                                           std::make_shared<orvane::RecordingDisplay>());

    Clock(Configuration config, std::unique_ptr<orvane::ClockDatabase> database,
          std::shared_ptr<orvane::RecordingDisplay> display,
          std::filesystem::path config_file = {});
    ~Clock();
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    // Shows the card prompt.
    void Start();
    // A key of the person at the clock (digits, Enter 13, backspace 8, any character).
    void PressKey(int16_t key);
    // A click on a control on show, by path ("cmdStampkind(3)", "TimeIn1.cmdButton(5)",
    // "cmdEnter"); false, and nothing happens, when no such control is on show and enabled.
    bool Click(std::string_view path);
    // The same for a control a front end found on its screen.
    bool Click(const std::shared_ptr<platform::Control>& control);
    // Gives up what is under way: the punch, the PIN, manager mode or the card entry.
    void Escape();
    // The time is now `now`: an idle screen returns to the card prompt, a confirmation ends.
    void Tick(platform::Date now);

    // A scripted punch for an administrator: the punch keypad at once for a card as typed
    // (none: the sequence has no "Employee ID" step), no PIN, no guards. What a kiosk would
    // have guarded is given in Notice(); the punch is stored as it is.
    void BeginScriptedPunch(std::optional<platform::Variant> card, bool manager_mode,
                            bool statistics);

    State CurrentState() const { return m_state; }
    ScreenModel Model() const;
    // The keypad on show: the card keypad, or the punch keypad; none while a PIN is asked, a
    // punch is confirmed, or the keypad was skipped.
    std::shared_ptr<platform::UserControl> ActiveForm() const;
    // The clock's own Enter, Clear and Cancel; none when no keypad is on show.
    std::shared_ptr<platform::UserControl> OwnButtons() const;
    const std::shared_ptr<orvane::RecordingDisplay>& Display() const { return m_display; }
    orvane::ClockDatabase& Database() { return *m_database; }
    const Configuration& Config() const { return m_config; }

    // The last punch, kept until the next one begins: its session (events, value, skipped), the
    // records it wrote, the error that ended it, the guards' finding and the confirmation.
    struct LastPunch {
        std::unique_ptr<PunchSession> session;
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
    // The name this clock records with manager entries, in place of the configuration's (a
    // browser kiosk's registered name); empty: the configuration's.
    void SetClockName(std::string name) { m_clock_name = std::move(name); }

  private:
    template <class Action>
    void Guarded(Action&& action);
    void Fail(const platform::RaisedError& error);
    void Touch();
    void CardAccepted(const orvane::Employee& employee);
    void PinKey(int16_t key);
    void StartPunch(std::optional<platform::Variant> card, bool statistics);
    void AfterInput();
    void FinishPunch();
    void Store();
    void Confirm();
    void EndPunch();
    void OwnButton(ClockButtons::Action action);
    void ReloadSettings();
    void WarnOfSettings();
    // At the card prompt, now and then: sends the punches kept while the server was away, in
    // order, and then, less often, reads the employees into the clock's copy; a server still
    // away costs one failed connection.
    void SendQueued(platform::Date now);
    std::shared_ptr<framework::IStep> Step();
    // How far back the guards look for the employee's last punch: the step's reset span.
    double SpanDays() const;

    Configuration m_config;
    std::filesystem::path m_config_file;
    std::filesystem::file_time_type m_config_time{};
    std::unique_ptr<orvane::ClockDatabase> m_database;
    std::shared_ptr<orvane::RecordingDisplay> m_display;
    std::shared_ptr<CardKeypad> m_card_keypad;
    std::shared_ptr<ClockButtons> m_buttons;
    std::shared_ptr<framework::IStep> m_step;
    std::function<void(std::string_view)> m_log;
    std::string m_clock_name;

    State m_state = State::Card;
    bool m_scripted = false;
    bool m_statistics = false;
    std::optional<orvane::Employee> m_employee;
    std::optional<orvane::Employee>
        m_manager;  // a manager's card read; after the PIN, manager mode
    bool m_manager_mode = false;
    std::string m_pin;
    std::string m_code;  // the punch chosen, once the keypad has finished
    std::string m_message;
    LastPunch m_last;
    platform::Date m_last_input{};
    PinLock m_pin_lock;
    platform::Date m_next_send{};
    platform::Date m_next_refresh{};
    // The automatic punch's answers from the clock's copy before this punch began.
    uint64_t m_answers_while_away = 0;
};

// What the confirmation says of a punch kept on the clock while its server is away.
inline constexpr const char* kQueuedConfirmation =
    "Recorded on this clock. It will be sent when the server is back.";
inline constexpr double kSendEverySeconds = 30;
// How often a clock whose server answers reads every employee into its copy.
inline constexpr double kRefreshEverySeconds = 300;
// What the confirmation adds to figures computed while the server is away.
inline constexpr const char* kIncompleteFigures =
    "The server cannot be reached: these figures may be incomplete.";

}  // namespace timeclock
