#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

#include "host/database/Sqlite.h"
#include "host/database/StoreEngine.h"

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
    // Pauses before try `count` + 1 at a busy file; false once the limit is spent.
    bool Pause(int count);

  private:
    static int OnBusy(void* self, int count);

    std::chrono::milliseconds m_limit;
    std::chrono::milliseconds m_waited{0};
    std::function<void()> m_waiting;
};

// A database in an SQLite file, its statements prepared once per connection.
class SqliteEngine final : public StoreEngine {
  public:
    enum class Use {
        // The clock's own file, made when missing: WAL (a clock reads while another writes),
        // synchronous NORMAL (a committed punch survives a crash of the program; a power loss
        // may cost the last ones), and a wait for a file another clock is writing. A write
        // transaction begins IMMEDIATE. A file the clock may only read raises when it is
        // opened, before anyone types a punch.
        ClockFile,
        // The host's queries on a file that must exist, with the file's settings as they are.
        Queries,
    };
    SqliteEngine(const std::filesystem::path& file, std::chrono::milliseconds busy_wait,
                 Use use = Use::ClockFile);
    ~SqliteEngine() override;
    SqliteEngine(const SqliteEngine&) = delete;
    SqliteEngine& operator=(const SqliteEngine&) = delete;

    void Exec(const std::string& sql, std::string_view doing) override;
    void Begin(std::string_view doing) override;
    void Commit(std::string_view doing) override;
    void Rollback() noexcept override;
    std::string_view TypeName(SqlType type) const override;
    std::string ColumnsQuery() const override;
    void LockSchema(std::string_view /*doing*/) override {}
    void LockCard(int32_t /*card*/, std::string_view /*doing*/) override {}
    bool MayReceiveTwice() const override { return false; }
    void SetWhileBusy(std::function<void()> waiting) override;
    void LeaveCheckpointsToOthers() override;
    sql::Target QueryTarget() const override { return sql::Target::Sqlite; }
    size_t PreparedStatements() const override { return m_statements->size(); }

  protected:
    std::unique_ptr<SqlRows> Prepared(const std::string& sql, const std::vector<SqlValue>& values,
                                      std::string_view doing) override;

  private:
    sqlite::ConnectionPtr m_db;
    std::unique_ptr<BusyWait> m_busy;
    std::unique_ptr<sqlite::StatementCache> m_statements;
};

}  // namespace orvane
