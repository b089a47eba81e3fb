#include "host/clock/CardKeypad.h"

#include <charconv>
#include <utility>

namespace timeclock {

using platform::ControlKind;

namespace {
constexpr int kWidth = 3 * 1080 + 4 * 120;
constexpr int kHeight = 4 * 720 + 5 * 120;
}  // namespace

// clang-format off
const std::array<platform::ControlSpec, 12> CardKeypad::kButtons{{
    // kind                     name      index caption  left  top   width height tab container
    {ControlKind::CommandButton, "cmdKey", 0,  "1",     120,  120,  1080, 720, 0, ""},
    {ControlKind::CommandButton, "cmdKey", 1,  "2",     1320, 120,  1080, 720, 1, ""},
    {ControlKind::CommandButton, "cmdKey", 2,  "3",     2520, 120,  1080, 720, 2, ""},
    {ControlKind::CommandButton, "cmdKey", 3,  "4",     120,  960,  1080, 720, 3, ""},
    {ControlKind::CommandButton, "cmdKey", 4,  "5",     1320, 960,  1080, 720, 4, ""},
    {ControlKind::CommandButton, "cmdKey", 5,  "6",     2520, 960,  1080, 720, 5, ""},
    {ControlKind::CommandButton, "cmdKey", 6,  "7",     120,  1800, 1080, 720, 6, ""},
    {ControlKind::CommandButton, "cmdKey", 7,  "8",     1320, 1800, 1080, 720, 7, ""},
    {ControlKind::CommandButton, "cmdKey", 8,  "9",     2520, 1800, 1080, 720, 8, ""},
    {ControlKind::CommandButton, "cmdKey", 9,  "CLEAR", 120,  2640, 1080, 720, 9, ""},
    {ControlKind::CommandButton, "cmdKey", 10, "0",     1320, 2640, 1080, 720, 10, ""},
    {ControlKind::CommandButton, "cmdKey", 11, "ENTER", 2520, 2640, 1080, 720, 11, ""},
}};
// clang-format on

CardKeypad::CardKeypad(std::shared_ptr<framework::IDisplay> display, Lookup lookup,
                       std::function<void(int16_t)> on_key)
    : platform::UserControl(kWidth, kHeight),
      m_display(std::move(display)),
      m_lookup(std::move(lookup)),
      m_on_key(std::move(on_key)) {
    for (const auto& row : kButtons) {
        auto& button = AddControl(row);
        // The key a button presses: its digit, or "clear the entry" and Enter.
        const int16_t key = row.caption == "CLEAR"   ? kClearEntry
                            : row.caption == "ENTER" ? kEnter
                                                     : static_cast<int16_t>(row.caption[0]);
        button.SetTag(std::to_string(key));
        button.SetClickHandler([this, key] {
            if (m_on_key)
                m_on_key(key);
            else
                ProcessKeyPress(key);
        });
    }
}

void CardKeypad::Reset() {
    m_entry.clear();
    m_accepted.reset();
    m_display->Clear();
    m_display->SetPrompt("Enter Card Number");
    ShowEntry();
}

void CardKeypad::ProcessKeyPress(int16_t key) {
    if (key >= '0' && key <= '9') {
        if (m_entry.size() < kMaxDigits)
            m_entry += static_cast<char>(key);
        ShowEntry();
    } else if (key == kClearEntry) {
        m_entry.clear();
        ShowEntry();
    } else if (key == kBackspace) {
        if (!m_entry.empty())
            m_entry.pop_back();
        ShowEntry();
    } else if (key == kEnter && !m_entry.empty()) {
        int32_t card = 0;
        std::from_chars(m_entry.data(), m_entry.data() + m_entry.size(), card);
        m_accepted = m_lookup(card);
        if (!m_accepted) {
            // The entry starts again; the error stays on show until the next key.
            const std::string refused = std::exchange(m_entry, std::string());
            ShowEntry();
            m_display->ShowError("Unknown card " + refused);
        }
    }
}

void CardKeypad::ShowEntry() {
    m_display->SetUserInput(m_entry);
    m_display->ShowCursor(framework::VBool::True);
    m_display->SetCursorPosition(static_cast<int16_t>(m_entry.size()));
}

}  // namespace timeclock
