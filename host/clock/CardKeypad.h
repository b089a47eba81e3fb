#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "framework/HostObjects.h"
#include "host/database/ClockDatabase.h"
#include "platform/Controls.h"

namespace timeclock {

// The keypad of the clock's own "Employee ID" step: the employee types a card number (digits,
// backspace, Enter) or clicks its buttons, and Enter accepts only a card of the "Employees"
// table. An unknown card is not an error: the display says so and the entry starts again.
class CardKeypad final : public platform::UserControl {
  public:
    using Lookup = std::function<std::optional<orvane::Employee>(int32_t card)>;

    static constexpr int16_t kEnter = 13;
    static constexpr int16_t kBackspace = 8;
    // The key of the CLEAR button: it empties the whole entry (backspace takes one digit).
    static constexpr int16_t kClearEntry = -1;
    // A card number has at most nine digits, so that it always fits the card column.
    static constexpr std::size_t kMaxDigits = 9;

    // The keypad's buttons: digits 0 to 9, CLEAR (the whole entry) and ENTER; the Tag is the key
    // they stand for.
    static const std::array<platform::ControlSpec, 12> kButtons;

    // `on_key` receives the keys of clicked buttons (a PIN typed on the same buttons); without it
    // they go to ProcessKeyPress.
    CardKeypad(std::shared_ptr<framework::IDisplay> display, Lookup lookup,
               std::function<void(int16_t)> on_key = {});

    // Empties the entry and shows the prompt.
    void Reset();
    void ProcessKeyPress(int16_t key);

    // The employee whose card was accepted by the last Enter; none until then.
    const std::optional<orvane::Employee>& Accepted() const { return m_accepted; }
    const std::string& Entry() const { return m_entry; }

  private:
    void ShowEntry();

    std::shared_ptr<framework::IDisplay> m_display;
    Lookup m_lookup;
    std::function<void(int16_t)> m_on_key;
    std::string m_entry;
    std::optional<orvane::Employee> m_accepted;
};

}  // namespace timeclock
