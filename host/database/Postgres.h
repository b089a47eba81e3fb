#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/database/SqlDialect.h"
#include "platform/Api.h"

struct pg_conn;
struct pg_result;

// Small helpers over libpq shared by the clock database and the database object the component
// queries. Every failure is raised as a platform error whose description names the server (never
// the password) and carries the server's message.
namespace orvane::pg {

struct ResultClear {
    void operator()(pg_result* result) const;
};
using ResultPtr = std::unique_ptr<pg_result, ResultClear>;

// A value sent with a statement: its type (a PostgreSQL type id, 0 to let the server infer it)
// and its text form; no text is NULL.
struct Value {
    unsigned type = 0;
    std::optional<std::string> text;

    static Value Int(int64_t value);
    static Value Real(double value);
    static Value Text(std::string value);
    static Value NullReal();
    static Value NullInt();
    static Value From(const sql::Parameter& parameter);
};

// One connection to a PostgreSQL server. Statements run through Run are prepared once per
// connection, under their text and the types of their values.
class PLATFORM_API Connection {
  public:
    using Deadline = std::optional<std::chrono::steady_clock::time_point>;

    // Connects; a connection text that is no valid URI, a server that cannot be reached, a
    // refused login and a missing database each raise with a description that says which. With
    // a deadline, the connection is given up when the server has not answered by then.
    explicit Connection(const std::string& uri, Deadline deadline = std::nullopt);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs a prepared statement; raises with `doing` and the server's message.
    ResultPtr Run(const std::string& sql, const std::vector<Value>& values, std::string_view doing);
    // Runs statements that take no values (transaction control, the schema).
    void Exec(const char* sql, std::string_view doing);
    // Runs a statement without raising; true when it succeeded (a rollback after a failure).
    bool TryExec(const char* sql);

    // No call waits for the server past `deadline` (none: calls wait as long as the connection
    // lives, which keepalives bound): at the deadline the connection is dropped and the call
    // raises "connection failed".
    void SetDeadline(Deadline deadline) { m_deadline = deadline; }
    // True when the last call was given up at its deadline.
    bool TimedOut() const { return m_timed_out; }

    // True when the connection to the server is lost.
    bool Lost() const;
    const std::string& Shown() const { return m_shown; }
    size_t prepared_statements() const { return m_prepared.size(); }
    pg_conn* get() const { return m_conn; }

  private:
    [[noreturn]] void Raise(pg_result* result, std::string_view doing) const;
    // Waits until the socket is ready for `events` (poll's), up to the deadline; past it, drops
    // the connection and raises.
    void Wait(short events, std::string_view doing);
    // The result of the statement just sent: the first failure among its results, or the last.
    ResultPtr Await(std::string_view doing);

    pg_conn* m_conn = nullptr;
    std::string m_shown;
    std::unordered_map<std::string, std::string> m_prepared;
    size_t m_statements = 0;
    Deadline m_deadline;
    bool m_timed_out = false;
};

// Reading values of a result row (text format).
PLATFORM_API bool IsNull(const pg_result* result, int row, int column);
PLATFORM_API std::string TextAt(const pg_result* result, int row, int column);
PLATFORM_API int64_t IntAt(const pg_result* result, int row, int column);
PLATFORM_API double RealAt(const pg_result* result, int row, int column);
PLATFORM_API int Rows(const pg_result* result);
// Rows an UPDATE or DELETE touched.
PLATFORM_API int64_t Affected(const pg_result* result);

// SQLSTATE classes that ask for the transaction to run again.
PLATFORM_API bool IsRetryable(std::string_view sqlstate);

}  // namespace orvane::pg
