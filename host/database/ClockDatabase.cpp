#include "host/database/ClockDatabase.h"

#include <algorithm>

#include "host/database/ClockStore.h"
#include "host/database/ConnectionText.h"
#include "host/database/DatabaseError.h"
#include "host/database/LocalCopy.h"
#include "host/database/PostgresEngine.h"
#include "host/database/PunchQueue.h"
#include "host/database/SqliteEngine.h"
#include "host/framework/Secret.h"
#include "platform/Convert.h"
#include "platform/Error.h"
#include "platform/Services.h"

namespace orvane {

namespace {

bool is_pin(std::string_view pin) {
    if (pin.size() < ClockDatabase::kShortestPin || pin.size() > ClockDatabase::kLongestPin)
        return false;
    for (const char c : pin) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

std::unique_ptr<ClockStore> open_store(const std::filesystem::path& file,
                                       std::chrono::milliseconds busy_wait) {
    if (EngineOf(file.native()) == Engine::Postgres) {
        // A clock starts while its server is away: making the tables waits no longer than a
        // punch would.
        auto engine = std::make_unique<PostgresEngine>(file.native());
        engine->SetDeadline(std::chrono::steady_clock::now() + ClockDatabase::kDefaultDeadline);
        auto store = std::make_unique<ClockStore>(std::move(engine));
        store->engine().SetDeadline(std::nullopt);
        return store;
    }
    return std::make_unique<ClockStore>(std::make_unique<SqliteEngine>(file, busy_wait));
}

// 128 random bits in hex: unique among every clock's punches without asking anyone.
std::string new_identity() {
    return RandomHex(16);
}

// The hash of a PIN to keep; raises "Invalid procedure call" (5) when it is not 4 to 12 digits.
std::string pin_hash_for(std::string_view pin) {
    if (!is_pin(pin)) {
        platform::raise(platform::err::kInvalidProcedureCall,
                        "A PIN is " + std::to_string(ClockDatabase::kShortestPin) + " to " +
                            std::to_string(ClockDatabase::kLongestPin) + " digits.");
    }
    return HashSecret(pin);
}

// A kept punch in words for the administrator: its card, its type and its moment.
std::string Described(const PunchWrite& punch) {
    std::string text = "card " + std::to_string(punch.card);
    if (!punch.own)
        return text;
    const auto values = punch.own->values();
    const auto field = [&](const char* name) {
        const auto found = values.find(name);
        return found == values.end() || found->second.is_null() ? std::optional<platform::Date>()
                                                                : found->second.to_date();
    };
    if (const auto type = values.find("Punch Type"); type != values.end())
        text += ", " + type->second.to_text();
    const bool in = field("Date In").has_value();
    if (const auto day = field(in ? "Date In" : "Date Out")) {
        const auto time = field(in ? "Time In" : "Time Out");
        text += " at " + platform::format_date(platform::Date{day->days + (time ? time->days : 0)},
                                               "yyyy-mm-dd hh:nn");
    }
    return text;
}

}  // namespace

std::optional<Closing> ClosingOf(const std::map<std::string, platform::Variant>& values) {
    const bool out_only = values.contains("Date Out") && !values.contains("Date In");
    if (!out_only || !values.contains("Punch Type"))
        return std::nullopt;
    const std::string type = values.at("Punch Type").to_text();
    for (const auto& pairing : kPairings) {
        if (type != pairing.closing)
            continue;
        const double moment =
            values.at("Date Out").to_date().days +
            (values.contains("Time Out") ? values.at("Time Out").to_date().days : 0.0);
        return Closing{pairing.opening, moment};
    }
    return std::nullopt;
}

ClockDatabase::ClockDatabase(const std::filesystem::path& file, std::chrono::milliseconds busy_wait)
    : m_file(file), m_store(open_store(file, busy_wait)) {}

ClockDatabase::~ClockDatabase() = default;

template <class Read>
bool ClockDatabase::Reached(Read&& read) const {
    const DeadlineScope deadline(m_store->engine(), m_deadline);
    for (int attempt = 1;; ++attempt) {
        try {
            read();
            m_away = false;
            return true;
        } catch (const platform::RaisedError& error) {
            if (error.number() != dberr::kConnectionFailed)
                throw;
            // The first read after the server dropped the connection finds it broken; a server
            // that let the deadline pass is not asked again (the engine fails at once).
            if (attempt == 1)
                continue;
            if (!m_queue)
                throw;
            m_away = true;
            return false;
        }
    }
}

template <class Update>
void ClockDatabase::Remember(Update&& update) const {
    if (!m_copy)
        return;
    try {
        update();
    } catch (const platform::RaisedError&) {
        // The server has what counts; the copy is brought up to date at its next answer.
    }
}

void ClockDatabase::SetWhileBusy(std::function<void()> waiting) {
    m_store->engine().SetWhileBusy(std::move(waiting));
}

void ClockDatabase::TakeWritesInTurn(std::shared_ptr<std::mutex> turn) {
    m_write_turn = std::move(turn);
}

void ClockDatabase::SetShiftRules(const punches::ShiftRules& rules) {
    m_store->SetShiftRules(rules);
}

void ClockDatabase::LeaveCheckpointsToOthers() {
    m_store->engine().LeaveCheckpointsToOthers();
}

std::unique_lock<std::mutex> ClockDatabase::WriteTurn() const {
    return m_write_turn ? std::unique_lock(*m_write_turn) : std::unique_lock<std::mutex>();
}

StoreResult ClockDatabase::StorePunch(const PunchWrite& punch) {
    const std::string identity = new_identity();
    const DeadlineScope deadline(m_store->engine(), m_deadline);
    const auto keep = [&] {
        m_queue->Add(identity, punch);
        Remember([&] { m_copy->AddPunch(identity, punch, false); });
        return StoreResult::Queued;
    };
    // Punches kept earlier go first, so that an out pairs with the in that came before it.
    if (m_queue && !m_queue->Empty() && SendQueued().waiting > 0)
        return keep();
    try {
        const auto turn = WriteTurn();
        m_store->StorePunch(punch, identity);
    } catch (const platform::RaisedError& error) {
        if (m_queue && error.number() == dberr::kConnectionFailed)
            return keep();
        // The transaction is rolled back: the person must know the punch is not on record.
        platform::raise(error.number(), "The punch was not stored. " + error.description());
    }
    // Until the card's rows are read again, the copy knows the punch from what the clock sent.
    Remember([&] { m_copy->AddPunch(identity, punch, true); });
    return StoreResult::Stored;
}

void ClockDatabase::KeepLostPunchesIn(const std::filesystem::path& queue_file) {
    if (EngineOf(m_file.native()) != Engine::Postgres)
        return;
    m_queue = std::make_unique<PunchQueue>(queue_file);
    m_copy = std::make_unique<LocalCopy>(queue_file);
    // The queue is what counts: a clock that stopped between keeping a punch and copying it, or
    // between sending it and saying so in the copy, finds the copy set right here.
    std::vector<std::string> waiting;
    for (const auto& entry : m_queue->Waiting()) {
        waiting.push_back(entry.identity);
        m_copy->AddPunch(entry.identity, entry.punch, false);
    }
    for (const auto& identity : m_copy->Unsent()) {
        if (std::ranges::find(waiting, identity) == waiting.end())
            m_copy->MarkSent(identity);
    }
}

bool ClockDatabase::RefreshLocalCopy() {
    if (!m_copy)
        return true;
    std::vector<KnownEmployee> employees;
    const bool reached = Reached([&] {
        for (auto& employee : m_store->Employees()) {
            // The copy answers cards while the server is away: an inactive card stays refused.
            if (!employee.active)
                continue;
            std::string hash = employee.manager ? m_store->PinHash(employee.card) : "";
            employees.push_back({std::move(employee), std::move(hash)});
        }
    });
    if (reached)
        m_copy->KeepEmployees(employees);
    return reached;
}

ClockDatabase::QueueReport ClockDatabase::SendQueued(bool again) {
    QueueReport report;
    if (!m_queue)
        return report;
    if (again)
        m_queue->Requeue();
    const auto waiting = m_queue->Waiting();
    for (const auto& entry : waiting) {
        try {
            const DeadlineScope deadline(m_store->engine(), m_deadline);
            const auto turn = WriteTurn();
            m_store->StorePunch(entry.punch, entry.identity);
        } catch (const platform::RaisedError& error) {
            const std::string punch = "A punch kept on this clock (" + Described(entry.punch) + ")";
            if (error.number() == dberr::kApprovedWeek || error.number() == dberr::kInactiveCard) {
                auto refused = punch + " is kept aside: " + error.description() +
                               " Send it again with \"timeclock queue --send\" once it may be "
                               "stored, or add it as a correction.";
                m_queue->SetAside(entry.position, refused);
                // Its rows in the copy give way to the server's at the card's next read.
                Remember([&] { m_copy->MarkSent(entry.identity); });
                report.set_aside.push_back(std::move(refused));
                continue;
            }
            if (error.number() != dberr::kConnectionFailed)
                platform::raise(error.number(), punch + " was not sent. " + error.description());
            report.waiting = waiting.size() - report.sent - report.set_aside.size();
            return report;
        }
        // Stored: a crash before this removal sends it again, and the server, knowing its
        // identity, stores it once.
        m_queue->Remove(entry.position);
        Remember([&] { m_copy->MarkSent(entry.identity); });
        ++report.sent;
    }
    return report;
}

std::vector<PunchWrite> ClockDatabase::Queued() const {
    std::vector<PunchWrite> punches;
    if (m_queue) {
        for (auto& entry : m_queue->Waiting())
            punches.push_back(std::move(entry.punch));
    }
    return punches;
}

void ClockDatabase::AddEmployee(const Employee& employee, std::optional<std::string_view> pin) {
    if (pin && !employee.manager) {
        platform::raise(platform::err::kInvalidProcedureCall,
                        "Card " + std::to_string(employee.card) + " is not a manager's card.");
    }
    // The slow hash is made before the database is locked; the employee and the PIN are stored
    // together, so that a manager is never on file without the PIN asked for.
    const std::string hash = pin ? pin_hash_for(*pin) : std::string();
    const auto turn = WriteTurn();
    m_store->AddEmployee(employee, hash);
    Remember([&] { m_copy->KeepEmployee(employee, hash); });
}

void ClockDatabase::SetManagerPin(int32_t card, std::string_view pin) {
    const auto employee = FindEmployee(card);
    if (!employee || !employee->manager) {
        platform::raise(platform::err::kInvalidProcedureCall,
                        "Card " + std::to_string(card) + " is not a manager's card.");
    }
    const std::string hash = pin_hash_for(pin);
    {
        const auto turn = WriteTurn();
        m_store->SetPinHash(card, hash);
    }
    Remember([&] { m_copy->KeepEmployee(*employee, hash); });
}

std::string ClockDatabase::PinHashOf(int32_t card) const {
    std::string hash;
    if (!Reached([&] { hash = m_store->PinHash(card); }))
        return m_copy->PinHash(card);
    if (m_copy) {
        Remember([&] {
            if (const auto employee = m_copy->FindEmployee(card))
                m_copy->KeepEmployee(*employee, hash);
        });
    }
    return hash;
}

bool ClockDatabase::HasManagerPin(int32_t card) const {
    return !PinHashOf(card).empty();
}

bool ClockDatabase::VerifyManagerPin(int32_t card, std::string_view pin) const {
    return VerifySecret(PinHashOf(card), pin);
}

EmployeeChange ClockDatabase::ChangeOf(int32_t card, std::string what, std::string before,
                                       std::string after, std::string_view by) const {
    return {card,
            platform::services().Now(),
            std::string(by),
            std::move(what),
            std::move(before),
            std::move(after)};
}

bool ClockDatabase::RemoveEmployee(int32_t card, std::string_view by) {
    const auto turn = WriteTurn();
    const bool removed = m_store->DeactivateEmployee(card, ChangeOf(card, "active", "1", "0", by));
    // An inactive employee cannot punch while the server is away either.
    Remember([&] { m_copy->ForgetEmployee(card); });
    return removed;
}

bool ClockDatabase::RenameEmployee(int32_t card, const std::string& name, std::string_view by) {
    const auto turn = WriteTurn();
    const bool renamed = m_store->RenameEmployee(card, name, ChangeOf(card, "name", {}, name, by));
    Remember([&] { m_copy->ForgetEmployee(card); });
    return renamed;
}

bool ClockDatabase::ChangeCard(int32_t card, int32_t new_card, std::string_view by) {
    const auto turn = WriteTurn();
    const bool changed = m_store->ChangeCard(
        card, new_card, ChangeOf(card, "card", std::to_string(card), std::to_string(new_card), by));
    Remember([&] { m_copy->ForgetEmployee(card); });
    return changed;
}

std::vector<EmployeeChange> ClockDatabase::EmployeeChanges(std::optional<int32_t> card) const {
    return m_store->EmployeeChanges(card);
}

std::optional<platform::Date> ClockDatabase::PinLockedUntil(int32_t card,
                                                            platform::Date now) const {
    return m_store->PinLockedUntil(card, now);
}

std::optional<platform::Date> ClockDatabase::CountWrongPin(int32_t card, platform::Date now,
                                                           int tries, double lock_days) {
    const auto turn = WriteTurn();
    return m_store->CountWrongPin(card, now, tries, lock_days);
}

void ClockDatabase::ClearWrongPins(int32_t card) {
    const auto turn = WriteTurn();
    m_store->ClearWrongPins(card);
}

bool ClockDatabase::CountSecretTry(const std::string& door, const std::string& account,
                                   const std::string& address, platform::Date now,
                                   const AdmitTry& admit) {
    const auto turn = WriteTurn();
    // A server that stopped answering costs a try no more than a punch would wait.
    const DeadlineScope deadline(m_store->engine(), m_deadline);
    return m_store->CountSecretTry(door, account, address, now, admit);
}

void ClockDatabase::ClearSecretTries(const std::string& door, const std::string& account,
                                     const std::string& address) {
    const auto turn = WriteTurn();
    const DeadlineScope deadline(m_store->engine(), m_deadline);
    m_store->ClearSecretTries(door, account, address);
}

void ClockDatabase::ForgetSecretTries(platform::Date before) {
    const auto turn = WriteTurn();
    const DeadlineScope deadline(m_store->engine(), m_deadline);
    m_store->ForgetSecretTries(before);
}

void ClockDatabase::SetClockName(const std::string& name) {
    m_store->SetClockName(name);
}

std::map<int64_t, std::string> ClockDatabase::ClocksOf(
    const std::vector<int64_t>& record_ids) const {
    return m_store->ClocksOf(record_ids);
}

std::vector<Employee> ClockDatabase::Employees() const {
    return m_store->Employees();
}

std::optional<Employee> ClockDatabase::FindEmployee(int32_t card) const {
    std::optional<Employee> found;
    if (Reached([&] { found = m_store->FindEmployee(card); })) {
        Remember([&] {
            if (found && found->active)
                m_copy->KeepEmployee(*found);
            else
                m_copy->ForgetEmployee(card);
        });
        return found;
    }
    auto known = m_copy->FindEmployee(card);
    if (!known) {
        platform::raise(dberr::kConnectionFailed,
                        "Cannot reach the clock database's server; card " + std::to_string(card) +
                            " is not known on this clock yet.");
    }
    return known;
}

std::vector<ClockDatabase::Row> ClockDatabase::Rows(std::optional<int32_t> card) const {
    if (!card)
        return m_store->Rows(card);
    std::vector<Row> rows;
    if (Reached([&] { rows = m_store->Rows(card); })) {
        Remember([&] { m_copy->KeepRows(*card, rows); });
        return rows;
    }
    return m_copy->Rows(*card);
}

std::vector<ClockDatabase::Row> ClockDatabase::RowsBetween(std::optional<int32_t> card,
                                                           platform::Date from,
                                                           platform::Date to) const {
    if (!card)
        return m_store->RowsBetween(card, from, to);
    std::vector<Row> rows;
    if (Reached([&] { rows = m_store->RowsBetween(card, from, to); })) {
        Remember([&] { m_copy->KeepRows(*card, rows, LocalCopy::Window{from.days, to.days}); });
        return rows;
    }
    const auto moment = [](const std::optional<platform::Date>& date,
                           const std::optional<platform::Date>& time) {
        return date ? date->days + (time ? time->days : 0.0) : -1e300;
    };
    for (auto& row : m_copy->Rows(*card)) {
        const double in = moment(row.date_in, row.time_in);
        const double out = moment(row.date_out, row.time_out);
        if ((in >= from.days && in <= to.days) || (out >= from.days && out <= to.days))
            rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ClockDatabase::EnteredRecord> ClockDatabase::ManagerEntries(
    std::optional<platform::Date> from, std::optional<platform::Date> to) const {
    return m_store->ManagerEntries(from, to);
}

std::optional<ClockDatabase::Row> ClockDatabase::RowWithId(int64_t id) const {
    return m_store->RowWithId(id);
}

void ClockDatabase::ObserveStatements(std::function<void(const std::string&)> observer) {
    m_store->engine().ObserveStatements(std::move(observer));
}

bool ClockDatabase::IsFile() const {
    return EngineOf(m_file.native()) == Engine::Sqlite;
}

Correction ClockDatabase::AddPunch(int32_t card, std::string_view type, platform::Date at,
                                   double max_shift_hours, const Corrector& by) {
    const auto turn = WriteTurn();
    return m_store->AddPunch(card, type, at, max_shift_hours, by);
}

Correction ClockDatabase::EditPunch(int64_t id, std::optional<platform::Date> at,
                                    std::optional<platform::Date> out_at,
                                    std::optional<std::string> type, const Corrector& by) {
    const auto turn = WriteTurn();
    return m_store->EditPunch(id, at, out_at, std::move(type), by);
}

Correction ClockDatabase::VoidPunch(int64_t id, const Corrector& by) {
    const auto turn = WriteTurn();
    return m_store->VoidPunch(id, by);
}

std::vector<Correction> ClockDatabase::AddLeave(const LeaveBooking& leave, const Corrector& by) {
    const auto turn = WriteTurn();
    return m_store->AddLeave(leave, by);
}

std::vector<Correction> ClockDatabase::Corrections(std::optional<int32_t> card) const {
    return m_store->Corrections(card);
}

WeekApproval ClockDatabase::ApproveWeek(platform::Date week_start, std::optional<int32_t> card,
                                        const std::string& who, platform::Date at) {
    const auto turn = WriteTurn();
    return m_store->ChangeApproval("approve", week_start, card, who, at);
}

WeekApproval ClockDatabase::ReopenWeek(platform::Date week_start, std::optional<int32_t> card,
                                       const std::string& who, platform::Date at) {
    const auto turn = WriteTurn();
    return m_store->ChangeApproval("reopen", week_start, card, who, at);
}

std::vector<WeekApproval> ClockDatabase::WeekApprovals() const {
    return m_store->WeekApprovals();
}

}  // namespace orvane
