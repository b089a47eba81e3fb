#include "host/database/ClockDatabase.h"

#include <random>

#include "host/database/ClockStore.h"
#include "host/database/ConnectionText.h"
#include "host/database/DatabaseError.h"
#include "host/database/PostgresClockStore.h"
#include "host/database/PunchQueue.h"
#include "host/database/SqliteClockStore.h"
#include "host/framework/Secret.h"
#include "platform/Error.h"

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
    if (EngineOf(file.native()) == Engine::Postgres)
        return std::make_unique<PostgresClockStore>(file.native());
    return std::make_unique<SqliteClockStore>(file, busy_wait);
}

// 128 random bits in hex: unique among every clock's punches without asking anyone.
std::string new_identity() {
    std::random_device random;
    std::string identity;
    constexpr const char* kHex = "0123456789abcdef";
    for (int i = 0; i < 4; ++i) {
        const uint32_t bits = random();
        for (int shift = 28; shift >= 0; shift -= 4)
            identity += kHex[(bits >> shift) & 0xf];
    }
    return identity;
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

}  // namespace

bool IsDateField(std::string_view field) {
    return field == "Date In" || field == "Time In" || field == "Date Out" || field == "Time Out";
}

bool IsTextField(std::string_view field) {
    return field == "Punch Type" || field == "Notes";
}

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

void ClockDatabase::SetWhileBusy(std::function<void()> waiting) {
    m_store->SetWhileBusy(std::move(waiting));
}

void ClockDatabase::TakeWritesInTurn(std::shared_ptr<std::mutex> turn) {
    m_write_turn = std::move(turn);
}

std::unique_lock<std::mutex> ClockDatabase::WriteTurn() const {
    return m_write_turn ? std::unique_lock(*m_write_turn) : std::unique_lock<std::mutex>();
}

StoreResult ClockDatabase::StorePunch(const PunchWrite& punch) {
    const std::string identity = new_identity();
    // Punches kept earlier go first, so that an out pairs with the in that came before it.
    if (m_queue && !m_queue->Empty() && SendQueued().waiting > 0) {
        m_queue->Add(identity, punch);
        return StoreResult::Queued;
    }
    try {
        const auto turn = WriteTurn();
        m_store->StorePunch(punch, identity);
        return StoreResult::Stored;
    } catch (const platform::RaisedError& error) {
        if (m_queue && error.number() == dberr::kConnectionFailed) {
            m_queue->Add(identity, punch);
            return StoreResult::Queued;
        }
        // The transaction is rolled back: the person must know the punch is not on record.
        platform::raise(error.number(), "The punch was not stored. " + error.description());
    }
}

void ClockDatabase::KeepLostPunchesIn(const std::filesystem::path& queue_file) {
    if (EngineOf(m_file.native()) == Engine::Postgres)
        m_queue = std::make_unique<PunchQueue>(queue_file);
}

ClockDatabase::QueueReport ClockDatabase::SendQueued() {
    QueueReport report;
    if (!m_queue)
        return report;
    const auto waiting = m_queue->Waiting();
    for (const auto& entry : waiting) {
        try {
            const auto turn = WriteTurn();
            m_store->StorePunch(entry.punch, entry.identity);
        } catch (const platform::RaisedError& error) {
            if (error.number() != dberr::kConnectionFailed) {
                platform::raise(error.number(), "A punch kept on this clock (card " +
                                                    std::to_string(entry.punch.card) +
                                                    ") was not sent. " + error.description());
            }
            report.waiting = waiting.size() - report.sent;
            return report;
        }
        // Stored: a crash before this removal sends it again, and the server, knowing its
        // identity, stores it once.
        m_queue->Remove(entry.position);
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
    const auto hash = pin ? pin_hash_for(*pin) : std::string();
    const auto turn = WriteTurn();
    m_store->AddEmployee(employee, hash);
}

void ClockDatabase::SetManagerPin(int32_t card, std::string_view pin) {
    const auto employee = FindEmployee(card);
    if (!employee || !employee->manager) {
        platform::raise(platform::err::kInvalidProcedureCall,
                        "Card " + std::to_string(card) + " is not a manager's card.");
    }
    const auto hash = pin_hash_for(pin);
    const auto turn = WriteTurn();
    m_store->SetPinHash(card, hash);
}

bool ClockDatabase::HasManagerPin(int32_t card) const {
    return !m_store->PinHash(card).empty();
}

bool ClockDatabase::VerifyManagerPin(int32_t card, std::string_view pin) const {
    return VerifySecret(m_store->PinHash(card), pin);
}

bool ClockDatabase::RemoveEmployee(int32_t card) {
    const auto turn = WriteTurn();
    return m_store->RemoveEmployee(card);
}

std::vector<Employee> ClockDatabase::Employees() const {
    return m_store->Employees();
}

template <class Read>
bool ClockDatabase::Reached(Read&& read) const {
    try {
        read();
        m_away = false;
        return true;
    } catch (const platform::RaisedError& error) {
        if (!m_queue || error.number() != dberr::kConnectionFailed)
            throw;
        m_away = true;
        return false;
    }
}

std::optional<Employee> ClockDatabase::FindEmployee(int32_t card) const {
    std::optional<Employee> found;
    if (Reached([&] { found = m_store->FindEmployee(card); })) {
        if (m_queue && found)
            m_known_employees[card] = *found;
        else if (m_queue)
            m_known_employees.erase(card);
        return found;
    }
    const auto known = m_known_employees.find(card);
    if (known == m_known_employees.end()) {
        platform::raise(dberr::kConnectionFailed,
                        "Cannot reach the clock database's server; card " + std::to_string(card) +
                            " is not known on this clock yet.");
    }
    return known->second;
}

namespace {

// A record kept in the queue as the row it will become when it opens one; an out that will
// close an open record is a row of its own until it is sent.
ClockDatabase::Row row_of(int32_t card, const PunchRecord& record) {
    ClockDatabase::Row row;
    row.card = card;
    const std::map<std::string, double ClockDatabase::Row::*> amounts{
        {"Holiday", &ClockDatabase::Row::holiday},   {"Sick", &ClockDatabase::Row::sick},
        {"Vacation", &ClockDatabase::Row::vacation}, {"Bonus", &ClockDatabase::Row::bonus},
        {"Advances", &ClockDatabase::Row::advances}, {"Personal", &ClockDatabase::Row::personal},
        {"Other", &ClockDatabase::Row::other}};
    for (const auto& [field, value] : record.values()) {
        if (value.is_null() || value.is_empty())
            continue;
        if (field == "Date In")
            row.date_in = value.to_date();
        else if (field == "Time In")
            row.time_in = value.to_date();
        else if (field == "Date Out")
            row.date_out = value.to_date();
        else if (field == "Time Out")
            row.time_out = value.to_date();
        else if (field == "Punch Type")
            row.punch_type = value.to_text();
        else if (field == "Notes")
            row.notes = value.to_text();
        else if (const auto amount = amounts.find(field); amount != amounts.end())
            row.*(amount->second) = value.to_double();
    }
    return row;
}

double moment_of(const std::optional<platform::Date>& date,
                 const std::optional<platform::Date>& time) {
    return date ? date->days + (time ? time->days : 0.0) : -1e300;
}

}  // namespace

std::vector<ClockDatabase::Row> ClockDatabase::KnownRows(int32_t card) const {
    std::vector<Row> rows;
    for (const auto& [id, row] : m_known_rows[card])
        rows.push_back(row);
    for (const auto& punch : Queued()) {
        if (punch.card != card)
            continue;
        if (punch.own && !punch.own->values().empty())
            rows.push_back(row_of(card, *punch.own));
        for (const auto& extra : punch.extras) {
            if (extra && !extra->values().empty())
                rows.push_back(row_of(card, *extra));
        }
    }
    return rows;
}

std::vector<ClockDatabase::Row> ClockDatabase::Rows(std::optional<int32_t> card) const {
    if (!card)
        return m_store->Rows(card);
    std::vector<Row> rows;
    if (Reached([&] { rows = m_store->Rows(card); })) {
        if (m_queue) {
            auto& known = m_known_rows[*card];
            known.clear();
            for (const auto& row : rows)
                known[row.id] = row;
        }
        return rows;
    }
    return KnownRows(*card);
}

std::vector<ClockDatabase::Row> ClockDatabase::RowsBetween(std::optional<int32_t> card,
                                                           platform::Date from,
                                                           platform::Date to) const {
    if (!card)
        return m_store->RowsBetween(card, from, to);
    std::vector<Row> rows;
    if (Reached([&] { rows = m_store->RowsBetween(card, from, to); })) {
        if (m_queue) {
            for (const auto& row : rows)
                m_known_rows[*card][row.id] = row;
        }
        return rows;
    }
    for (auto& row : KnownRows(*card)) {
        const double in = moment_of(row.date_in, row.time_in);
        const double out = moment_of(row.date_out, row.time_out);
        if ((in >= from.days && in <= to.days) || (out >= from.days && out <= to.days))
            rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ClockDatabase::EnteredRecord> ClockDatabase::ManagerEntries(
    std::optional<platform::Date> from, std::optional<platform::Date> to) const {
    return m_store->ManagerEntries(from, to);
}

sqlite3* ClockDatabase::handle() const {
    return m_store->SqliteHandle();
}

}  // namespace orvane
