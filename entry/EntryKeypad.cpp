#include "entry/EntryKeypad.h"

#include <algorithm>
#include <array>

#include "framework/Factories.h"
#include "framework/IStep.h"
#include "framework/KeyCodes.h"
#include "platform/Error.h"
#include "platform/Services.h"
#include "platform/TextScan.h"
#include "step/IEnteredValues.h"

namespace stampkind {

namespace {

constexpr int kButtonWidth = 855;
constexpr int kButtonHeight = 735;
constexpr uint32_t kErrorPauseMs = 2000;

using namespace framework::keys;

// One button of the value keypads. `index` is the digit of a cmdButton, -1 for the extra button.
// The two tab columns are the usual order (9..0 then the extra button) and the order of a keypad
// whose extra button comes first.
struct EntryButton {
    int index;
    int left;
    int top;
    int tab;
    int tab_extra_first;
};

// The grid: three columns (Left 120, 1080, 2040) and four rows (Top 240, 1080, 1920, 2760).
constexpr std::array<EntryButton, 11> kEntryButtons{{
    {7, 120, 240, 2, 8},
    {8, 1080, 240, 1, 9},
    {9, 2040, 240, 0, 10},
    {4, 120, 1080, 5, 5},
    {5, 1080, 1080, 4, 6},
    {6, 2040, 1080, 3, 7},
    {1, 120, 1920, 8, 2},
    {2, 1080, 1920, 7, 3},
    {3, 2040, 1920, 6, 4},
    {0, 1080, 2760, 9, 1},
    {-1, 2040, 2760, 10, 0},
}};

constexpr std::array<std::string_view, 10> kDigitCaptions{"0", "1", "2", "3", "4",
                                                          "5", "6", "7", "8", "9"};

const platform::FontSpec kDigitFont{"Arial", 12.0, true};

struct ExtraButtonLook {
    std::string_view name;
    std::string_view caption;
    platform::FontSpec font;
};

ExtraButtonLook LookOf(ExtraButton extra) {
    if (extra == ExtraButton::AmPm)
        return {"cmdAmPm", "AM&/PM", {"Arial", 9.75, true}};
    return {"cmdPlusMinus", "+ &/ -", {"Arial", 12.0, true}};
}

}  // namespace

EntryKeypad::EntryKeypad(const EntryStyle& style)
    : platform::UserControl(kWidth, kHeight),
      platform::EventSource({{"Click", 1}, {"Finished", 2}}),
      m_style(style) {
    const ExtraButtonLook extra = LookOf(style.extra);
    for (const EntryButton& row : kEntryButtons) {
        const bool is_digit = row.index >= 0;
        platform::ControlSpec control_row{
            .kind = platform::ControlKind::CommandButton,
            .name = is_digit ? std::string_view("cmdButton") : extra.name,
            .index = row.index,
            .caption =
                is_digit ? kDigitCaptions[static_cast<std::size_t>(row.index)] : extra.caption,
            .left = row.left,
            .top = row.top,
            .width = kButtonWidth,
            .height = kButtonHeight,
            .tab_index = style.extra_first_in_tab_order ? row.tab_extra_first : row.tab,
            .container = {},
        };
        platform::Control& button = AddControl(control_row);
        button.SetFont(is_digit ? kDigitFont : extra.font);
        if (is_digit) {
            button.SetClickHandler([this, index = row.index] { ClickDigit(index); });
        } else {
            button.SetClickHandler([this] { ClickExtra(); });
        }
    }
}

EntryKeypad::~EntryKeypad() = default;

void EntryKeypad::ReceiveMessage(const std::shared_ptr<framework::IMessage>& message) {
    if (!message)
        platform::raise(platform::err::kObjectVariableNotSet);
    for (const framework::MessageEntry& entry : message->Entries()) {
        if (platform::text::iequals(entry.Name, "button color")) {
            m_button_color = entry.Value.to_int32();
            ApplyButtonColor();
        }
    }
}

void EntryKeypad::ProcessKeyPress(int16_t key_ascii) {
    if (!Extender().Visible())
        return;

    if (key_ascii >= '0' && key_ascii <= '9') {
        if (m_entry.size() < m_style.max_digits)
            m_entry.push_back(static_cast<char>(key_ascii));
    } else if (key_ascii == kBackspace || key_ascii == kBackspaceAlt) {
        if (!m_entry.empty())
            m_entry.pop_back();
    } else if (key_ascii == kSlash) {
        m_flag = !m_flag;
    } else if (key_ascii == kMinus && m_style.extra == ExtraButton::PlusMinus) {
        m_flag = true;
    } else if (key_ascii == kPlus && m_style.extra == ExtraButton::PlusMinus) {
        m_flag = false;
    } else if (key_ascii == kEnter) {
        const Submission outcome = Submit();
        if (outcome.kind == Submission::Kind::Accepted) {
            RaiseEvent("Finished");
            if (!m_style.redraw_after_accept)
                return;
        } else if (outcome.kind == Submission::Kind::Refused) {
            // The error stays readable for a moment; pending window messages are dispatched
            // first so that the screen shows it before the thread blocks.
            Display().ShowError(std::string(outcome.message));
            platform::services().DoEvents();
            platform::services().Sleep(kErrorPauseMs);
            if (m_style.cursor_shown)
                Display().ShowCursor(framework::VBool::True);
        }
    }
    Redraw();
}

void EntryKeypad::Attach(const std::shared_ptr<framework::IStep>& step,
                         const std::shared_ptr<framework::IDisplay>& display) {
    m_step = platform::query_or_raise<IEnteredValues>(step);
    m_display = display;
}

void EntryKeypad::Reset() {
    m_entry.clear();
    if (m_style.reset_clears_flag)
        m_flag = false;
    framework::IDisplay& display = Display();
    display.Clear();
    SendAlignment(m_style.reset_alignment);
    display.SetPrompt(std::string(m_style.prompt));
    display.ShowCursor(framework::ToVBool(m_style.cursor_shown));
    display.SetCursorPosition(0);
    display.SetUserInput(FormatEntry(""));
}

std::optional<int16_t> EntryKeypad::CursorPosition() const {
    // One position per digit, plus one for each separator already passed.
    const auto length = static_cast<int16_t>(m_entry.size());
    return static_cast<int16_t>(length + length / 2);
}

IEnteredValues& EntryKeypad::Step() const {
    if (!m_step)
        platform::raise(platform::err::kObjectVariableNotSet);
    return *m_step;
}

framework::IDisplay& EntryKeypad::Display() const {
    if (!m_display)
        platform::raise(platform::err::kObjectVariableNotSet);
    return *m_display;
}

void EntryKeypad::SendAlignment(int32_t alignment) const {
    auto builder = framework::NewMessageBuilder();
    builder->Add("userinput alignment", platform::Variant(alignment));
    Display().ReceiveMessage(builder->Message());
}

void EntryKeypad::ClickDigit(int index) {
    const auto key = static_cast<int16_t>('0' + index);
    if (m_style.click_before_key) {
        RaiseEvent("Click");
        ProcessKeyPress(key);
    } else {
        ProcessKeyPress(key);
        RaiseEvent("Click");
    }
}

void EntryKeypad::ClickExtra() {
    m_flag = !m_flag;
    Display().SetUserInput(FormatEntry(m_entry));
    RaiseEvent("Click");
}

void EntryKeypad::Redraw() const {
    Display().SetUserInput(FormatEntry(m_entry));
    if (const auto position = CursorPosition())
        Display().SetCursorPosition(*position);
}

void EntryKeypad::ApplyButtonColor() {
    for (const auto& control : Controls()) {
        if (control->Kind() == platform::ControlKind::CommandButton) {
            control->SetBackColor(m_button_color);
        }
    }
}

}  // namespace stampkind
