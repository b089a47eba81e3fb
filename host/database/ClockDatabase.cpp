#include "host/database/ClockDatabase.h"

#include "host/database/ClockStore.h"
#include "host/database/ConnectionText.h"
#include "host/database/PostgresClockStore.h"
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

void ClockDatabase::StorePunch(const PunchWrite& punch) {
    try {
        m_store->StorePunch(punch);
    } catch (const platform::RaisedError& error) {
        // The transaction is rolled back: the person must know the punch is not on record.
        platform::raise(error.number(), "The punch was not stored. " + error.description());
    }
}

void ClockDatabase::AddEmployee(const Employee& employee) {
    m_store->AddEmployee(employee);
}

void ClockDatabase::SetManagerPin(int32_t card, std::string_view pin) {
    const auto employee = FindEmployee(card);
    if (!employee || !employee->manager) {
        platform::raise(platform::err::kInvalidProcedureCall,
                        "Card " + std::to_string(card) + " is not a manager's card.");
    }
    if (!is_pin(pin)) {
        platform::raise(platform::err::kInvalidProcedureCall,
                        "A PIN is " + std::to_string(kShortestPin) + " to " +
                            std::to_string(kLongestPin) + " digits.");
    }
    m_store->SetPinHash(card, HashSecret(pin));
}

bool ClockDatabase::HasManagerPin(int32_t card) const {
    return !m_store->PinHash(card).empty();
}

bool ClockDatabase::VerifyManagerPin(int32_t card, std::string_view pin) const {
    return VerifySecret(m_store->PinHash(card), pin);
}

bool ClockDatabase::RemoveEmployee(int32_t card) {
    return m_store->RemoveEmployee(card);
}

std::vector<Employee> ClockDatabase::Employees() const {
    return m_store->Employees();
}

std::optional<Employee> ClockDatabase::FindEmployee(int32_t card) const {
    return m_store->FindEmployee(card);
}

std::vector<ClockDatabase::Row> ClockDatabase::Rows(std::optional<int32_t> card) const {
    return m_store->Rows(card);
}

std::vector<ClockDatabase::EnteredRecord> ClockDatabase::ManagerEntries(
    std::optional<platform::Date> from, std::optional<platform::Date> to) const {
    return m_store->ManagerEntries(from, to);
}

sqlite3* ClockDatabase::handle() const {
    return m_store->SqliteHandle();
}

}  // namespace orvane
