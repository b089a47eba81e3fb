#pragma once

#include <memory>
#include <string>

#include "host/database/StoreEngine.h"

namespace orvane {

namespace pg {
class Connection;
}

// A clock database on a PostgreSQL server that many clocks share. The connection is made at the
// first statement and made anew at the next one after it was lost (never inside a transaction,
// whose statements must all reach one connection). Statements are prepared once per connection.
// The schema and each card's punches are ordered among the clocks by advisory locks held to the
// end of the transaction. A server that lets a deadline pass is left alone for a few seconds.
class PostgresEngine final : public StoreEngine {
  public:
    // `setup` runs on each new connection (none when empty).
    explicit PostgresEngine(std::string uri, std::string setup = {});
    ~PostgresEngine() override;
    PostgresEngine(const PostgresEngine&) = delete;
    PostgresEngine& operator=(const PostgresEngine&) = delete;

    void Exec(const std::string& sql, std::string_view doing) override;
    void Begin(std::string_view doing) override;
    void Commit(std::string_view doing) override;
    void Rollback() noexcept override;
    std::string_view TypeName(SqlType type) const override;
    std::string ColumnsQuery() const override;
    void LockSchema(std::string_view doing) override;
    void LockCard(int32_t card, std::string_view doing) override;
    bool MayReceiveTwice() const override { return true; }
    void Connect() override;
    void SetDeadline(Deadline deadline) override;
    Deadline GetDeadline() const override { return m_deadline; }
    sql::Target QueryTarget() const override { return sql::Target::Postgres; }
    size_t PreparedStatements() const override;

  protected:
    std::unique_ptr<SqlRows> Prepared(const std::string& sql, const std::vector<SqlValue>& values,
                                      std::string_view doing) override;

  private:
    pg::Connection& Connection();
    void Lock(int space, int32_t key, std::string_view doing);

    std::string m_uri;
    std::string m_setup;
    std::unique_ptr<pg::Connection> m_connection;
    bool m_in_transaction = false;
    Deadline m_deadline;
    // After the server let a deadline pass, calls with a deadline fail at once until then: the
    // reads and the punch that follow must not each wait for a server that does not answer.
    std::chrono::steady_clock::time_point m_quiet_until{};
};

}  // namespace orvane
