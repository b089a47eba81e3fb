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
#include "host/punches/Shift.h"

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
    // punch's identity with it and does not store a punch whose identity it already keeps. A
    // punch for an inactive employee raises error 3201.
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

    // Corrections and approved weeks (ClockCorrections.cpp).
    Correction AddPunch(int32_t card, std::string_view type, platform::Date at,
                        double max_shift_hours, const Corrector& by);
    Correction EditPunch(int64_t id, std::optional<platform::Date> at,
                         std::optional<platform::Date> out_at, std::optional<std::string> type,
                         const Corrector& by);
    Correction VoidPunch(int64_t id, const Corrector& by);
    std::vector<Correction> AddLeave(const LeaveBooking& leave, const Corrector& by);
    std::vector<Correction> Corrections(std::optional<int32_t> card);
    WeekApproval ChangeApproval(std::string_view action, platform::Date week_start,
                                std::optional<int32_t> card, const std::string& who,
                                platform::Date at);
    std::vector<WeekApproval> WeekApprovals();
    // The employee roster, the shared lockouts of PINs and of the server's secrets, and the clock
    // of each punch (their own tables).
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
    bool CountSecretTry(const std::string& door, const std::string& account,
                        const std::string& address, platform::Date now,
                        const ClockDatabase::AdmitTry& admit);
    void ClearSecretTries(const std::string& door, const std::string& account,
                          const std::string& address);
    void ForgetSecretTries(platform::Date before);
    // The clock kept beside each record stored from now on; none while empty.
    void SetClockName(std::string name) { m_clock_name = std::move(name); }
    // The clock that stored each row, by the row's "ID", for the rows given.
    std::map<int64_t, std::string> ClocksOf(const std::vector<int64_t>& record_ids);

    StoreEngine& engine() { return *m_engine; }
    // How long a record may stay open: a closing punch closes only a record opened within it.
    void SetShiftRules(const punches::ShiftRules& rules) { m_shift = rules; }

  private:
    // The engine, once the tables are made.
    StoreEngine& Ready();
    void MakeTables();
    std::optional<int64_t> StoreRecord(int32_t card, const PunchRecord& record);
    // Raises error 3201 when the card is an inactive employee's: nothing is stored for them.
    void RefuseInactive(int32_t card);
    // Raises error 3033 when a moment of the row lies in a week approved for its card.
    void RefuseApproved(const ClockDatabase::Row& row);
    // Keeps a correction with the record before and after it.
    Correction KeepCorrection(std::string_view action, int64_t record_id, int32_t card,
                              const std::optional<ClockDatabase::Row>& before,
                              const std::optional<ClockDatabase::Row>& after, const Corrector& by);

    void KeepChange(const EmployeeChange& change);

    std::unique_ptr<StoreEngine> m_engine;
    bool m_tables_made = false;
    punches::ShiftRules m_shift;
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
// The tables of corrections and approved weeks, beside the "Clock Data Table".
std::string CorrectionTables(const StoreEngine& engine);
// The condition that leaves voided records out of a read of the "Clock Data Table": a search of
// the corrections' index by record, never a scan of every correction.
inline constexpr const char* kNotVoided = R"sql(NOT EXISTS (SELECT 1 FROM "Punch Corrections" v
    WHERE v."Record ID" = "Clock Data Table"."ID" AND v."Action" = 'void'))sql";

// The "Clock Data Table" as corrected, for the host's queries (the automatic punch's lookup):
// every record that is not voided, with its current values.
inline constexpr const char* kCorrectedPunches = "Clock Punches";
std::string CorrectedPunchesView(const StoreEngine& engine);

std::optional<Closing> ClosingOf(const std::map<std::string, platform::Variant>& values);

}  // namespace orvane
