#include "host/clock/Clock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iostream>
#include <utility>

#include "framework/Factories.h"
#include "framework/IPunchValues.h"
#include "framework/KeyCodes.h"
#include "host/clock/ComponentLibrary.h"
#include "host/clock/EmployeeStatistics.h"
#include "host/clock/PinLock.h"
#include "host/punches/PunchHistory.h"
#include "host/database/ConnectionText.h"
#include "host/database/DatabaseError.h"
#include "host/database/EngineDatabase.h"
#include "host/database/PunchQueue.h"
#include "platform/Convert.h"
#include "platform/Services.h"
#include "step/PunchCodes.h"
#include "step/StepSettings.h"

namespace timeclock {

namespace {

using framework::keys::kBackspace;
using framework::keys::kEnter;
constexpr double kSecondsPerDay = 86400.0;
constexpr std::string_view kPleaseWait = "Please wait\u2026";

double SecondsBetween(platform::Date from, platform::Date to) {
    return (to.days - from.days) * kSecondsPerDay;
}

// The minute a record holds of a moment: cut, as the step writes it, never rounded into the next
// minute (or, at 23:59:59.7, the next day) as a date's text would read it.
std::string TimeOfDay(platform::Date moment) {
    return platform::format_date(platform::whole_minute(moment), "hh:nn");
}

// The day in the regional order of its parts, two digits each ("12/04/2026"; "04/12/2026" with
// day first), as a person checks a stored punch.
std::string Day(platform::Date moment) {
    moment = platform::whole_minute(moment);
    switch (platform::services().Regional().order) {
        case platform::DateOrder::DayMonthYear:
            return platform::format_date(moment, "dd/mm/yyyy");
        case platform::DateOrder::YearMonthDay:
            return platform::format_date(moment, "yyyy/mm/dd");
        case platform::DateOrder::MonthDayYear:
            break;
    }
    return platform::format_date(moment, "mm/dd/yyyy");
}

// Codes whose amount is money rather than hours: the amount is typed on the dollar keypad.
bool IsDollars(const std::string& code) {
    const auto* row = stampkind::FindPunchCode(code);
    return row && row->second_pad == stampkind::ValuePad::Currency;
}

std::string Dollars(double amount) {
    return "$" + platform::format_number(amount, "#,##0.00");
}

// Whether a control a front end found is one of the form's controls on show.
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
                         control->Enabled()});
    }
}

// How many lookups the automatic punch's database object answered from the clock's copy.
uint64_t LookupAnswersWhileAway() {
    const auto engine =
        std::dynamic_pointer_cast<orvane::EngineDatabase>(framework::Global()->Database());
    return engine ? engine->answers_while_away() : 0;
}

}  // namespace

using stampkind::PunchWord;

std::unique_ptr<Clock> Clock::Open(const Files& files,
                                   std::shared_ptr<orvane::RecordingDisplay> display) {
    auto config = Configuration::Load(files.config_file);
    ComponentLibrary::BesideProgram().EnsureRegistered();
    auto database_file = files.database;
    const bool server =
        orvane::EngineOf((database_file.empty() ? config.database : database_file).native()) ==
        orvane::Engine::Postgres;
    if (database_file.empty()) {
        // The clock's own database gets its folder; a file named on the command line must lie
        // in a folder that exists.
        database_file = config.database.empty() ? DefaultDatabaseFile() : config.database;
        std::error_code ec;
        if (!server && database_file.has_parent_path())
            std::filesystem::create_directories(database_file.parent_path(), ec);
    }
    auto database = std::make_unique<orvane::ClockDatabase>(
        database_file, std::chrono::seconds(config.database_wait));
    // A punch that cannot reach the server is kept on this clock until it answers again.
    if (server)
        database->KeepLostPunchesIn(orvane::PunchQueue::BesideConfiguration(files.config_file));
    // The automatic punch finds the database open and keeps its prepared lookups between
    // punches.
    const auto lookup = framework::Global()->Database();
    // While the server is away, the lookup is answered from what this clock last read.
    if (const auto engine = std::dynamic_pointer_cast<orvane::EngineDatabase>(lookup))
        engine->AnswerWhileAwayFrom(
            server ? orvane::PunchQueue::BesideConfiguration(files.config_file) : "");
    lookup->SetConnectString(database_file.string());
    lookup->Open(database_file.string());
    return std::make_unique<Clock>(std::move(config), std::move(database), std::move(display),
                                   files.config_file);
}

Clock::Clock(Configuration config, std::unique_ptr<orvane::ClockDatabase> database,
             std::shared_ptr<orvane::RecordingDisplay> display, std::filesystem::path config_file)
    : m_config(std::move(config)),
      m_config_file(std::move(config_file)),
      m_database(std::move(database)),
      m_display(std::move(display)),
      m_log([](std::string_view text) { std::cerr << "timeclock: " << text << '\n'; }) {
    std::error_code ec;
    if (!m_config_file.empty())
        m_config_time = std::filesystem::last_write_time(m_config_file, ec);
    // The card keypad's buttons also type a manager's PIN.
    m_card_keypad = std::make_shared<CardKeypad>(
        m_display, [this](int32_t card) { return m_database->FindEmployee(card); },
        [this](int16_t key) {
            if (m_state == State::Pin)
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
        if (m_scripted)
            return;
        m_display->ShowInformation(std::string(kPleaseWait));
        platform::services().DoEvents();
    });
    m_last_input = platform::services().Now();
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
    m_last_input = platform::services().Now();
}

void Clock::Start() {
    ReloadSettings();
    if (!m_step)
        WarnOfSettings();
    m_state = State::Card;
    m_employee.reset();
    m_code.clear();
    m_pin.clear();
    m_display->clear_calls();
    m_card_keypad->Reset();
    if (m_manager_mode && m_manager)
        m_display->SetPrompt("Manager Mode: Enter Employee Card");
    if (!m_message.empty())
        m_display->ShowError(std::exchange(m_message, {}));
}

void Clock::PressKey(int16_t key) {
    Guarded([&] {
        switch (m_state) {
            case State::Card:
                m_card_keypad->ProcessKeyPress(key);
                if (const auto employee = m_card_keypad->Accepted())
                    CardAccepted(*employee);
                break;
            case State::Pin:
                PinKey(key);
                break;
            case State::Punch:
                if (m_last.session)
                    m_last.session->PressKey(key);
                break;
            case State::NotFitting:
                if (key == kEnter)
                    Store();
                break;
            case State::Confirm:
                // Any key ends the confirmation; a digit is the first of the next card.
                EndPunch();
                if (key >= '0' && key <= '9') {
                    m_card_keypad->ProcessKeyPress(key);
                }
                break;
        }
    });
}

bool Clock::Click(std::string_view path) {
    std::shared_ptr<platform::Control> control;
    if (auto form = ActiveForm())
        control = form->Resolve(path);
    if (!control) {
        if (auto buttons = OwnButtons())
            control = buttons->Resolve(path);
    }
    return Click(control);
}

bool Clock::Click(const std::shared_ptr<platform::Control>& control) {
    if (!control)
        return false;
    if (const auto buttons = OwnButtons(); buttons && IsOnShow(*buttons, *control)) {
        // The clock's own buttons run inputs that guard themselves.
        return control->Click();
    }
    if (const auto form = ActiveForm(); !form || !IsOnShow(*form, *control))
        return false;
    bool clicked = false;
    Guarded([&] {
        clicked = control->Click();
        if (m_state == State::Card) {
            if (const auto employee = m_card_keypad->Accepted())
                CardAccepted(*employee);
        }
    });
    return clicked;
}

void Clock::Escape() {
    Touch();
    try {
        if (m_last.session && m_state == State::Punch)
            m_last.session->Cancel();
        EndPunch();
    } catch (const platform::RaisedError& error) {
        Fail(error);
    }
}

void Clock::Tick(platform::Date now) {
    try {
        const double idle = SecondsBetween(m_last_input, now);
        if (m_state == State::Confirm) {
            if (idle >= m_config.confirm_seconds)
                EndPunch();
            return;
        }
        const bool idle_screen = m_state == State::Card && !m_manager &&
                                 m_card_keypad->Entry().empty() && m_display->error().empty();
        if (m_state == State::Card && !m_manager && m_card_keypad->Entry().empty())
            SendQueued(now);
        if (idle_screen || idle < m_config.idle_seconds)
            return;
        m_last_input = now;
        if (m_state == State::Punch && m_last.session)
            m_last.session->Cancel();
        EndPunch();
    } catch (const platform::RaisedError& error) {
        Fail(error);
    }
}

void Clock::CardAccepted(const orvane::Employee& employee) {
    if (employee.manager && !m_manager) {
        if (const auto until = m_pin_lock.LockedUntil(employee.card, platform::services().Now())) {
            m_card_keypad->Reset();
            m_display->ShowError("Card " + std::to_string(employee.card) + " is locked after " +
                                 std::to_string(PinLock::kTries) + " wrong PINs. Try again after " +
                                 TimeOfDay(*until) + ".");
            return;
        }
        if (!m_database->HasManagerPin(employee.card)) {
            m_card_keypad->Reset();
            m_display->ShowError("No PIN is set for manager card " + std::to_string(employee.card) +
                                 ". Ask the administrator.");
            return;
        }
        m_manager = employee;
        m_state = State::Pin;
        m_pin.clear();
        m_display->Clear();
        m_display->SetPrompt("Enter PIN for " + employee.name);
        m_display->SetUserInput("");
        m_display->ShowCursor(framework::VBool::True);
        m_display->SetCursorPosition(0);
        return;
    }
    m_employee = employee;
    StartPunch(platform::Variant(employee.card), m_config.HasStep(kStatisticsStep));
}

void Clock::PinKey(int16_t key) {
    if (key >= '0' && key <= '9') {
        if (m_pin.size() < orvane::ClockDatabase::kLongestPin)
            m_pin += static_cast<char>(key);
    } else if (key == CardKeypad::kClearEntry) {
        m_pin.clear();
    } else if (key == kBackspace) {
        if (!m_pin.empty())
            m_pin.pop_back();
    } else if (key == kEnter && !m_pin.empty()) {
        const int32_t card = m_manager->card;
        if (m_database->VerifyManagerPin(card, std::exchange(m_pin, {}))) {
            m_pin_lock.Right(card);
            m_manager_mode = true;
            Start();
            return;
        }
        m_display->SetUserInput("");
        m_display->SetCursorPosition(0);
        if (const auto until = m_pin_lock.Wrong(card, platform::services().Now())) {
            m_manager.reset();
            m_message = "Too many wrong PINs: card " + std::to_string(card) + " is locked until " +
                        TimeOfDay(*until) + ".";
            Start();
            return;
        }
        m_display->ShowError("Wrong PIN");
        return;
    }
    m_display->SetUserInput(std::string(m_pin.size(), '*'));
    m_display->SetCursorPosition(static_cast<int16_t>(m_pin.size()));
}

void Clock::BeginScriptedPunch(std::optional<platform::Variant> card, bool manager_mode,
                               bool statistics) {
    m_scripted = true;
    m_manager_mode = manager_mode;
    m_manager.reset();
    m_employee.reset();
    Guarded([&] { StartPunch(std::move(card), statistics); });
}

void Clock::StartPunch(std::optional<platform::Variant> card, bool statistics) {
    m_last = LastPunch{};
    m_answers_while_away = LookupAnswersWhileAway();
    m_code.clear();
    m_statistics = statistics;
    PunchContext context;
    context.moment = platform::services().Now();
    context.manager_mode = m_manager_mode;
    if (m_config.HasStep(kEmployeeIdStep) || m_scripted)
        context.card = std::move(card);
    context.statistics = statistics;
    context.button_color = m_config.button_color;
    // In manager mode the manager's keypad always shows: the automatic punch decides only an
    // employee's own punch.
    context.never_skip = m_manager_mode && !m_scripted;
    m_display->Clear();
    m_state = State::Punch;
    m_last.session = std::make_unique<PunchSession>(Step(), m_display, context);
    m_last.session->Begin();
}

// After each input: the keypad's Finished event (or a skipped keypad) completes the punch. The
// session notes the event and the engine acts once the input has returned, never inside the
// keypad's own handler: storing may raise, and that error belongs to the engine, not the keypad.
void Clock::AfterInput() {
    if (m_state == State::Punch && m_last.session) {
        if (m_last.session->Cancelled())
            EndPunch();
        else if (m_last.session->Finished())
            FinishPunch();
    }
}

void Clock::FinishPunch() {
    auto& session = *m_last.session;
    const int32_t card = m_employee       ? m_employee->card
                         : session.Card() ? session.Card()->to_int32()
                                          : 0;
    m_last.outcome = session.Complete(card);
    m_code = session.Step()->Value().to_text();
    if (!m_last.outcome->records || !m_last.outcome->HasWrites()) {
        // Nothing chosen, or a status punch: nothing to store.
        if (m_scripted)
            return;
        Confirm();
        return;
    }
    if (m_manager_mode) {
        // Manager entries are exempt from the guards; at a kiosk they record who made them (the
        // scripted door has no manager card to name).
        if (m_manager) {
            m_last.outcome->records->entered_by =
                orvane::ManagerEntry{m_manager->card, platform::services().Now(),
                                     m_clock_name.empty() ? m_config.ClockName() : m_clock_name};
        }
        Store();
        return;
    }
    // Only the rows of the reset span can hold the employee's last event: read them alone,
    // through the moment indexes, however long the history.
    const auto moment = session.Moment();
    const PunchHistory history(
        m_database->RowsBetween(card, platform::Date{moment.days - SpanDays()}, moment), moment,
        SpanDays());
    if (const auto earlier = history.Duplicate(m_code, moment, m_config.duplicate_seconds)) {
        if (m_scripted) {
            m_last.notice =
                "duplicate of the " + PunchWord(m_code) + " at " + TimeOfDay(earlier->moment);
        } else {
            m_message = "Already recorded at " + TimeOfDay(earlier->moment);
            m_last.confirmation = {m_employee ? m_employee->name : "",
                                   PunchWord(m_code) + " at " + TimeOfDay(earlier->moment) +
                                       " on " + Day(earlier->moment)};
            m_state = State::Confirm;
            m_display->Clear();
            m_display->ShowError(m_message);
            m_message.clear();
            return;
        }
    }
    if (const auto misfit = history.Misfit(m_code); !misfit.empty()) {
        if (m_scripted) {
            m_last.notice = m_last.notice.empty() ? misfit : m_last.notice + "; " + misfit;
        } else {
            m_state = State::NotFitting;
            m_display->Clear();
            m_display->ShowCursor(framework::VBool::False);
            m_display->SetPrompt("You are " + misfit + ". Enter: record " + PunchWord(m_code) +
                                 " anyway. Esc: cancel.");
            return;
        }
    }
    Store();
}

void Clock::Store() {
    m_last.queued = m_database->StorePunch(*m_last.outcome->records) == orvane::StoreResult::Queued;
    m_last.stored = true;
    if (m_last.queued)
        m_next_send = platform::Date{platform::services().Now().days + kSendEverySeconds / 86400.0};
    Confirm();
}

void Clock::SendQueued(platform::Date now) {
    if (now.days < m_next_send.days)
        return;
    m_next_send = platform::Date{now.days + kSendEverySeconds / 86400.0};
    try {
        const auto report = m_database->SendQueued();
        if (report.sent > 0) {
            m_log(std::to_string(report.sent) + " punch(es) kept on this clock sent; " +
                  std::to_string(report.waiting) + " waiting");
        }
        if (report.waiting == 0 && now.days >= m_next_refresh.days &&
            m_database->RefreshLocalCopy()) {
            m_next_refresh = platform::Date{now.days + kRefreshEverySeconds / 86400.0};
        }
    } catch (const platform::RaisedError& error) {
        // A punch the server refuses stays in the queue for an administrator
        // (`timeclock queue`); the person at the clock is not stopped for it.
        m_log("Error " + std::to_string(error.number()) + ": " + error.description());
    }
}

void Clock::Confirm() {
    auto& lines = m_last.confirmation;
    lines.clear();
    const auto& session = *m_last.session;
    if (m_employee)
        lines.push_back(m_employee->name);
    if (m_last.stored) {
        auto values = platform::query<framework::IPunchValues>(session.Step());
        std::string punch = PunchWord(m_code);
        // The step keeps what was typed for earlier punches: only what this punch's code takes
        // on its value keypads is this punch's, and only a manager types values.
        const auto* row = stampkind::FindPunchCode(m_code);
        const bool typed = m_manager_mode && values && row;
        if (typed && !row->amount_field.empty()) {
            const double amount = values->Amount();
            punch += IsDollars(m_code) ? " " + Dollars(amount)
                                       : " " + EmployeeStatistics::FormatHours(amount) + " h";
            punch += " on " + Day(values->DateTimeIn());
        } else if (typed && row->moments == stampkind::RecordMoments::Complete) {
            const platform::Date in = values->DateTimeIn();
            punch +=
                " " + Day(in) + " " + TimeOfDay(in) + " to " + TimeOfDay(values->DateTimeOut());
        } else {
            // A manager types the moment on the code's first value keypad.
            auto moment = session.Moment();
            if (typed && row->first_pad != stampkind::ValuePad::None) {
                moment = row->first_pad == stampkind::ValuePad::TimeOut ? values->DateTimeOut()
                                                                        : values->DateTimeIn();
            }
            punch += " " + Day(moment) + " " + TimeOfDay(moment);
        }
        lines.push_back(punch);
        if (m_last.queued)
            lines.push_back(kQueuedConfirmation);
    } else if (m_code == "Status") {
        lines.push_back("STATUS");
    } else {
        lines.push_back("No punch recorded");
    }
    const int32_t card = m_employee ? m_employee->card : 0;
    if (m_statistics && (m_employee || session.Card())) {
        const auto figures =
            EmployeeStatistics::Compute(*m_database, m_employee ? card : session.Card()->to_int32(),
                                        session.Moment(), m_config.week_starts, SpanDays() * 24.0);
        if (m_scripted) {
            const auto employee = m_database->FindEmployee(session.Card()->to_int32());
            figures.Show(*m_display, employee ? employee->name : "");
        } else {
            for (auto& line : figures.Lines())
                lines.push_back(std::move(line));
        }
        if (m_database->Away())
            lines.push_back(kIncompleteFigures);
    }
    // The automatic punch chose from what this clock knows: the person should know it may be
    // wrong.
    if (LookupAnswersWhileAway() != m_answers_while_away &&
        std::ranges::find(lines, kIncompleteFigures) == lines.end()) {
        lines.push_back(kIncompleteFigures);
    }
    if (m_scripted)
        return;
    m_state = State::Confirm;
    m_display->Clear();
    m_display->ShowCursor(framework::VBool::False);
    m_display->SetPrompt(m_last.queued   ? kQueuedConfirmation
                         : m_last.stored ? "Punch recorded"
                                         : "");
}

// Back to the card prompt; manager mode lasts for one punch.
void Clock::EndPunch() {
    if (m_scripted) {
        m_state = State::Card;
        return;
    }
    m_manager.reset();
    m_manager_mode = false;
    Start();
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
    if (m_scripted) {
        m_state = State::Card;
        return;
    }
    // The screen gets a short message a person can act on; the log has the full text.
    m_manager.reset();
    m_manager_mode = false;
    m_state = State::Card;
    m_employee.reset();
    const bool unstored = m_last.outcome && m_last.outcome->HasWrites() && !m_last.stored;
    if (unstored && error.number() == orvane::dberr::kLocked)
        m_message = "The clock database is busy. The punch was not stored; please try again.";
    else if (unstored)
        m_message = "The punch was not stored. Please try again or tell your manager.";
    else if (error.number() >= platform::err::kHostBase)
        m_message = "The clock database cannot be read. Please tell your manager.";
    else
        m_message = error.description();
    Start();
}

void Clock::OwnButton(ClockButtons::Action action) {
    if (action != ClockButtons::Action::Clear)
        return;
    Guarded([&] {
        if (m_state == State::Card) {
            m_card_keypad->Reset();
        } else if (m_state == State::Pin) {
            PinKey(CardKeypad::kClearEntry);
        } else if (m_state == State::Punch && m_last.session) {
            for (size_t i = m_display->user_input().size(); i > 0; --i)
                m_last.session->PressKey(kBackspace);
        }
    });
}

void Clock::ReloadSettings() {
    if (m_config_file.empty() || m_scripted)
        return;
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(m_config_file, ec);
    if (ec || time == m_config_time)
        return;
    m_config_time = time;
    try {
        auto config = Configuration::Load(m_config_file);
        config.database = m_config.database;
        m_config = std::move(config);
        m_step.reset();
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

std::shared_ptr<platform::UserControl> Clock::ActiveForm() const {
    switch (m_state) {
        case State::Card:
        case State::Pin:
            return m_card_keypad;
        case State::Punch:
            return m_last.session ? m_last.session->KeypadForm() : nullptr;
        default:
            return nullptr;
    }
}

std::shared_ptr<platform::UserControl> Clock::OwnButtons() const {
    if (m_state == State::Confirm)
        return nullptr;
    return m_buttons;
}

ScreenModel Clock::Model() const {
    ScreenModel model;
    model.state = m_state;
    if (m_manager_mode && m_manager) {
        model.banner = "MANAGER MODE \u2014 " + m_manager->name;
        if (m_employee)
            model.banner += " for " + m_employee->name;
    }
    if (m_employee && m_state != State::Card)
        model.employee = m_employee->name + "  card " + std::to_string(m_employee->card);
    model.prompt = m_display->prompt();
    model.entry = m_display->user_input();
    model.cursor_visible = m_display->cursor_visible();
    model.cursor_position = m_display->cursor_position();
    model.alignment = m_display->alignment();
    model.error = m_display->error();
    model.information = m_display->information();
    if (m_state == State::Confirm)
        model.confirmation = m_last.confirmation;
    if (auto form = ActiveForm())
        AddViews(*form, "", 0, 0, model.controls);
    if (auto buttons = OwnButtons()) {
        // A gap of one button margin to the right of the keypad's controls on show.
        int right = 0;
        for (const auto& view : model.controls)
            right = std::max(right, view.left + view.width + 120);
        AddViews(*buttons, "", right, 0, model.controls);
    }
    return model;
}

}  // namespace timeclock
