#pragma once

#include <array>
#include <functional>

#include "platform/Controls.h"

namespace timeclock {

// The clock's own Enter, Clear and Cancel buttons, drawn beside whichever keypad is on show so
// that touch and the mouse can finish or give up a punch. The clock owns what they do: each
// button runs the action the clock gave it for its row.
class ClockButtons final : public platform::UserControl {
  public:
    enum class Action { Enter, Clear, Cancel };

    // clang-format off
    static constexpr std::array<platform::ControlSpec, 3> kButtons{{
        // kind                               name         index caption   left top   width height tab
        {platform::ControlKind::CommandButton, "cmdEnter",  -1,  "Enter",  0,   120,  1560, 720, 0, ""},
        {platform::ControlKind::CommandButton, "cmdClear",  -1,  "Clear",  0,   960,  1560, 720, 1, ""},
        {platform::ControlKind::CommandButton, "cmdCancel", -1,  "Cancel", 0,   1800, 1560, 720, 2, ""},
    }};
    // clang-format on

    explicit ClockButtons(std::function<void(Action)> on_click);
};

}  // namespace timeclock
