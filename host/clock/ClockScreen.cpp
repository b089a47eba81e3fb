// The clock's screen model: what each state shows, and where the controls on show stand.
#include <algorithm>

#include "host/clock/Clock.h"

namespace timeclock {

namespace {

// The gap between the keypad and the clock's own buttons to its right: one button margin.
constexpr int kButtonGapTwips = 120;

void AddViews(const platform::UserControl& form, const std::string& prefix, int left, int top,
              std::vector<ControlView>& views) {
    for (const auto& control : form.Controls()) {
        if (!control->Visible())
            continue;
        const std::string path = prefix + control->QualifiedName();
        if (auto site = std::dynamic_pointer_cast<platform::UserControlSite>(control)) {
            if (auto inner = site->Inner())
                AddViews(*inner, path + ".", left + control->Left(), top + control->Top(), views);
            continue;
        }
        if (control->Kind() == platform::ControlKind::Frame)
            continue;
        views.push_back({path, control->Caption(), left + control->Left(), top + control->Top(),
                         control->Width(), control->Height(), control->BackColor(),
                         control->Enabled(),
                         control->Kind() == platform::ControlKind::CommandButton});
    }
}

// Whose punch the screen is about, and the manager mode it runs in.
struct Who {
    const std::optional<orvane::Employee>* employee = nullptr;
    const std::optional<ManagerMode>* manager_mode = nullptr;
};

Who WhoOf(const ClockStates& states) {
    if (const auto* idle = std::get_if<state::Idle>(&states))
        return {nullptr, &idle->manager_mode};
    if (const auto* punch = std::get_if<state::Punch>(&states))
        return {&punch->employee, &punch->manager_mode};
    if (const auto* question = std::get_if<state::Question>(&states))
        return {&question->punch.employee, &question->punch.manager_mode};
    if (const auto* confirmation = std::get_if<state::Confirmation>(&states))
        return {&confirmation->employee, &confirmation->manager_mode};
    return {};
}

}  // namespace

std::shared_ptr<platform::UserControl> Clock::ActiveForm() const {
    if (std::holds_alternative<state::Idle>(m_state) || std::holds_alternative<state::Pin>(m_state))
        return m_card_keypad;
    // The manager's PIN that confirms an entry is typed on the card keypad's buttons too.
    if (const auto* question = std::get_if<state::Question>(&m_state); question && question->pin)
        return m_card_keypad;
    if (const auto* punch = std::get_if<state::Punch>(&m_state); punch && punch->session)
        return punch->session->KeypadForm();
    return nullptr;
}

std::shared_ptr<platform::UserControl> Clock::OwnButtons() const {
    if (std::holds_alternative<state::Confirmation>(m_state))
        return nullptr;
    return m_buttons;
}

ScreenModel Clock::Model() const {
    ScreenModel model;
    model.state = CurrentState();
    const auto who = WhoOf(m_state);
    const orvane::Employee* employee = who.employee && *who.employee ? &**who.employee : nullptr;
    if (who.manager_mode && *who.manager_mode && (*who.manager_mode)->manager) {
        model.banner = "MANAGER MODE \u2014 " + (*who.manager_mode)->manager->name;
        if (employee)
            model.banner += " for " + employee->name;
    }
    if (employee)
        model.employee = employee->name + "  card " + std::to_string(employee->card);
    model.prompt = m_display->prompt();
    model.entry = m_display->user_input();
    model.cursor_visible = m_display->cursor_visible();
    model.cursor_position = m_display->cursor_position();
    model.alignment = m_display->alignment();
    model.error = m_display->error();
    model.information = m_display->information();
    if (std::holds_alternative<state::Confirmation>(m_state))
        model.confirmation = m_last.confirmation;
    if (auto form = ActiveForm()) {
        AddViews(*form, "", 0, 0, model.controls);
        model.controls_width = form->ScaleWidth();
        model.controls_height = form->ScaleHeight();
    }
    if (auto buttons = OwnButtons()) {
        int right = 0;
        for (const auto& view : model.controls)
            right = std::max(right, view.left + view.width + kButtonGapTwips);
        AddViews(*buttons, "", right, 0, model.controls);
        model.controls_width = std::max(model.controls_width, right + buttons->ScaleWidth());
        model.controls_height = std::max(model.controls_height, buttons->ScaleHeight());
    }
    return model;
}

}  // namespace timeclock
