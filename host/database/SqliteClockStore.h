#pragma once

#include <chrono>
#include <filesystem>

#include "host/database/ClockStore.h"

namespace orvane {

// The clock database in an SQLite file (WAL, synchronous=NORMAL, a busy timeout). A punch is
// one transaction that begins IMMEDIATE: it reads the open record before it writes.
class SqliteClockStore final : public ClockStore {
  public:
    SqliteClockStore(const std::filesystem::path& file, std::chrono::milliseconds busy_wait);
    ~SqliteClockStore() override;
    SqliteClockStore(const SqliteClockStore&) = delete;
    SqliteClockStore& operator=(const SqliteClockStore&) = delete;

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
    sqlite3* SqliteHandle() const override { return m_db; }

  private:
    sqlite3* m_db = nullptr;
};

}  // namespace orvane
