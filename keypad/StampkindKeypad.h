#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "framework/IKeypadControl.h"
#include "platform/Controls.h"
#include "platform/Events.h"
#include "step/PunchCodes.h"

namespace stampkind {

class IEnteredValues;
class EntryKeypad;
class TimeIn;
class TimeOut;
class Hours;
class Currency;

// The keypad of the "Punch Entry" step: nineteen punch-type buttons on three pages, More Punches
// and Skip for a manager, and four embedded value keypads (TimeIn1, TimeOut1, Hours1,
// Currency1). A digit key or a click chooses a punch type, Enter puts its code into the step's
// Value; in manager mode the keypad then walks through the value keypads that the type needs
// and forwards every key to the one on show. It raises Finished (1) when the choice, and in
// manager mode the values, are complete, and Click (2) for its buttons, its digit keys and the
// embedded keypads' clicks. It draws only its buttons; the prompt and the chosen word go to the
// host's display.
class StampkindKeypad final : public platform::UserControl,
                              public framework::IKeypadControl,
                              public platform::EventSource {
  public:
    static constexpr std::string_view kProgId = "Stampkind.StampkindKeypad";
    static constexpr int kWidth = 3030;
    static constexpr int kHeight = 3735;

    static std::shared_ptr<StampkindKeypad> Create();
    StampkindKeypad();
    ~StampkindKeypad() override;

    // IKeypadControl, in slot order.
    // Handles "manager mode" (shows or hides More Punches and Skip) and "button color".
    void ReceiveMessage(const std::shared_ptr<framework::IMessage>& message) override;
    // Chooses, pages, skips, confirms, or forwards the key to the value keypad on show.
    void ProcessKeyPress(int16_t key_ascii) override;
    // Keeps the step, which must be a clsStep ("Type mismatch" otherwise), reads whether it
    // offers STATUS and its allowed manager punch types, and keeps the display.
    void Attach(const std::shared_ptr<framework::IStep>& step,
                const std::shared_ptr<framework::IDisplay>& display) override;
    framework::VBool Finalize() override { return framework::VBool::False; }
    // Starts a new choice on page 0; needs Attach first.
    void Reset() override;
    // Forgets the chosen punch type; the step keeps its Value.
    void Cancelled() override { m_value.clear(); }

    // The state a front end shows and a test checks.
    const std::string& Value() const { return m_value; }
    int32_t Page() const { return m_page; }
    bool ManagerMode() const { return m_manager_mode; }
    bool EntryStage() const { return m_entry_stage; }
    bool TimeInDone() const { return m_time_in_done; }
    bool SecondValueDone() const { return m_second_value_done; }
    int32_t ButtonColor() const { return m_button_color; }
    // The value keypad that receives the keys during value entry; null before value entry.
    std::shared_ptr<EntryKeypad> ActiveKeypad() const { return m_active_keypad; }

  private:
    // Layout.
    void ShowPage(int page);
    bool IsOnPage(int index) const;
    void UpdateManagerButtons();
    void ApplyButtonColor();

    // Handlers of the buttons; keys reach the same handlers.
    void ChoosePunch(int index);
    void MorePunches();
    void SkipPunch();

    // Enter and the walk through the value keypads.
    void PressEnter();
    void BeginValueEntry(const std::shared_ptr<framework::IMessage>& colors);
    void ContinueValueEntry(const std::shared_ptr<framework::IMessage>& colors);
    void Activate(const std::shared_ptr<framework::IMessage>& colors);
    std::shared_ptr<framework::IMessage> ButtonColorMessage() const;
    std::shared_ptr<EntryKeypad> Keypad(ValuePad pad) const;
    void ShowKeypad(ValuePad pad, bool visible);

    // The attached step, and its entered values; "Object variable not set" (91) before Attach,
    // "Type mismatch" (13) after an Attach of a step of another kind.
    framework::IStep& Step() const;
    IEnteredValues& Values() const;
    framework::IDisplay& Display() const;
    // The value keypad on show; "Object variable not set" (91) when there is none (after a
    // manager confirmed STATUS).
    EntryKeypad& Active() const;

    // Fields in the order the keypad's behaviour names them.
    std::shared_ptr<framework::IStep> m_step;
    std::shared_ptr<framework::IDisplay> m_display;
    std::string m_value;
    bool m_manager_mode = false;
    int32_t m_page = 0;
    std::array<std::string, 4> m_layout_masks;
    bool m_time_in_done = false;
    bool m_second_value_done = false;
    bool m_entry_stage = false;
    std::shared_ptr<EntryKeypad> m_active_keypad;
    std::string m_allowed_types;
    int32_t m_button_color = 0;
    bool m_has_statistics_step = false;

    // The keypad's own controls and embedded keypads, found once.
    std::array<platform::Control*, 19> m_punch_buttons{};
    platform::Control* m_more_punches = nullptr;
    platform::Control* m_skip = nullptr;
    std::shared_ptr<TimeIn> m_time_in;
    std::shared_ptr<TimeOut> m_time_out;
    std::shared_ptr<Hours> m_hours;
    std::shared_ptr<Currency> m_currency;
};

}  // namespace stampkind
