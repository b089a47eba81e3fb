#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "host/clock/PunchSession.h"
#include "host/clock/ScreenModel.h"
#include "host/database/ClockDatabase.h"
#include "platform/Date.h"

namespace timeclock {

// Manager mode for one entry: opened by a manager's card and PIN at a kiosk, or asked for by a
// scripted punch, which names a manager's card or the operating system's user who ran it.
struct ManagerMode {
    std::optional<orvane::Employee> manager;
    // The user a scripted entry without a manager card is recorded under.
    std::string os_user;
};

// The states of the clock engine, each holding what it needs and the moment it began. The
// clock is in exactly one of them (ClockStates); the screen model names it by ClockState.
namespace state {

// The card prompt; after a manager's PIN it takes the card of the employee the manager punches
// for.
struct Idle {
    std::optional<ManagerMode> manager_mode;
    platform::Date since{};
};

// A manager's card was read; the manager types the PIN.
struct Pin {
    orvane::Employee manager;
    std::string typed;
    platform::Date since{};
};

// The punch keypad and its value keypads, for an employee's card (none: a scripted punch, whose
// card is the step's as typed).
struct Punch {
    std::optional<orvane::Employee> employee;
    std::optional<ManagerMode> manager_mode;
    // The sequence has an "Employee Statistics" step.
    bool statistics = false;
    std::shared_ptr<PunchSession> session;
    platform::Date since{};
};

// The finished punch waits for a last word before it is stored: a punch that does not fit the
// employee's last one (Enter records it anyway), or a manager's entry, which the manager's PIN
// confirms (`pin` holds the digits typed so far).
struct Question {
    Punch punch;
    platform::Date since{};
    std::optional<std::string> pin;
};

// What was recorded (or why nothing was), until a key, a card or the confirmation time.
struct Confirmation {
    std::optional<orvane::Employee> employee;
    std::optional<ManagerMode> manager_mode;
    platform::Date since{};
};

}  // namespace state

// In the order of ClockState, which names each alternative for the front ends.
using ClockStates =
    std::variant<state::Idle, state::Pin, state::Punch, state::Question, state::Confirmation>;

static_assert(std::variant_size_v<ClockStates> == 5);
inline ClockState StateOf(const ClockStates& states) {
    return static_cast<ClockState>(states.index());
}

}  // namespace timeclock
