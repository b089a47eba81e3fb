#include "host/clock/Clock.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>
#include <utility>

#include "framework/Factories.h"
#include "framework/IPunchValues.h"
#include "framework/KeyCodes.h"
#include "host/clock/EmployeeStatistics.h"
#include "host/database/DatabaseError.h"
#include "host/database/EngineDatabase.h"
#include "host/framework/Global.h"
#include "host/punches/PunchHistory.h"
#include "host/punches/Shift.h"
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

// To the millisecond: a moment kept as a fraction of a day is not exact in seconds, and 15
// seconds must not read as 14.999.
double SecondsBetween(platform::Date from, platform::Date to) {
    return std::round((to.days - from.days) * kSecondsPerDay * 1000.0) / 1000.0;
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

bool IsDigit(int16_t key) {
    return key >= '0' && key <= '9';
}

// Whether a value keypad (a date, hours or an amount) shows inside the punch keypad: it takes
// several digits, where the punch keypad's own page takes one key.
bool ValueKeypadOpen(const PunchSession& session) {
    const auto form = session.KeypadForm();
    if (!form)
        return false;
    for (const auto& control : form->Controls()) {
        if (control->Visible() && std::dynamic_pointer_cast<platform::UserControlSite>(control))
            return true;
    }
    return false;
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
        m_display, [this](int32_t card) { return ActiveEmployee(card); },
        [this](int16_t key) {
            if (std::holds_alternative<state::Pin>(m_state))
                PinKey(key);
            else if (std::holds_alternative<state::Question>(m_state))
                QuestionKey(key);
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
        if (CardTypedOver(key))
            return;
        std::visit(Overloaded{
                       [&](state::Idle& idle) {
                           m_card_keypad->ProcessKeyPress(key);
                           if (const auto employee = m_card_keypad->Accepted())
                               CardAccepted(*employee, idle.manager_mode);
                       },
                       [&](state::Pin&) { PinKey(key); },
                       [&](state::Punch& punch) {
                           if (!punch.session)
                               return;
                           const bool value_pad = ValueKeypadOpen(*punch.session);
                           const std::string before = m_display->user_input();
                           punch.session->PressKey(key);
                           if (!IsDigit(key))
                               return;
                           // The punch keypad's page takes one key: a second digit is beyond it.
                           // A value keypad shows each digit it takes; the digits it refused,
                           // once full, may be a card.
                           if (!value_pad)
                               AddToRun(key, !m_run.empty());
                           else if (m_display->user_input() == before)
                               AddToRun(key, true);
                           else
                               m_run.clear();
                       },
                       [&](state::Question&) { QuestionKey(key); },
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
    m_run.clear();
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
    m_run.clear();
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
        const bool card_entry = rest && !ManagerModeOpen(rest->manager_mode);
        const bool at_prompt = card_entry && m_card_keypad->Entry().empty();
        if (at_prompt)
            m_queue.AtIdlePrompt(*m_database, now, m_log);
        // Every screen after a card was read (the PIN, manager mode, the punch, a question)
        // belongs to one person, who may have walked away: it ends sooner than a half-typed card.
        const int32_t limit = card_entry ? m_config.idle_seconds : m_config.punch_idle_seconds;
        if ((at_prompt && m_display->error().empty()) || idle < limit)
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
    // A prompt may stand for hours: settings changed while it stood apply to this card.
    ReloadSettings();
    if (!m_step)
        WarnOfSettings();
    if (ManagerModeOpen(manager_mode) && manager_mode->manager->card == employee.card) {
        m_card_keypad->Reset();
        m_display->ShowError("Managers do not book entries for themselves");
        return;
    }
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
    if (!pin || !TypePin(pin->typed, key))
        return;
    const auto manager = pin->manager;
    if (RightPin(manager, std::exchange(pin->typed, {})))
        ShowCardPrompt(ManagerMode{manager, {}});
}

bool Clock::RightPin(const orvane::Employee& manager, const std::string& typed) {
    if (m_database->VerifyManagerPin(manager.card, typed)) {
        m_pin_lock.Right(manager.card);
        return true;
    }
    // Someone else's card typed at an abandoned PIN prompt or at a manager's open entry is that
    // person's own punch, never a wrong PIN of the manager.
    if (const auto employee = KnownCard(typed)) {
        StartCardOver(*employee);
        return false;
    }
    if (const auto until = m_pin_lock.Wrong(manager.card, Now())) {
        m_message = ConfirmationText::LockedNow(manager.card, *until);
        ShowCardPrompt({});
        return false;
    }
    m_display->ShowError("Wrong PIN");
    return false;
}

bool Clock::TypePin(std::string& typed, int16_t key) {
    if (IsDigit(key)) {
        if (typed.size() < orvane::ClockDatabase::kLongestPin)
            typed += static_cast<char>(key);
    } else if (key == CardKeypad::kClearEntry) {
        typed.clear();
    } else if (key == kBackspace) {
        if (!typed.empty())
            typed.pop_back();
    } else if (key == kEnter && !typed.empty()) {
        m_display->SetUserInput("");
        m_display->SetCursorPosition(0);
        return true;
    }
    m_display->SetUserInput(std::string(typed.size(), '*'));
    m_display->SetCursorPosition(static_cast<int16_t>(typed.size()));
    return false;
}

void Clock::QuestionKey(int16_t key) {
    auto* question = std::get_if<state::Question>(&m_state);
    if (!question)
        return;
    if (!question->pin) {
        // The question takes Enter alone: digits typed here are no answer.
        if (IsDigit(key))
            AddToRun(key, true);
        if (key == kEnter) {
            const auto punch = std::move(question->punch);
            Store(punch);
        }
        return;
    }
    if (!TypePin(*question->pin, key))
        return;
    const auto manager = *question->punch.manager_mode->manager;
    if (RightPin(manager, std::exchange(*question->pin, {}))) {
        const auto punch = std::move(question->punch);
        Store(punch);
    }
}

void Clock::AskManagerPin(state::Punch punch) {
    const auto& session = *punch.session;
    const auto values = platform::query<framework::IPunchValues>(session.Step());
    const std::string prompt = ConfirmationText::ManagerConfirmQuestion(
        punch.manager_mode->manager->name,
        ConfirmationText::StoredPunch(session.Step()->Value().to_text(), session.Moment(),
                                      values.get()),
        punch.employee ? punch.employee->name : "");
    m_state = state::Question{std::move(punch), Now(), std::string()};
    m_display->Clear();
    m_display->SetPrompt(prompt);
    m_display->SetUserInput("");
    m_display->ShowCursor(framework::VBool::True);
    m_display->SetCursorPosition(0);
}

// A card typed in full over another card's screen: a run of digits ending in Enter that names
// a card of the "Employees" table and that the screen could not have taken as its own input
// (more than the one key of the punch keypad's page, digits a full value keypad refused, digits
// on a question that takes Enter alone). The key handlers build the run; the PIN entries decide
// for themselves, after the PIN was checked.
bool Clock::CardTypedOver(int16_t key) {
    const bool over_a_card = std::holds_alternative<state::Punch>(m_state) ||
                             (std::holds_alternative<state::Question>(m_state) &&
                              !std::get<state::Question>(m_state).pin);
    if (!over_a_card || !m_policy.cards_over_punches) {
        m_run.clear();
        m_run_overflowed = false;
        return false;
    }
    if (IsDigit(key))
        return false;
    const std::string run = std::exchange(m_run, {});
    const bool overflowed = std::exchange(m_run_overflowed, false);
    if (key != kEnter || !overflowed)
        return false;
    const auto employee = KnownCard(run);
    if (!employee)
        return false;
    StartCardOver(*employee);
    return true;
}

void Clock::AddToRun(int16_t digit, bool beyond_the_screen) {
    m_run += static_cast<char>(digit);
    m_run_overflowed = m_run_overflowed || beyond_the_screen;
}

std::optional<orvane::Employee> Clock::KnownCard(const std::string& digits) {
    int32_t card = 0;
    if (digits.empty() || digits.size() > CardKeypad::kMaxDigits ||
        std::from_chars(digits.data(), digits.data() + digits.size(), card).ec != std::errc{})
        return std::nullopt;
    // Digits the database cannot answer for (its server away, a card the clock's copy does not
    // know) are taken as typed, never as a card.
    try {
        return ActiveEmployee(card);
    } catch (const platform::RaisedError& error) {
        m_log("Error " + std::to_string(error.number()) + ": " + error.description());
        return std::nullopt;
    }
}

// An inactive employee's card is refused everywhere as a card no longer on file.
std::optional<orvane::Employee> Clock::ActiveEmployee(int32_t card) const {
    auto employee = m_database->FindEmployee(card);
    return employee && employee->active ? employee : std::nullopt;
}

// The person whose card was read before has walked away: their punch is given up, nothing of it
// is stored, and the new card's punch begins as at the card prompt.
void Clock::StartCardOver(const orvane::Employee& employee) {
    if (auto* punch = std::get_if<state::Punch>(&m_state); punch && punch->session)
        punch->session->Cancel();
    EndPunch();
    CardAccepted(employee, {});
}

void Clock::BeginScriptedPunch(std::optional<platform::Variant> card,
                               std::optional<ManagerMode> manager_mode, bool statistics) {
    m_policy = PunchPolicy::Scripted();
    state::Punch punch;
    punch.manager_mode = std::move(manager_mode);
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
    m_run.clear();
    m_run_overflowed = false;
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
    const auto note = [this](const std::string& finding) {
        m_last.notice = m_last.notice.empty() ? finding : m_last.notice + "; " + finding;
    };
    if (punch.manager_mode) {
        // Manager entries are exempt from the guards; they record who made them: the manager's
        // card, or the user who ran a scripted entry without one.
        const std::string clock_name = m_clock_name.empty() ? m_config.ClockName() : m_clock_name;
        const auto& mode = *punch.manager_mode;
        if (mode.manager) {
            m_last.outcome->records->entered_by =
                orvane::ManagerEntry{mode.manager->card, Now(), clock_name};
        } else if (!mode.os_user.empty()) {
            m_last.outcome->records->entered_by =
                orvane::ManagerEntry{0, Now(), clock_name + " (user " + mode.os_user + ")"};
        }
        if (mode.manager && m_policy.manager_confirms_with_pin)
            AskManagerPin(std::move(punch));
        else
            Store(punch);
        return;
    }
    // Only the rows that can hold the employee's last event or open shift are read, through the
    // moment indexes, however long the history.
    const auto moment = session.Moment();
    const punches::ShiftRules rules{static_cast<double>(m_config.max_shift_hours)};
    const double back = std::max(SpanDays(), rules.max_shift_hours / 24.0);
    const auto rows = m_database->RowsBetween(card, platform::Date{moment.days - back}, moment);
    const PunchHistory history(rows, moment, SpanDays());
    // The automatic punch chose by the last event, so a second read of the card within the
    // duplicate time repeats that event, whichever punch it chose now.
    const bool automatic = session.Skipped();
    const std::string repeats = automatic && history.Last() ? history.Last()->code : code;
    const auto earlier = history.Duplicate(repeats, moment, m_config.duplicate_seconds);
    if (earlier) {
        if (!m_policy.findings_stop && !automatic) {
            note(ConfirmationText::DuplicateNotice(earlier->code, earlier->moment));
        } else if (!m_policy.findings_stop) {
            // Nobody chose this punch: the automatic punch answered a card read twice, and the
            // second read is no punch, scripted or not.
            note(ConfirmationText::AlreadyClockedNotice(earlier->code, earlier->moment));
            EndPunch();
            return;
        } else {
            m_last.confirmation = {punch.employee ? punch.employee->name : "",
                                   ConfirmationText::EarlierPunch(earlier->code, earlier->moment)};
            m_state = state::Confirmation{punch.employee, punch.manager_mode, Now()};
            m_display->Clear();
            // A punch still kept on this clock is no punch of the server yet: the retry says so.
            const bool kept = std::ranges::any_of(
                m_database->Queued(), [&](const auto& queued) { return queued.card == card; });
            m_display->ShowError(
                (automatic ? ConfirmationText::AlreadyClocked(earlier->code, earlier->moment)
                           : ConfirmationText::AlreadyRecorded(earlier->moment)) +
                (kept ? std::string(". ") + kQueuedConfirmation : ""));
            return;
        }
    }
    // An IN while the shift is open (and no repeat of the IN that opened it) starts a new
    // shift and leaves the open one a missing out.
    if (const auto shift = punches::StateOf(rows, moment, rules);
        !earlier && shift.since && punches::OpensAgain(code, shift.activity) &&
        shift.activity == punches::Activity::Working) {
        if (!m_policy.findings_stop) {
            note(ConfirmationText::NewShiftNotice(*shift.since));
        } else {
            m_state = state::Question{std::move(punch), Now(), std::nullopt};
            m_display->Clear();
            m_display->ShowCursor(framework::VBool::False);
            m_display->SetPrompt(ConfirmationText::NewShiftQuestion(*shift.since));
            return;
        }
    }
    if (const auto misfit = history.Misfit(code); !misfit.empty()) {
        if (!m_policy.findings_stop) {
            note(misfit);
        } else {
            m_state = state::Question{std::move(punch), Now(), std::nullopt};
            m_display->Clear();
            m_display->ShowCursor(framework::VBool::False);
            m_display->SetPrompt(ConfirmationText::NotFittingQuestion(misfit, code));
            return;
        }
    }
    Store(punch);
}

void Clock::Store(const state::Punch& punch) {
    m_database->SetClockName(m_clock_name.empty() ? m_config.ClockName() : m_clock_name);
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
        if (ManagerModeOpen(punch.manager_mode)) {
            lines.push_back(ConfirmationText::EnteredBy(
                punch.manager_mode->manager->name, punch.employee ? punch.employee->name : ""));
        }
        if (m_last.queued)
            lines.push_back(kQueuedConfirmation);
    } else if (code == "Status") {
        lines.push_back("STATUS");
    } else {
        lines.push_back("No punch recorded");
    }
    if (punch.statistics && (punch.employee || session.Card())) {
        const int32_t card = punch.employee ? punch.employee->card : session.Card()->to_int32();
        // The figures of the pay rules, so that the clock and the report agree.
        hours::PayRules pay_rules = m_config.pay_rules;
        pay_rules.week_starts = m_config.week_starts;
        const auto figures = EmployeeStatistics::Compute(*m_database, card, session.Moment(),
                                                         pay_rules, m_config.max_shift_hours);
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
        } else if (std::holds_alternative<state::Question>(m_state)) {
            QuestionKey(CardKeypad::kClearEntry);
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
            if (m_settings_changed)
                m_settings_changed(m_config);
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
