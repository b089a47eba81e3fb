#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "host/database/RecordColumns.h"
#include "host/database/StoreEngine.h"
#include "host/punches/PunchRules.h"

namespace orvane {

// The clock database's statements, written once over the engine that runs them: the same
// tables, the same reads and the same pairing of punches on a file and on a server. The tables
// are made when missing at the first use, and a column of the record that a database made before
// it lacks is added then. ClockDatabase checks what a person typed (PINs) and hashes secrets;
// the store only stores and reads. Every failure is a raised platform error.
class ClockStore {
  public:
    // A server that cannot be reached now is no error until the store is used (error 3151), so
    // that a clock with a queue can start; every other failure to open raises here.
    explicit ClockStore(std::unique_ptr<StoreEngine> engine);
    ~ClockStore();
    ClockStore(const ClockStore&) = delete;
    ClockStore& operator=(const ClockStore&) = delete;

    // Stores the punch whole or not at all. An engine that may receive a punch twice keeps the
    // punch's identity with it and does not store a punch whose identity it already keeps.
    void StorePunch(const PunchWrite& punch, const std::string& identity);
    // Adds the employee with the PIN hash given (none when empty) in one statement; raises
    // error 457 when the card is taken.
    void AddEmployee(const Employee& employee, const std::string& pin_hash);
    std::vector<Employee> Employees();
    std::optional<Employee> FindEmployee(int32_t card);
    void SetPinHash(int32_t card, const std::string& hash);
    // The manager's PIN hash; empty when the card is no manager's or has no PIN.
    std::string PinHash(int32_t card);
    std::vector<ClockDatabase::Row> Rows(std::optional<int32_t> card);
    std::vector<ClockDatabase::Row> RowsBetween(std::optional<int32_t> card, platform::Date from,
                                                platform::Date to);
    // The row of one "ID"; none when no row has it.
    std::optional<ClockDatabase::Row> RowWithId(int64_t id);
    std::vector<ClockDatabase::EnteredRecord> ManagerEntries(std::optional<platform::Date> from,
                                                             std::optional<platform::Date> to);

    // The employee roster, the shared PIN lockout and the clock of each punch (their own tables).
    void MakeRosterTables();
    // Renames an employee and keeps the change; false when there is no such card.
    bool RenameEmployee(int32_t card, const std::string& name, const EmployeeChange& change);
    // Moves an employee and every row of theirs to a new card and keeps the change; false when
    // there is no such card, error 457 when the new card is taken.
    bool ChangeCard(int32_t card, int32_t new_card, const EmployeeChange& change);
    // Makes an employee inactive and keeps the change; false when there is no such card.
    bool DeactivateEmployee(int32_t card, const EmployeeChange& change);
    std::vector<EmployeeChange> EmployeeChanges(std::optional<int32_t> card);
    std::optional<platform::Date> PinLockedUntil(int32_t card, platform::Date now);
    std::optional<platform::Date> CountWrongPin(int32_t card, platform::Date now, int tries,
                                                double lock_days);
    void ClearWrongPins(int32_t card);
    // The clock kept beside each record stored from now on; none while empty.
    void SetClockName(std::string name) { m_clock_name = std::move(name); }
    // The clock that stored each row, by the row's "ID", for the rows given.
    std::map<int64_t, std::string> ClocksOf(const std::vector<int64_t>& record_ids);

    StoreEngine& engine() { return *m_engine; }

  private:
    // The engine, once the tables are made.
    StoreEngine& Ready();
    void MakeTables();
    std::optional<int64_t> StoreRecord(int32_t card, const PunchRecord& record);
    void KeepChange(const EmployeeChange& change);

    std::unique_ptr<StoreEngine> m_engine;
    bool m_tables_made = false;
    std::string m_clock_name;
};

// The punch types that close an open record, and the type of the record each closes; an out
// record closes the latest open record of its opening type whose in-moment is not after it.
using punches::kPairings;
using punches::Pairing;

// What pairing needs to know of a record: the opening type it closes and its closing moment,
// when it is a record with only out-fields of a closing type.
struct Closing {
    std::string_view opening;
    double moment = 0;
};
std::optional<Closing> ClosingOf(const std::map<std::string, platform::Variant>& values);

}  // namespace orvane
