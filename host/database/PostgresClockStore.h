#pragma once

#include <memory>
#include <string>

#include "host/database/ClockStore.h"

namespace orvane {

namespace pg {
class Connection;
}

// The clock database on a PostgreSQL server that many clocks share. The tables are those of
// the file engine (8-byte floating point dates, the same names), made on first use. A punch is
// one transaction that first takes the lock of the employee's card, so that two clocks punching
// the same card one after the other pair with the open record exactly once. A connection that
// was lost is made anew at the next use. A server that cannot be reached when the clock starts
// is no error until the clock needs it (error 3151), so that a clock with a queue can start.
class PostgresClockStore final : public ClockStore {
  public:
    explicit PostgresClockStore(std::string uri);
    ~PostgresClockStore() override;
    PostgresClockStore(const PostgresClockStore&) = delete;
    PostgresClockStore& operator=(const PostgresClockStore&) = delete;

    void StorePunch(const PunchWrite& punch, const std::string& identity) override;
    void AddEmployee(const Employee& employee, const std::string& pin_hash) override;
    bool RemoveEmployee(int32_t card) override;
    std::vector<Employee> Employees() const override;
    std::optional<Employee> FindEmployee(int32_t card) const override;
    void SetPinHash(int32_t card, const std::string& hash) override;
    std::string PinHash(int32_t card) const override;
    std::vector<ClockDatabase::Row> Rows(std::optional<int32_t> card) const override;
    std::vector<ClockDatabase::Row> RowsBetween(std::optional<int32_t> card, platform::Date from,
                                                platform::Date to) const override;
    std::vector<ClockDatabase::EnteredRecord> ManagerEntries(
        std::optional<platform::Date> from, std::optional<platform::Date> to) const override;

  private:
    // The connection, made anew when there is none or it was lost; the first one makes the
    // tables when missing.
    pg::Connection& Connection() const;
    void MakeTables(pg::Connection& connection) const;

    std::string m_uri;
    mutable std::unique_ptr<pg::Connection> m_connection;
    mutable bool m_tables_made = false;
};

}  // namespace orvane
