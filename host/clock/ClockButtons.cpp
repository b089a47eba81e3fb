#include "host/clock/ClockButtons.h"

namespace timeclock {

ClockButtons::ClockButtons(std::function<void(Action)> on_click)
    : platform::UserControl(1560, 2640) {
    for (size_t row = 0; row < kButtons.size(); ++row) {
        auto& button = AddControl(kButtons[row]);
        button.SetClickHandler([on_click, action = static_cast<Action>(row)] { on_click(action); });
    }
}

}  // namespace timeclock
