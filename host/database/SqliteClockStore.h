#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include "host/database/ClockStore.h"
#include "host/database/Sqlite.h"

namespace orvane {

// The wait of a connection for a file that another clock is writing: up to `limit`, in short
// pauses. Before the first pause of each wait it tells `waiting` (when set), so that a front end
// can say that the clock waits; a file that is free at once tells nothing. Installed on a
// connection it must outlive it.
class BusyWait {
  public:
    explicit BusyWait(std::chrono::milliseconds limit) : m_limit(limit) {}
    BusyWait(const BusyWait&) = delete;
    BusyWait& operator=(const BusyWait&) = delete;

    void Install(sqlite3* db);
    void SetWaiting(std::function<void()> waiting) { m_waiting = std::move(waiting); }

  private:
    static int OnBusy(void* self, int count);

    std::chrono::milliseconds m_limit;
    std::chrono::milliseconds m_waited{0};
    std::function<void()> m_waiting;
};

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
    void SetWhileBusy(std::function<void()> waiting) override {
        m_busy->SetWaiting(std::move(waiting));
    }

  private:
    sqlite3* m_db = nullptr;
    std::unique_ptr<BusyWait> m_busy;
    std::unique_ptr<sqlite::StatementCache> m_statements;
};

}  // namespace orvane
