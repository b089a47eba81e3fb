#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "platform/Date.h"

namespace timeclock {

// The inputs of the clock engine. Every front end (the terminal kiosk, the browser kiosk, the
// scripted punch, the tests) turns what its person did into one of these and hands it to
// Clock::Handle; none of them knows what an input means at the clock.
namespace input {

// A key of the person at the clock: a character code, Enter 13, backspace 8.
struct Key {
    int16_t code = 0;
    friend bool operator==(const Key&, const Key&) = default;
};

// A click on a control on show, by the path the screen model names it with
// ("cmdStampkind(3)", "TimeIn1.cmdButton(5)", the clock's own "cmdEnter").
struct Click {
    std::string path;
    friend bool operator==(const Click&, const Click&) = default;
};

// Gives up what is under way: the punch, the PIN, manager mode or the card entry.
struct Escape {
    friend bool operator==(const Escape&, const Escape&) = default;
};

// The time is now `now`: an idle screen returns to the card prompt, a confirmation ends.
struct Tick {
    platform::Date now{};
    friend bool operator==(const Tick&, const Tick&) = default;
};

}  // namespace input

using Input = std::variant<input::Key, input::Click, input::Escape, input::Tick>;

}  // namespace timeclock
