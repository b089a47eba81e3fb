#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/database/ClockDatabase.h"
#include "host/punches/PunchRules.h"

namespace orvane {

// What a clock database engine does for ClockDatabase: the same tables and the same pairing of
// punches on every engine. ClockDatabase checks what a person typed (PINs) and hashes secrets;
// the engine only stores and reads. Every failure is a raised platform error.
class ClockStore {
  public:
    virtual ~ClockStore() = default;

    // Stores the punch whole or not at all. A server keeps the punch's identity with it and
    // does not store a punch whose identity it already keeps (sent again after a connection lost
    // before the clock heard the answer).
    virtual void StorePunch(const PunchWrite& punch, const std::string& identity) = 0;
    // Adds the employee with the PIN hash given (none when empty) in one transaction; raises
    // error 457 when the card is taken.
    virtual void AddEmployee(const Employee& employee, const std::string& pin_hash) = 0;
    // False when there was no such card.
    virtual bool RemoveEmployee(int32_t card) = 0;
    virtual std::vector<Employee> Employees() const = 0;
    virtual std::optional<Employee> FindEmployee(int32_t card) const = 0;
    virtual void SetPinHash(int32_t card, const std::string& hash) = 0;
    // The manager's PIN hash; empty when the card is no manager's or has no PIN.
    virtual std::string PinHash(int32_t card) const = 0;
    virtual std::vector<ClockDatabase::Row> Rows(std::optional<int32_t> card) const = 0;
    virtual std::vector<ClockDatabase::Row> RowsBetween(std::optional<int32_t> card,
                                                        platform::Date from,
                                                        platform::Date to) const = 0;
    virtual std::vector<ClockDatabase::EnteredRecord> ManagerEntries(
        std::optional<platform::Date> from, std::optional<platform::Date> to) const = 0;

    // The SQLite connection, for host code that reads the file directly; none on a server.
    virtual sqlite3* SqliteHandle() const { return nullptr; }

    // Called once each time a statement finds the database held by another clock, before it
    // waits, so that a front end can say that the clock waits. An engine that does not wait
    // that way never calls it.
    virtual void SetWhileBusy(std::function<void()> /*waiting*/) {}
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

bool IsDateField(std::string_view field);
bool IsTextField(std::string_view field);

}  // namespace orvane
