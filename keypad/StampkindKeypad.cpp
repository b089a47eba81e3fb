#include "keypad/StampkindKeypad.h"

#include <algorithm>
#include <optional>

#include "common/LiveObjects.h"
#include "entry/Currency.h"
#include "entry/Hours.h"
#include "entry/TimeIn.h"
#include "entry/TimeOut.h"
#include "framework/Factories.h"
#include "framework/IStep.h"
#include "framework/KeyCodes.h"
#include "keypad/PunchButtons.h"
#include "platform/Error.h"
#include "platform/TextScan.h"
#include "step/IEnteredValues.h"
#include "step/StepSettings.h"

namespace stampkind {

namespace {

constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 615;

using namespace framework::keys;

const platform::FontSpec kPunchFont{"MS Sans Serif", 8.25, true};
const platform::FontSpec kSkipFont{"Arial", 9.75, true};

// The value keypads' places: on top of the button area, hidden until value entry.
struct EmbeddedKeypad {
    std::string_view name;
    int left;
    int top;
    int width;
    int height;
};
constexpr EmbeddedKeypad kTimeIn1{"TimeIn1", 0, 0, 3015, 3735};
constexpr EmbeddedKeypad kTimeOut1{"TimeOut1", 0, 0, 3015, 3735};
constexpr EmbeddedKeypad kHours1{"Hours1", 0, 0, 3015, 3735};
constexpr EmbeddedKeypad kCurrency1{"Currency1", 0, 0, 3015, 3735};

// A character of a mask or of the allowed types as a boolean, converted as the platform converts
// text: "1" true, "0" false, another number true unless zero; a missing or non-numeric character
// raises "Type mismatch".
bool FlagAt(std::string_view text, std::size_t position) {
    if (position < text.size()) {
        if (text[position] == '1')
            return true;
        if (text[position] == '0')
            return false;
    }
    const std::string_view character =
        position < text.size() ? text.substr(position, 1) : std::string_view();
    return platform::Variant(character).to_bool();
}

std::optional<int> IndexForDigit(int page, int16_t key) {
    for (const DigitRule& rule : kDigitRules) {
        if (rule.page == page && key >= rule.first && key <= rule.last)
            return key - rule.offset;
    }
    return std::nullopt;
}

}  // namespace

std::shared_ptr<StampkindKeypad> StampkindKeypad::Create() {
    return MakeCounted<StampkindKeypad>();
}

StampkindKeypad::StampkindKeypad()
    : platform::UserControl(kWidth, kHeight),
      platform::EventSource({{"Finished", 1}, {"Click", 2}}) {
    for (std::size_t i = 0; i < kLayoutMasks.size(); ++i) {
        m_layout_masks[i] = std::string(kLayoutMasks[i]);
    }

    for (std::size_t i = 0; i < kPunchButtons.size(); ++i) {
        const PunchButton& row = kPunchButtons[i];
        const std::string caption = PunchWord(row.tag) + '\r' + row.key;
        platform::Control& button = AddControl({
            .kind = platform::ControlKind::CommandButton,
            .name = "cmdStampkind",
            .index = static_cast<int>(i),
            .caption = caption,
            .left = row.left,
            .top = row.top,
            .width = kButtonWidth,
            .height = kButtonHeight,
            .tab_index = static_cast<int>(i),
            .container = {},
        });
        button.SetTag(std::string(row.tag));
        button.SetFont(kPunchFont);
        button.SetClickHandler([this, index = static_cast<int>(i)] { ChoosePunch(index); });
        m_punch_buttons[i] = &button;
    }

    const auto index_after_punches = static_cast<int>(kPunchButtons.size());
    m_more_punches = &AddControl({
        .kind = platform::ControlKind::CommandButton,
        .name = "cmdMorePunches",
        .index = -1,
        .caption = "More &Punches\r+",
        .left = 120,
        .top = 3000,
        .width = kButtonWidth,
        .height = kButtonHeight,
        .tab_index = index_after_punches,
        .container = {},
    });
    m_more_punches->SetFont(kPunchFont);
    m_more_punches->SetClickHandler([this] { MorePunches(); });

    m_skip = &AddControl({
        .kind = platform::ControlKind::CommandButton,
        .name = "cmdSkip",
        .index = -1,
        .caption = "&Skip\r-",
        .left = 1560,
        .top = 3000,
        .width = kButtonWidth,
        .height = kButtonHeight,
        .tab_index = index_after_punches + 1,
        .container = {},
    });
    m_skip->SetFont(kSkipFont);
    m_skip->SetClickHandler([this] { SkipPunch(); });

    m_time_in = TimeIn::Create();
    m_time_out = TimeOut::Create();
    m_hours = Hours::Create();
    m_currency = Currency::Create();
    const std::array<std::pair<std::shared_ptr<EntryKeypad>, EmbeddedKeypad>, 4> embedded{{
        {m_time_in, kTimeIn1},
        {m_time_out, kTimeOut1},
        {m_hours, kHours1},
        {m_currency, kCurrency1},
    }};
    for (const auto& [keypad, place] : embedded) {
        AddUserControl(keypad, std::string(place.name), place.left, place.top, place.width,
                       place.height);
        keypad->Extender().SetVisible(false);
        keypad->Connect("Click", [this] { RaiseEvent("Click"); });
    }
    m_time_in->Connect("Finished", [this] { m_time_in_done = true; });
    m_time_out->Connect("Finished", [this] { m_second_value_done = true; });
    m_hours->Connect("Finished", [this] { m_second_value_done = true; });
    m_currency->Connect("Finished", [this] { m_second_value_done = true; });
}

StampkindKeypad::~StampkindKeypad() = default;

void StampkindKeypad::ReceiveMessage(const std::shared_ptr<framework::IMessage>& message) {
    if (!message)
        platform::raise(platform::err::kObjectVariableNotSet);
    for (const framework::MessageEntry& entry : message->Entries()) {
        if (platform::text::iequals(entry.Name, "manager mode")) {
            m_manager_mode = entry.Value.to_bool();
            UpdateManagerButtons();
        } else if (platform::text::iequals(entry.Name, "button color")) {
            m_button_color = entry.Value.to_int32();
            ApplyButtonColor();
        }
    }
}

void StampkindKeypad::ProcessKeyPress(int16_t key_ascii) {
    if (key_ascii == kEnter) {
        PressEnter();
        return;
    }
    if (m_entry_stage) {
        // Every key goes to the value keypad on show. After a manager confirmed STATUS there is
        // none, and the key raises 91 to the host like any other failed call.
        Active().ProcessKeyPress(key_ascii);
        return;
    }
    if (key_ascii >= '0' && key_ascii <= '9') {
        if (const auto index = IndexForDigit(m_page, key_ascii)) {
            m_punch_buttons[static_cast<std::size_t>(*index)]->FireClick();
        }
    } else if (key_ascii == kPlus && m_manager_mode) {
        m_more_punches->FireClick();
    } else if (key_ascii == kMinus && m_manager_mode) {
        m_skip->FireClick();
    }
}

void StampkindKeypad::Attach(const std::shared_ptr<framework::IStep>& step,
                             const std::shared_ptr<framework::IDisplay>& display) {
    // The new step is kept before its kind is checked, as the host's contract has it: a step of
    // another kind stays attached and the keypad then refuses to use it.
    m_step = step;
    m_has_statistics_step = Values().HasStatisticsStep();
    m_display = display;
    m_allowed_types = SettingsView(Step().Properties()).AllowedStampkinds();
}

void StampkindKeypad::Reset() {
    UpdateManagerButtons();
    for (ValuePad pad : {ValuePad::Currency, ValuePad::Hours, ValuePad::TimeIn, ValuePad::TimeOut})
        ShowKeypad(pad, false);
    m_time_in_done = false;
    m_second_value_done = false;
    m_entry_stage = false;
    m_active_keypad.reset();
    m_value.clear();

    framework::IDisplay& display = Display();
    auto alignment = framework::NewMessageBuilder();
    alignment->Add("userinput alignment", platform::Variant(int32_t{0}));
    display.ReceiveMessage(alignment->Message());
    display.SetPrompt("Select Punch Type");
    display.SetUserInput("");
    display.ShowCursor(framework::VBool::True);
    display.SetCursorPosition(0);

    m_page = 0;
    ShowPage(0);
}

void StampkindKeypad::ShowPage(int page) {
    const std::string& mask = m_layout_masks[static_cast<std::size_t>(page)];
    for (std::size_t i = 0; i < mask.size(); ++i) {
        platform::Control& button = *m_punch_buttons[i];
        button.SetVisible(FlagAt(mask, i));
        if (static_cast<int>(i) == kStatusIndex) {
            // STATUS is offered only with a statistics step. While the keypad is off screen it
            // stays visible, so that it is on show whenever the keypad appears on page 0.
            if (!m_has_statistics_step) {
                button.SetVisible(false);
            } else if (!Extender().Visible()) {
                button.SetVisible(true);
            }
        }
        if (static_cast<int>(i) >= kFirstManagerIndex && static_cast<int>(i) <= kLastManagerIndex) {
            // Enabled states follow the allowed types on every page, hidden buttons included.
            const auto allowed = static_cast<std::size_t>(kPunchButtons[i].allowed - 1);
            button.SetEnabled(FlagAt(m_allowed_types, allowed));
        }
    }
}

bool StampkindKeypad::IsOnPage(int index) const {
    return FlagAt(m_layout_masks[static_cast<std::size_t>(m_page)],
                  static_cast<std::size_t>(index));
}

void StampkindKeypad::UpdateManagerButtons() {
    m_skip->SetVisible(m_manager_mode);
    m_more_punches->SetVisible(m_manager_mode);
    if (!m_manager_mode) {
        m_page = 0;
        ShowPage(0);
    }
}

void StampkindKeypad::ApplyButtonColor() {
    for (const auto& control : Controls()) {
        if (control->Kind() == platform::ControlKind::CommandButton) {
            control->SetBackColor(m_button_color);
        }
    }
}

void StampkindKeypad::ChoosePunch(int index) {
    const platform::Control& button = *m_punch_buttons[static_cast<std::size_t>(index)];
    // The page decides, not the button's visibility: STATUS can be chosen on page 0 even while
    // it is hidden.
    if (IsOnPage(index) && button.Enabled()) {
        const std::string& caption = button.Caption();
        const std::string word = caption.substr(0, caption.rfind('\r'));
        framework::IDisplay& display = Display();
        display.SetUserInput(word);
        display.SetCursorPosition(static_cast<int16_t>(word.size()));
        display.ShowCursor(framework::VBool::True);
        m_value = button.Tag();
    }
    RaiseEvent("Click");
}

void StampkindKeypad::MorePunches() {
    m_page = m_page >= kLastPunchPage ? 0 : m_page + 1;
    ShowPage(m_page);
    RaiseEvent("Click");
}

void StampkindKeypad::SkipPunch() {
    m_value.clear();
    Step().SetValue(platform::Variant(std::string()));
    RaiseEvent("Finished");
}

void StampkindKeypad::PressEnter() {
    if (m_value.empty()) {
        Display().ShowCursor(framework::VBool::True);
        return;
    }
    Step().SetValue(platform::Variant(m_value));
    if (!m_manager_mode || (m_time_in_done && m_second_value_done)) {
        RaiseEvent("Finished");
        return;
    }
    const auto colors = ButtonColorMessage();
    if (!m_entry_stage) {
        BeginValueEntry(colors);
    } else {
        ContinueValueEntry(colors);
    }
}

void StampkindKeypad::BeginValueEntry(const std::shared_ptr<framework::IMessage>& colors) {
    ShowPage(kBlankPage);
    m_more_punches->SetVisible(false);
    m_skip->SetVisible(false);
    m_entry_stage = true;

    // The confirming Enter shows the type's first keypad. A type that starts with the date-time
    // out has its date-time in done; one with no second value has that done; the keypad not
    // needed is hidden. A type without a first keypad (STATUS) finishes here.
    const PunchCode* code = FindPunchCode(m_value);
    if (!code || code->first_pad == ValuePad::None) {
        RaiseEvent("Finished");
        return;
    }
    ShowKeypad(code->first_pad, true);
    if (code->first_pad == ValuePad::TimeOut) {
        ShowKeypad(ValuePad::TimeIn, false);
        m_time_in_done = true;
    } else if (code->second_pad == ValuePad::None || code->second_pad == ValuePad::TimeOut) {
        ShowKeypad(ValuePad::TimeOut, false);
        if (code->second_pad == ValuePad::None)
            m_second_value_done = true;
    }
    m_active_keypad = Keypad(code->first_pad);
    Activate(colors);
}

void StampkindKeypad::ContinueValueEntry(const std::shared_ptr<framework::IMessage>& colors) {
    // The value keypad raises Finished inside this call when it accepts its entry.
    Active().ProcessKeyPress(kEnter);
    if (m_time_in_done) {
        ShowKeypad(ValuePad::TimeIn, false);
        if (const PunchCode* code = FindPunchCode(m_value)) {
            const ValuePad second = code->second_pad;
            if (second != ValuePad::None && !Keypad(second)->Extender().Visible()) {
                ShowKeypad(second, true);
                m_active_keypad = Keypad(second);
            }
            if (code->out_equals_in)
                Values().SetDateTimeOut(Values().DateTimeIn());
        }
        // Attached and reset again even when unchanged: a refused or accepted entry is cleared.
        Activate(colors);
    }
    if (m_time_in_done && m_second_value_done)
        RaiseEvent("Finished");
}

void StampkindKeypad::Activate(const std::shared_ptr<framework::IMessage>& colors) {
    EntryKeypad& active = Active();
    active.Attach(m_step, m_display);
    active.ReceiveMessage(colors);
    active.Reset();
}

std::shared_ptr<framework::IMessage> StampkindKeypad::ButtonColorMessage() const {
    auto builder = framework::NewMessageBuilder();
    builder->Add("button color", platform::Variant(m_button_color));
    return builder->Message();
}

std::shared_ptr<EntryKeypad> StampkindKeypad::Keypad(ValuePad pad) const {
    switch (pad) {
        case ValuePad::TimeIn:
            return m_time_in;
        case ValuePad::TimeOut:
            return m_time_out;
        case ValuePad::Hours:
            return m_hours;
        case ValuePad::Currency:
            return m_currency;
        case ValuePad::None:
            break;
    }
    return nullptr;
}

void StampkindKeypad::ShowKeypad(ValuePad pad, bool visible) {
    if (const auto keypad = Keypad(pad))
        keypad->Extender().SetVisible(visible);
}

framework::IStep& StampkindKeypad::Step() const {
    if (!m_step)
        platform::raise(platform::err::kObjectVariableNotSet);
    return *m_step;
}

IEnteredValues& StampkindKeypad::Values() const {
    return *platform::query_or_raise<IEnteredValues>(m_step);
}

EntryKeypad& StampkindKeypad::Active() const {
    if (!m_active_keypad)
        platform::raise(platform::err::kObjectVariableNotSet);
    return *m_active_keypad;
}

framework::IDisplay& StampkindKeypad::Display() const {
    if (!m_display)
        platform::raise(platform::err::kObjectVariableNotSet);
    return *m_display;
}

}  // namespace stampkind
