#include "host/clock/Clock.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include "framework/Factories.h"
#include "framework/IPunchValues.h"
#include "framework/KeyCodes.h"
#include "host/clock/EmployeeStatistics.h"
#include "host/punches/PunchHistory.h"
#include "host/database/DatabaseError.h"
#include "host/database/EngineDatabase.h"
#include "host/framework/Global.h"
#include "platform/Services.h"
#include "step/StepSettings.h"

namespace timeclock {

namespace {

using framework::keys::kBackspace;
using framework::keys::kEnter;
constexpr double kSecondsPerDay = 86400.0;
constexpr std::string_view kPleaseWait = "Please wait\u2026";

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

double SecondsBetween(platform::Date from, platform::Date to) {
    return (to.days - from.days) * kSecondsPerDay;
}

platform::Date Now() {
    return platform::services().Now();
}

// Whether a control is one of the form's controls on show.
bool IsOnShow(const platform::UserControl& form, const platform::Control& wanted) {
    for (const auto& control : form.Controls()) {
        if (!control->Visible() || !control->Enabled())
            continue;
        if (control.get() == &wanted)
            return true;
        if (auto site = std::dynamic_pointer_cast<platform::UserControlSite>(control)) {
            if (auto inner = site->Inner(); inner && IsOnShow(*inner, wanted))
                return true;
        }
    }
    return false;
}

bool ManagerModeOpen(const std::optional<ManagerMode>& mode) {
    return mode && mode->manager;
}

}  // namespace

Clock::Clock(Configuration config, std::unique_ptr<orvane::ClockDatabase> database,
             std::shared_ptr<orvane::RecordingDisplay> display, std::filesystem::path config_file,
             std::shared_ptr<orvane::EngineDatabase> lookup)
    : m_config(std::move(config)),
      m_settings(std::move(config_file)),
      m_database(std::move(database)),
      m_lookup(std::move(lookup)),
      m_display(std::move(display)),
      m_log([](std::string_view text) { std::cerr << "timeclock: " << text << '\n'; }) {
    // The card keypad's buttons also type a manager's PIN.
    m_card_keypad = std::make_shared<CardKeypad>(
        m_display, [this](int32_t card) { return m_database->FindEmployee(card); },
        [this](int16_t key) {
            if (std::holds_alternative<state::Pin>(m_state))
                PinKey(key);
            else
                m_card_keypad->ProcessKeyPress(key);
        });
    m_buttons = std::make_shared<ClockButtons>([this](ClockButtons::Action action) {
        switch (action) {
            case ClockButtons::Action::Enter:
                PressKey(kEnter);
                break;
            case ClockButtons::Action::Clear:
                OwnButton(action);
                break;
            case ClockButtons::Action::Cancel:
                Escape();
                break;
        }
    });
    // A file that another clock holds makes a read or write wait; the screen says so meanwhile.
    m_database->SetWhileBusy([this] {
        if (!m_policy.shows_waiting)
            return;
        m_display->ShowInformation(std::string(kPleaseWait));
        platform::services().DoEvents();
    });
    m_last_input = Now();
    m_state = state::Idle{{}, m_last_input};
}

Clock::~Clock() = default;

// Every input runs here: a raised error of the step, its keypads or the database ends what is
// under way with a short message and the clock goes on.
template <class Action>
void Clock::Guarded(Action&& action) {
    Touch();
    try {
        action();
        AfterInput();
    } catch (const platform::RaisedError& error) {
        Fail(error);
    }
    if (m_display->information() == kPleaseWait)
        m_display->ShowInformation("");
}

void Clock::Touch() {
    m_last_input = Now();
}

void Clock::Start() {
    ShowCardPrompt({});
}

void Clock::ShowCardPrompt(std::optional<ManagerMode> manager_mode) {
    ReloadSettings();
    if (!m_step)
        WarnOfSettings();
    const bool manager = ManagerModeOpen(manager_mode);
    m_state = state::Idle{std::move(manager_mode), Now()};
    m_display->clear_calls();
    m_card_keypad->Reset();
    if (manager)
        m_display->SetPrompt("Manager Mode: Enter Employee Card");
    if (!m_message.empty())
        m_display->ShowError(std::exchange(m_message, {}));
}

bool Clock::Handle(const Input& input) {
    return std::visit(Overloaded{
                          [this](const input::Key& key) {
                              PressKey(key.code);
                              return true;
                          },
                          [this](const input::Click& click) { return Click(click.path); },
                          [this](const input::Escape&) {
                              Escape();
                              return true;
                          },
                          [this](const input::Tick& tick) {
                              Tick(tick.now);
                              return true;
                          },
                      },
                      input);
}

// A handler that moves the clock to another state must not touch the state it was given
// afterwards: the assignment has destroyed it. What it still needs, it moves out first.
void Clock::PressKey(int16_t key) {
    Guarded([&] {
        std::visit(Overloaded{
                       [&](state::Idle& idle) {
                           m_card_keypad->ProcessKeyPress(key);
                           if (const auto employee = m_card_keypad->Accepted())
                               CardAccepted(*employee, idle.manager_mode);
                       },
                       [&](state::Pin&) { PinKey(key); },
                       [&](state::Punch& punch) {
                           if (punch.session)
                               punch.session->PressKey(key);
                       },
                       [&](state::Question& question) {
                           if (key != kEnter)
                               return;
                           const auto punch = std::move(question.punch);
                           Store(punch);
                       },
                       [&](state::Confirmation&) {
                           // Any key ends the confirmation; a digit is the first of the next
                           // card.
                           EndPunch();
                           if (key >= '0' && key <= '9')
                               m_card_keypad->ProcessKeyPress(key);
                       },
                   },
                   m_state);
    });
}

bool Clock::Click(std::string_view path) {
    std::shared_ptr<platform::Control> control;
    const auto form = ActiveForm();
    if (form)
        control = form->Resolve(path);
    const auto buttons = OwnButtons();
    if (!control && buttons)
        control = buttons->Resolve(path);
    if (!control)
        return false;
    if (buttons && IsOnShow(*buttons, *control)) {
        // The clock's own buttons run inputs that guard themselves.
        return control->Click();
    }
    if (!form || !IsOnShow(*form, *control))
        return false;
    bool clicked = false;
    Guarded([&] {
        clicked = control->Click();
        if (auto* idle = std::get_if<state::Idle>(&m_state)) {
            if (const auto employee = m_card_keypad->Accepted())
                CardAccepted(*employee, idle->manager_mode);
        }
    });
    return clicked;
}

void Clock::Escape() {
    Touch();
    try {
        if (auto* punch = std::get_if<state::Punch>(&m_state); punch && punch->session)
            punch->session->Cancel();
        EndPunch();
    } catch (const platform::RaisedError& error) {
        Fail(error);
    }
}

void Clock::Tick(platform::Date now) {
    try {
        const double idle = SecondsBetween(m_last_input, now);
        if (std::holds_alternative<state::Confirmation>(m_state)) {
            if (idle >= m_config.confirm_seconds)
                EndPunch();
            return;
        }
        const auto* rest = std::get_if<state::Idle>(&m_state);
        const bool at_prompt =
            rest && !ManagerModeOpen(rest->manager_mode) && m_card_keypad->Entry().empty();
        if (at_prompt)
            m_queue.AtIdlePrompt(*m_database, now, m_log);
        if ((at_prompt && m_display->error().empty()) || idle < m_config.idle_seconds)
            return;
        m_last_input = now;
        if (auto* punch = std::get_if<state::Punch>(&m_state); punch && punch->session)
            punch->session->Cancel();
        EndPunch();
    } catch (const platform::RaisedError& error) {
        Fail(error);
    }
}

void Clock::CardAccepted(const orvane::Employee& employee,
                         std::optional<ManagerMode> manager_mode) {
    if (employee.manager && !ManagerModeOpen(manager_mode)) {
        if (const auto until = m_pin_lock.LockedUntil(employee.card, Now())) {
            m_card_keypad->Reset();
            m_display->ShowError(
                ConfirmationText::CardLocked(employee.card, PinLock::kTries, *until));
            return;
        }
        if (!m_database->HasManagerPin(employee.card)) {
            m_card_keypad->Reset();
            m_display->ShowError(ConfirmationText::NoPin(employee.card));
            return;
        }
        m_state = state::Pin{employee, {}, Now()};
        m_display->Clear();
        m_display->SetPrompt("Enter PIN for " + employee.name);
        m_display->SetUserInput("");
        m_display->ShowCursor(framework::VBool::True);
        m_display->SetCursorPosition(0);
        return;
    }
    state::Punch punch;
    punch.employee = employee;
    punch.manager_mode = std::move(manager_mode);
    punch.statistics = m_config.HasStep(kStatisticsStep);
    StartPunch(std::move(punch), platform::Variant(employee.card));
}

void Clock::PinKey(int16_t key) {
    auto* pin = std::get_if<state::Pin>(&m_state);
    if (!pin)
        return;
    auto& typed = pin->typed;
    if (key >= '0' && key <= '9') {
        if (typed.size() < orvane::ClockDatabase::kLongestPin)
            typed += static_cast<char>(key);
    } else if (key == CardKeypad::kClearEntry) {
        typed.clear();
    } else if (key == kBackspace) {
        if (!typed.empty())
            typed.pop_back();
    } else if (key == kEnter && !typed.empty()) {
        const auto manager = pin->manager;
        if (m_database->VerifyManagerPin(manager.card, std::exchange(typed, {}))) {
            m_pin_lock.Right(manager.card);
            ShowCardPrompt(ManagerMode{manager});
            return;
        }
        m_display->SetUserInput("");
        m_display->SetCursorPosition(0);
        if (const auto until = m_pin_lock.Wrong(manager.card, Now())) {
            m_message = ConfirmationText::LockedNow(manager.card, *until);
            ShowCardPrompt({});
            return;
        }
        m_display->ShowError("Wrong PIN");
        return;
    }
    m_display->SetUserInput(std::string(typed.size(), '*'));
    m_display->SetCursorPosition(static_cast<int16_t>(typed.size()));
}

void Clock::BeginScriptedPunch(std::optional<platform::Variant> card, bool manager_mode,
                               bool statistics) {
    m_policy = PunchPolicy::Scripted();
    state::Punch punch;
    if (manager_mode)
        punch.manager_mode = ManagerMode{};
    punch.statistics = statistics;
    Guarded([&] { StartPunch(std::move(punch), std::move(card)); });
}

void Clock::StartPunch(state::Punch punch, std::optional<platform::Variant> card) {
    m_last = LastPunch{};
    m_answers_while_away = AnswersWhileAway();
    PunchContext context;
    context.moment = Now();
    context.manager_mode = punch.manager_mode.has_value();
    if (m_config.HasStep(kEmployeeIdStep) || m_policy.card_without_id_step)
        context.card = std::move(card);
    context.statistics = punch.statistics;
    context.button_color = m_config.button_color;
    context.never_skip = punch.manager_mode && m_policy.manager_keypad_always;
    m_display->Clear();
    punch.since = context.moment;
    punch.session = std::make_shared<PunchSession>(Step(), m_display, context);
    m_last.session = punch.session;
    const auto session = punch.session;
    m_state = std::move(punch);
    session->Begin();
}

// After each input: the keypad's Finished event (or a skipped keypad) completes the punch. The
// session notes the event and the engine acts once the input has returned, never inside the
// keypad's own handler: storing may raise, and that error belongs to the engine, not the keypad.
void Clock::AfterInput() {
    auto* punch = std::get_if<state::Punch>(&m_state);
    if (!punch || !punch->session)
        return;
    if (punch->session->Cancelled())
        EndPunch();
    else if (punch->session->Finished())
        FinishPunch(std::move(*punch));
}

void Clock::FinishPunch(state::Punch punch) {
    auto& session = *punch.session;
    const int32_t card = punch.employee   ? punch.employee->card
                         : session.Card() ? session.Card()->to_int32()
                                          : 0;
    m_last.outcome = session.Complete(card);
    const std::string code = session.Step()->Value().to_text();
    if (!m_last.outcome->records || !m_last.outcome->HasWrites()) {
        // Nothing chosen, or a status punch: nothing to store, and a scripted punch ends here.
        if (m_policy.confirms_on_screen)
            Confirm(punch);
        else
            EndPunch();
        return;
    }
    if (punch.manager_mode) {
        // Manager entries are exempt from the guards; at a kiosk they record who made them (the
        // scripted door has no manager card to name).
        if (const auto& manager = punch.manager_mode->manager) {
            m_last.outcome->records->entered_by = orvane::ManagerEntry{
                manager->card, Now(), m_clock_name.empty() ? m_config.ClockName() : m_clock_name};
        }
        Store(punch);
        return;
    }
    // Only the rows of the reset span can hold the employee's last event: read them alone,
    // through the moment indexes, however long the history.
    const auto moment = session.Moment();
    const PunchHistory history(
        m_database->RowsBetween(card, platform::Date{moment.days - SpanDays()}, moment), moment,
        SpanDays());
    if (const auto earlier = history.Duplicate(code, moment, m_config.duplicate_seconds)) {
        if (!m_policy.findings_stop) {
            m_last.notice = ConfirmationText::DuplicateNotice(code, earlier->moment);
        } else {
            m_last.confirmation = {punch.employee ? punch.employee->name : "",
                                   ConfirmationText::EarlierPunch(code, earlier->moment)};
            m_state = state::Confirmation{punch.employee, punch.manager_mode, Now()};
            m_display->Clear();
            // A punch still kept on this clock is no punch of the server yet: the retry says so.
            const bool kept = std::ranges::any_of(
                m_database->Queued(), [&](const auto& queued) { return queued.card == card; });
            m_display->ShowError(ConfirmationText::AlreadyRecorded(earlier->moment) +
                                 (kept ? std::string(". ") + kQueuedConfirmation : ""));
            return;
        }
    }
    if (const auto misfit = history.Misfit(code); !misfit.empty()) {
        if (!m_policy.findings_stop) {
            m_last.notice = m_last.notice.empty() ? misfit : m_last.notice + "; " + misfit;
        } else {
            m_state = state::Question{std::move(punch), Now()};
            m_display->Clear();
            m_display->ShowCursor(framework::VBool::False);
            m_display->SetPrompt(ConfirmationText::NotFittingQuestion(misfit, code));
            return;
        }
    }
    Store(punch);
}

void Clock::Store(const state::Punch& punch) {
    m_last.queued = m_database->StorePunch(*m_last.outcome->records) == orvane::StoreResult::Queued;
    m_last.stored = true;
    if (m_last.queued)
        m_queue.Kept(Now());
    Confirm(punch);
}

void Clock::Confirm(const state::Punch& punch) {
    auto& lines = m_last.confirmation;
    lines.clear();
    const auto& session = *punch.session;
    const std::string code = session.Step()->Value().to_text();
    if (punch.employee)
        lines.push_back(punch.employee->name);
    if (m_last.stored) {
        // The step keeps what was typed for earlier punches: only a manager types values, and
        // only what this punch's code takes is read.
        const auto values = platform::query<framework::IPunchValues>(session.Step());
        lines.push_back(ConfirmationText::StoredPunch(code, session.Moment(),
                                                      punch.manager_mode ? values.get() : nullptr));
        if (m_last.queued)
            lines.push_back(kQueuedConfirmation);
    } else if (code == "Status") {
        lines.push_back("STATUS");
    } else {
        lines.push_back("No punch recorded");
    }
    if (punch.statistics && (punch.employee || session.Card())) {
        const int32_t card = punch.employee ? punch.employee->card : session.Card()->to_int32();
        const auto figures = EmployeeStatistics::Compute(*m_database, card, session.Moment(),
                                                         m_config.week_starts, SpanDays() * 24.0);
        if (m_policy.confirms_on_screen) {
            for (auto& line : figures.Lines())
                lines.push_back(std::move(line));
        } else {
            const auto employee = m_database->FindEmployee(card);
            figures.Show(*m_display, employee ? employee->name : "");
        }
        if (m_database->Away())
            lines.push_back(kIncompleteFigures);
    }
    // The automatic punch chose from what this clock knows: the person should know it may be
    // wrong.
    if (AnswersWhileAway() != m_answers_while_away &&
        std::ranges::find(lines, kIncompleteFigures) == lines.end()) {
        lines.push_back(kIncompleteFigures);
    }
    if (!m_policy.confirms_on_screen) {
        EndPunch();
        return;
    }
    m_state = state::Confirmation{punch.employee, punch.manager_mode, Now()};
    m_display->Clear();
    m_display->ShowCursor(framework::VBool::False);
    m_display->SetPrompt(m_last.queued   ? kQueuedConfirmation
                         : m_last.stored ? "Punch recorded"
                                         : "");
}

// Back to the card prompt; manager mode lasts for one punch. A scripted punch has no prompt to
// show: the clock comes to rest and the display keeps what the punch drew.
void Clock::EndPunch() {
    if (!m_policy.confirms_on_screen) {
        m_state = state::Idle{{}, Now()};
        return;
    }
    ShowCardPrompt({});
}

void Clock::Fail(const platform::RaisedError& error) {
    m_last.error = error;
    m_log("Error " + std::to_string(error.number()) + ": " + error.description());
    if (m_last.session && !m_last.session->Finished()) {
        // The step is told the punch was given up; a second error on the way changes nothing.
        try {
            m_last.session->Cancel();
        } catch (const platform::RaisedError& second) {
            m_log("Error " + std::to_string(second.number()) + ": " + second.description());
        }
    }
    if (m_policy.confirms_on_screen) {
        // The screen gets a short message a person can act on; the log has the full text.
        const bool unstored = m_last.outcome && m_last.outcome->HasWrites() && !m_last.stored;
        if (unstored && error.number() == orvane::dberr::kLocked)
            m_message = "The clock database is busy. The punch was not stored; please try again.";
        else if (unstored)
            m_message = "The punch was not stored. Please try again or tell your manager.";
        else if (error.number() >= platform::err::kHostBase)
            m_message = "The clock database cannot be read. Please tell your manager.";
        else
            m_message = error.description();
    }
    EndPunch();
}

void Clock::OwnButton(ClockButtons::Action action) {
    if (action != ClockButtons::Action::Clear)
        return;
    Guarded([&] {
        if (std::holds_alternative<state::Idle>(m_state)) {
            m_card_keypad->Reset();
        } else if (std::holds_alternative<state::Pin>(m_state)) {
            PinKey(CardKeypad::kClearEntry);
        } else if (auto* punch = std::get_if<state::Punch>(&m_state); punch && punch->session) {
            for (size_t i = m_display->user_input().size(); i > 0; --i)
                punch->session->PressKey(kBackspace);
        }
    });
}

void Clock::ReloadSettings() {
    if (!m_policy.reloads_settings)
        return;
    try {
        if (auto config = m_settings.Changed()) {
            config->database = m_config.database;
            m_config = std::move(*config);
            m_step.reset();
        }
    } catch (const platform::RaisedError& error) {
        // A half-written or damaged file keeps the settings in use.
        m_log("The changed configuration was not applied: " + error.description());
    }
}

// Saved step settings the step cannot use as their kind are the administrator's to mend; the
// clock names them in its log when it starts or reloads the settings, and goes on punching.
void Clock::WarnOfSettings() {
    try {
        for (const auto& problem : stampkind::SettingsView(Step()->Properties()).Problems())
            m_log("warning: " + problem.text);
    } catch (const platform::RaisedError& error) {
        m_log("Error " + std::to_string(error.number()) + ": " + error.description());
    }
}

std::shared_ptr<framework::IStep> Clock::Step() {
    if (!m_step)
        m_step = m_config.CreateStep();
    return m_step;
}

double Clock::SpanDays() const {
    return ResetSpanHours(m_step) / 24.0;
}

uint64_t Clock::AnswersWhileAway() const {
    return m_lookup ? m_lookup->answers_while_away() : 0;
}

}  // namespace timeclock
