#include "host/clock/Clock.h"

#include <array>
#include <utility>

#include "host/clock/EmployeeStatistics.h"
#include "platform/Services.h"

namespace timeclock {

namespace {

// clang-format off
constexpr std::array<std::pair<std::string_view, std::string_view>, 18> kPunchWords{{
    {"I", "IN"}, {"O", "OUT"}, {"LO", "LUNCH LEAVE"}, {"LI", "LUNCH RETURN"},
    {"BO", "BREAK LEAVE"}, {"BI", "BREAK RETURN"}, {"SW", "SWITCH"}, {"A", "ADVANCE"},
    {"H", "HOLIDAY"}, {"S", "SICK"}, {"V", "VACATION"}, {"P", "PERSONAL"}, {"B", "BONUS"},
    {"X", "OTHER"}, {"FL", "FUNERAL LEAVE"}, {"JD", "JURY DUTY"}, {"C", "COMPLETE"},
    {"Status", "STATUS"},
}};
// clang-format on

}  // namespace

std::string PunchWord(const std::string& code) {
    for (const auto& [punch, word] : kPunchWords) {
        if (punch == code)
            return std::string(word);
    }
    return code;
}

Clock::Clock(Configuration config, orvane::ClockDatabase& database,
             std::shared_ptr<orvane::RecordingDisplay> display)
    : m_config(std::move(config)), m_database(database), m_display(std::move(display)) {
    m_card_keypad = std::make_shared<CardKeypad>(
        m_display, [this](int32_t card) { return m_database.FindEmployee(card); });
}

void Clock::Start() {
    m_display->clear_calls();
    m_card_keypad->Reset();
    if (m_manager_pending)
        m_display->SetPrompt("Manager Mode: Enter Employee Card");
}

std::shared_ptr<platform::UserControl> Clock::ActiveForm() const {
    if (m_session)
        return m_session->KeypadForm();
    return m_card_keypad;
}

void Clock::PressKey(int16_t key) {
    if (m_session) {
        try {
            m_session->PressKey(key);
        } catch (const platform::RaisedError& error) {
            ShowError(error);
            return;
        }
    } else {
        m_card_keypad->ProcessKeyPress(key);
    }
    Update();
}

void Clock::Escape() {
    if (m_session) {
        m_session->Cancel();
        EndPunch();
        return;
    }
    m_manager_pending = false;
    Start();
}

void Clock::Update() {
    if (m_session) {
        if (m_session->Finished())
            FinishPunch();
        return;
    }
    if (const auto employee = m_card_keypad->Accepted()) {
        if (employee->manager && !m_manager_pending) {
            // The manager's own card: the next card punches in manager mode.
            m_manager_pending = true;
            Start();
            return;
        }
        StartPunch(*employee);
    }
}

void Clock::StartPunch(const orvane::Employee& employee) {
    m_employee = employee;
    PunchContext context;
    context.moment = platform::services().Now();
    context.manager_mode = std::exchange(m_manager_pending, false);
    if (m_config.HasStep(kEmployeeIdStep))
        context.card = platform::Variant(employee.card);
    context.statistics = m_config.HasStep(kStatisticsStep);
    context.button_color = m_config.button_color;
    try {
        if (!m_step)
            m_step = m_config.CreateStep();
        m_display->Clear();
        m_session = std::make_unique<PunchSession>(m_step, m_display, context);
        m_session->Begin();
    } catch (const platform::RaisedError& error) {
        ShowError(error);
        return;
    }
    if (m_session->Finished())
        FinishPunch();
}

void Clock::FinishPunch() {
    try {
        const auto outcome = m_session->Complete(m_employee ? m_employee->card : 0);
        const std::string code = m_step->Value().to_text();
        m_display->Clear();
        m_display->ShowCursor(framework::VBool::False);
        if (outcome.records) {
            if (outcome.HasWrites())
                m_database.StorePunch(*outcome.records);
            m_display->SetPrompt(m_employee ? m_employee->name : "Punch recorded");
            m_display->SetUserInput(code == "Status" ? "STATUS" : "Recorded: " + PunchWord(code));
        } else {
            m_display->SetPrompt("No punch recorded");
        }
        platform::services().Sleep(kRecordedMilliseconds);
        if (m_config.HasStep(kStatisticsStep) && m_employee) {
            EmployeeStatistics::Compute(m_database.Rows(m_employee->card),
                                        platform::services().Now())
                .Show(*m_display, m_employee->name);
        }
    } catch (const platform::RaisedError& error) {
        ShowError(error);
        return;
    }
    EndPunch();
}

void Clock::EndPunch() {
    m_session.reset();
    m_employee.reset();
    Start();
}

void Clock::ShowError(const platform::RaisedError& error) {
    m_display->Clear();
    m_display->ShowError("Error " + std::to_string(error.number()) + ": " + error.description());
    platform::services().Sleep(kRecordedMilliseconds);
    EndPunch();
}

}  // namespace timeclock
