#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/database/SqlDialect.h"
#include "platform/Variant.h"

namespace orvane {

// The kinds of column the clock database keeps, which each engine names in its own words.
enum class SqlType {
    // The table's own key, numbered by the engine.
    Key,
    // A card number or a flag.
    Integer,
    // The key of a row of another table.
    Reference,
    // A moment or an amount: an 8-byte floating point number.
    Real,
    Text,
    // A text whose type the engine reads from where it stands (a literal of the host's query
    // text, which may meet a number or a moment).
    Literal,
};

// A value bound to a statement: its type (which a server needs even for a null) and the value.
struct SqlValue {
    SqlType type = SqlType::Integer;
    bool null = false;
    int64_t integer = 0;
    double real = 0;
    std::string text;

    static SqlValue Int(int64_t value) { return {SqlType::Integer, false, value, 0, {}}; }
    static SqlValue Real(double value) { return {SqlType::Real, false, 0, value, {}}; }
    static SqlValue Text(std::string value) {
        return {SqlType::Text, false, 0, 0, std::move(value)};
    }
    static SqlValue Literal(std::string value) {
        return {SqlType::Literal, false, 0, 0, std::move(value)};
    }
    static SqlValue Null(SqlType type) { return {type, true, 0, 0, {}}; }
};

// The rows of one statement run, read forward one at a time. Other statements may run while they
// are held; the statement is ready for its next run when the rows go.
class SqlRows {
  public:
    virtual ~SqlRows() = default;
    // Moves to the next row; false at the end. Raises with the engine's message.
    virtual bool Next() = 0;
    virtual bool IsNull(int column) const = 0;
    virtual int64_t Int(int column) const = 0;
    virtual double Real(int column) const = 0;
    virtual std::string Text(int column) const = 0;
    // The rows an INSERT, UPDATE or DELETE touched, once it has run to its end.
    virtual int64_t Affected() const = 0;

    // For query text not known in advance: the columns' names, and a column's value as the
    // platform holds it (null, a whole number, a number with a fraction, a text, a boolean).
    virtual int Columns() const = 0;
    virtual std::string ColumnName(int column) const = 0;
    virtual platform::Variant Value(int column) const = 0;
};

// What the clock database asks of an engine: connect, run statements (prepared once per
// connection, values bound, rows stepped and read), transactions, and the few places where the
// engines' SQL differs. Statements are written once, in the SQL both engines read, with numbered
// placeholders "?1", "?2"... Every failure is a raised platform error whose description starts
// with `doing` and names the file or the server.
class StoreEngine {
  public:
    virtual ~StoreEngine() = default;

    // Runs a statement with its values bound; its rows are read from what it gives.
    std::unique_ptr<SqlRows> Run(const std::string& sql, const std::vector<SqlValue>& values,
                                 std::string_view doing) {
        if (m_observer)
            m_observer(sql);
        return Prepared(sql, values, doing);
    }
    // Runs a statement to its end; gives the rows it touched.
    int64_t RunToEnd(const std::string& sql, const std::vector<SqlValue>& values,
                     std::string_view doing) {
        const auto rows = Run(sql, values, doing);
        while (rows->Next()) {
        }
        return rows->Affected();
    }
    // Runs statements that take no values (the schema).
    virtual void Exec(const std::string& sql, std::string_view doing) = 0;

    // A write transaction: on a file it takes the file's write lock at once, as a punch reads
    // the open record before it writes.
    virtual void Begin(std::string_view doing) = 0;
    virtual void Commit(std::string_view doing) = 0;
    // Never raises: it runs after a failure.
    virtual void Rollback() noexcept = 0;

    // Dialect: the type of a column as its CREATE TABLE says it.
    virtual std::string_view TypeName(SqlType type) const = 0;
    // Dialect: a query of the names of the columns of the table named by "?1", one a row.
    virtual std::string ColumnsQuery() const = 0;
    // Within a transaction, waits until no other clock makes the schema, or stores a punch of
    // `card`, in its own. A file needs none: its write lock already orders every write.
    virtual void LockSchema(std::string_view doing) = 0;
    virtual void LockCard(int32_t card, std::string_view doing) = 0;
    // Whether a punch may reach the engine twice (sent again after a connection lost before the
    // answer), so that the store keeps each punch's identity. A file is never half-reached.
    virtual bool MayReceiveTwice() const = 0;

    // Called once each time a statement finds the database held by another clock, before it
    // waits. An engine that does not wait that way never calls it.
    virtual void SetWhileBusy(std::function<void()> /*waiting*/) {}
    // Leaves the copying of a write-ahead log into the file to another connection; this one
    // copies only when the log has grown far beyond that.
    virtual void LeaveCheckpointsToOthers() {}

    // No statement waits for a server past `deadline` (none: no bound); a statement that would
    // raises "connection failed". A file on this machine is never waited for that way.
    using Deadline = std::optional<std::chrono::steady_clock::time_point>;
    virtual void SetDeadline(Deadline /*deadline*/) {}
    virtual Deadline GetDeadline() const { return std::nullopt; }
    // Connects now, if the engine has a connection to make, rather than at the first statement.
    virtual void Connect() {}
    // The dialect the host's query text is translated into for this engine.
    virtual sql::Target QueryTarget() const = 0;
    // How many statements the connection keeps prepared.
    virtual size_t PreparedStatements() const = 0;

    // Tells `observer` the text of each statement run from now on (none: no longer).
    void ObserveStatements(std::function<void(const std::string&)> observer) {
        m_observer = std::move(observer);
    }

  protected:
    // Runs the statement: prepared once per connection, the values bound.
    virtual std::unique_ptr<SqlRows> Prepared(const std::string& sql,
                                              const std::vector<SqlValue>& values,
                                              std::string_view doing) = 0;

  private:
    std::function<void(const std::string&)> m_observer;
};

// A write transaction that rolls back unless committed, so that a raised error in between
// leaves nothing half-written.
class StoreTransaction {
  public:
    StoreTransaction(StoreEngine& engine, std::string_view doing) : m_engine(engine) {
        m_engine.Begin(doing);
    }
    ~StoreTransaction() {
        if (!m_done)
            m_engine.Rollback();
    }
    StoreTransaction(const StoreTransaction&) = delete;
    StoreTransaction& operator=(const StoreTransaction&) = delete;
    void Commit(std::string_view doing) {
        m_engine.Commit(doing);
        m_done = true;
    }

  private:
    StoreEngine& m_engine;
    bool m_done = false;
};

// Bounds the engine's waits by a deadline `span` from now while it lives; an earlier deadline
// already set stays.
class DeadlineScope {
  public:
    DeadlineScope(StoreEngine& engine, std::chrono::milliseconds span)
        : m_engine(engine), m_outer(engine.GetDeadline()) {
        const auto deadline = std::chrono::steady_clock::now() + span;
        m_engine.SetDeadline(m_outer ? std::min(*m_outer, deadline) : deadline);
    }
    ~DeadlineScope() { m_engine.SetDeadline(m_outer); }
    DeadlineScope(const DeadlineScope&) = delete;
    DeadlineScope& operator=(const DeadlineScope&) = delete;

  private:
    StoreEngine& m_engine;
    StoreEngine::Deadline m_outer;
};

}  // namespace orvane
