#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace timeclock {

// Where the clock stands with the person in front of it: the name of each of the engine's states,
// in their order, for the front ends.
enum class ClockState {
    Card,        // the idle card prompt
    Pin,         // a manager's card was read; the manager types the PIN
    Punch,       // the punch keypad and its value keypads
    NotFitting,  // the punch does not fit the employee's last punch; Enter records it anyway
    Confirm,     // what was recorded, until a key, a card or the confirmation time
};

// One control on show, as a front end draws it and names it back in a click.
struct ControlView {
    // "cmdStampkind(3)", "TimeIn1.cmdButton(5)", or the clock's own "cmdEnter".
    std::string path;
    std::string caption;
    // Twips from the keypad's top left corner; the clock's own buttons stand to its right.
    int left = 0, top = 0, width = 0, height = 0;
    int32_t back_color = 0;
    bool enabled = true;
    // A button a person presses; other controls only show their caption.
    bool button = true;

    friend bool operator==(const ControlView&, const ControlView&) = default;
};

// Everything a front end draws, in the clock's words: the front end adds no text of its own
// beyond its frame and lays these out as it can (wrapping, never cutting, a long message).
struct ScreenModel {
    ClockState state = ClockState::Card;
    // "MANAGER MODE — Mina Hart for Avery Stone" while a manager's punch is under way.
    std::string banner;
    // Whose punch it is: "Avery Stone  card 1001".
    std::string employee;
    std::string prompt;
    std::string entry;
    bool cursor_visible = false;
    int cursor_position = 0;
    // 0: the entry is aligned left, 1: right.
    int alignment = 0;
    // A short message for the person: a refused entry, a guard, an error.
    std::string error;
    std::string information;
    // The confirmation of a recorded punch, one line each (name, punch, values, figures).
    std::vector<std::string> confirmation;
    // The keypad on show and then the clock's own Enter, Clear and Cancel buttons.
    std::vector<ControlView> controls;
    // The twips the keypad and the buttons take together, from the keypad's top left corner.
    int controls_width = 0, controls_height = 0;
};

}  // namespace timeclock
