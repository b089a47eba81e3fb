#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "host/clock/CardKeypad.h"
#include "host/clock/Configuration.h"
#include "host/clock/PunchSession.h"
#include "host/database/ClockDatabase.h"
#include "host/framework/RecordingDisplay.h"
#include "platform/Controls.h"

namespace timeclock {

// The time clock behind any front end: it waits for a card on its card keypad, runs the punch
// of the "Punch Entry" step for the employee, stores it, shows what was recorded and the
// employee's figures, and waits for the next card. A manager's card opens manager mode for the
// next punch. Front ends draw the display and the active keypad, pass keys to PressKey, click
// the keypad's controls themselves and then call Update. Errors of a punch are shown on the
// display and end that punch; the clock goes on.
class Clock {
  public:
    enum class State { Card, Punch };

    Clock(Configuration config, orvane::ClockDatabase& database,
          std::shared_ptr<orvane::RecordingDisplay> display);

    // Shows the card prompt.
    void Start();
    // A key of the person at the clock: to the card keypad or to the punch keypad.
    void PressKey(int16_t key);
    // Gives up the punch under way, or leaves manager mode.
    void Escape();
    // Moves on after a click on a control of the active keypad: an accepted card starts its
    // punch, a finished punch is stored.
    void Update();

    State CurrentState() const { return m_session ? State::Punch : State::Card; }
    // The next punch runs in manager mode.
    bool ManagerModePending() const { return m_manager_pending; }
    // The keypad on show: the card keypad, or the punch keypad (none when it was skipped).
    std::shared_ptr<platform::UserControl> ActiveForm() const;
    const std::shared_ptr<orvane::RecordingDisplay>& Display() const { return m_display; }

    // How long the recorded punch stays on the display.
    static constexpr uint32_t kRecordedMilliseconds = 2500;

  private:
    void StartPunch(const orvane::Employee& employee);
    void FinishPunch();
    void EndPunch();
    void ShowError(const platform::RaisedError& error);

    Configuration m_config;
    orvane::ClockDatabase& m_database;
    std::shared_ptr<orvane::RecordingDisplay> m_display;
    std::shared_ptr<CardKeypad> m_card_keypad;
    std::shared_ptr<framework::IStep> m_step;
    std::unique_ptr<PunchSession> m_session;
    std::optional<orvane::Employee> m_employee;
    bool m_manager_pending = false;
};

// The word for a punch code, as the clock shows a recorded punch ("O" gives "OUT").
std::string PunchWord(const std::string& code);

}  // namespace timeclock
