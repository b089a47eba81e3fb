#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "framework/IKeypadControl.h"
#include "platform/Controls.h"
#include "platform/Events.h"

namespace stampkind {

class IEnteredValues;

// The extra button beside "0": AM/PM on the date-time keypads, a sign on the amount keypads.
enum class ExtraButton { AmPm, PlusMinus };

// What sets one value keypad apart from the others in the shared frame: its prompt, how many
// digits it keeps, its extra button and how it treats the display and its own events.
struct EntryStyle {
    std::string_view prompt;
    std::size_t max_digits;
    ExtraButton extra;
    // "userinput alignment" sent to the display at Reset (0 left, 1 right).
    int32_t reset_alignment;
    // Whether the cursor is shown at Reset and again after a refused entry.
    bool cursor_shown;
    // Whether a digit button raises Click before its key is processed (after it, when false).
    bool click_before_key;
    // Whether an accepted Enter is followed by the redraw of the entry.
    bool redraw_after_accept;
    // Whether Reset also clears the extra button's flag.
    bool reset_clears_flag;
    // Whether the extra button comes first in the tab order (digits 9..0 follow it as 10..1);
    // otherwise digits 9..0 take tab positions 0..9 and the extra button 10.
    bool extra_first_in_tab_order;
};

// The frame shared by the four value keypads (TimeIn, TimeOut, Hours, Currency): eleven buttons
// on a 3 x 4 grid, a digit entry of bounded length, the key skeleton (digits, backspace, the
// extra button's keys, Enter), the failure sequence that shows an error and pauses, and the
// events Click (1) and Finished (2). Each keypad supplies only its style, how its entry is
// shown and what Enter does with it. A keypad draws only its buttons: the prompt, the entry, the
// cursor and the errors go to the host's display handed to Attach. Keys are taken only while the
// keypad is visible in its container.
class EntryKeypad : public platform::UserControl,
                    public framework::IKeypadControl,
                    public platform::EventSource {
  public:
    static constexpr int kWidth = 3015;
    static constexpr int kHeight = 3735;

    ~EntryKeypad() override;

    // IKeypadControl, in slot order.
    // Applies each "button color" entry (any letter case) to the eleven buttons.
    void ReceiveMessage(const std::shared_ptr<framework::IMessage>& message) override;
    // Edits or submits the entry; does nothing while the keypad is hidden in its container.
    void ProcessKeyPress(int16_t key_ascii) override;
    // Keeps the step, which must be this library's step ("Type mismatch" otherwise), and the
    // display.
    void Attach(const std::shared_ptr<framework::IStep>& step,
                const std::shared_ptr<framework::IDisplay>& display) override;
    framework::VBool Finalize() override { return framework::VBool::False; }
    // Empties the entry and shows the prompt and the empty template on the display.
    void Reset() override;
    void Cancelled() override {}

    // The digits typed so far.
    const std::string& Entry() const { return m_entry; }
    // The colour of the last "button color" message; 0 before any.
    int32_t ButtonColor() const { return m_button_color; }
    const EntryStyle& Style() const { return m_style; }

  protected:
    // The outcome of Enter: the value was stored, the entry was refused with a message, or the
    // entry was left as it is without a message.
    struct Submission {
        enum class Kind { Accepted, Refused, Kept };
        Kind kind;
        std::string_view message;

        static Submission Accepted() { return {Kind::Accepted, {}}; }
        static Submission Refused(std::string_view message) { return {Kind::Refused, message}; }
        static Submission Kept() { return {Kind::Kept, {}}; }
    };

    explicit EntryKeypad(const EntryStyle& style);

    // The display text of a digit text.
    virtual std::string FormatEntry(std::string_view digits) const = 0;
    // Validates the entry and, when it is good, stores the value in the step.
    virtual Submission Submit() = 0;
    // Where the cursor goes after a key; nothing when the keypad never moves it.
    virtual std::optional<int16_t> CursorPosition() const;

    // The state of the extra button: IsPM or IsNegative.
    bool Flag() const { return m_flag; }
    void SetEntry(std::string digits) { m_entry = std::move(digits); }
    // The attached step and display; "Object variable not set" (91) before Attach.
    IEnteredValues& Step() const;
    framework::IDisplay& Display() const;
    // Sends "userinput alignment" with the value to the display.
    void SendAlignment(int32_t alignment) const;

  private:
    void ClickDigit(int index);
    void ClickExtra();
    void Redraw() const;
    void ApplyButtonColor();

    EntryStyle m_style;
    std::shared_ptr<IEnteredValues> m_step;
    std::shared_ptr<framework::IDisplay> m_display;
    std::string m_entry;
    bool m_flag = false;
    int32_t m_button_color = 0;
};

}  // namespace stampkind
