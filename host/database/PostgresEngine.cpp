#include "host/database/PostgresEngine.h"

#include <libpq-fe.h>

#include <cctype>
#include <limits>

#include "host/database/ConnectionText.h"
#include "host/database/DatabaseError.h"
#include "host/database/Postgres.h"
#include "platform/Error.h"

namespace orvane {

namespace {

// Advisory lock spaces: the schema is made by one clock at a time, and the punches of one card
// are stored one at a time.
constexpr int kSchemaLock = 1;
constexpr int kCardLock = 2;

// How long calls with a deadline fail at once after the server let one pass.
constexpr auto kQuietAfterTimeout = std::chrono::seconds(5);

// PostgreSQL type ids.
constexpr Oid kBool = 16;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kText = 25;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kNumeric = 1700;

class PostgresRows final : public SqlRows {
  public:
    explicit PostgresRows(pg::ResultPtr result) : m_result(std::move(result)) {}

    bool Next() override { return ++m_row < pg::Rows(m_result.get()); }
    bool IsNull(int column) const override { return pg::IsNull(m_result.get(), m_row, column); }
    int64_t Int(int column) const override { return pg::IntAt(m_result.get(), m_row, column); }
    double Real(int column) const override { return pg::RealAt(m_result.get(), m_row, column); }
    std::string Text(int column) const override {
        return pg::TextAt(m_result.get(), m_row, column);
    }
    int64_t Affected() const override { return pg::Affected(m_result.get()); }

    int Columns() const override { return PQnfields(m_result.get()); }
    std::string ColumnName(int column) const override { return PQfname(m_result.get(), column); }
    platform::Variant Value(int column) const override {
        const pg_result* result = m_result.get();
        if (pg::IsNull(result, m_row, column))
            return platform::Variant::null();
        switch (PQftype(result, column)) {
            case kBool:
                return platform::Variant(pg::TextAt(result, m_row, column) == "t");
            case kInt2:
            case kInt4:
            case kInt8: {
                const int64_t value = pg::IntAt(result, m_row, column);
                if (value >= std::numeric_limits<int32_t>::min() &&
                    value <= std::numeric_limits<int32_t>::max()) {
                    return platform::Variant(static_cast<int32_t>(value));
                }
                return platform::Variant(static_cast<double>(value));
            }
            case kFloat4:
            case kFloat8:
            case kNumeric:
                return platform::Variant(pg::RealAt(result, m_row, column));
            default:
                return platform::Variant(pg::TextAt(result, m_row, column));
        }
    }

  private:
    pg::ResultPtr m_result;
    int m_row = -1;
};

// The statement with the server's placeholders: "?1" becomes "$1". The clock's statements hold
// no question mark in a name or a text.
std::string with_dollars(const std::string& sql) {
    std::string text = sql;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '?' && std::isdigit(static_cast<unsigned char>(text[i + 1])))
            text[i] = '$';
    }
    return text;
}

pg::Value value_of(const SqlValue& value) {
    switch (value.type) {
        case SqlType::Real:
            return value.null ? pg::Value::NullReal() : pg::Value::Real(value.real);
        case SqlType::Text:
            return value.null ? pg::Value{kText, std::nullopt} : pg::Value::Text(value.text);
        case SqlType::Literal:
            // The server reads its type from where it stands.
            return pg::Value{0, value.null ? std::nullopt : std::optional(value.text)};
        case SqlType::Key:
        case SqlType::Integer:
        case SqlType::Reference:
            break;
    }
    return value.null ? pg::Value::NullInt() : pg::Value::Int(value.integer);
}

}  // namespace

PostgresEngine::PostgresEngine(std::string uri, std::string setup)
    : m_uri(std::move(uri)), m_setup(std::move(setup)) {}

PostgresEngine::~PostgresEngine() = default;

pg::Connection& PostgresEngine::Connection() {
    const auto now = std::chrono::steady_clock::now();
    if (m_connection && m_connection->TimedOut())
        m_quiet_until = now + kQuietAfterTimeout;
    if (!m_connection || (!m_in_transaction && m_connection->Lost())) {
        m_connection.reset();
        if (m_deadline && now < m_quiet_until) {
            platform::raise(dberr::kConnectionFailed,
                            "Cannot reach the clock database server of '" + Redacted(m_uri) +
                                "': it did not answer a moment ago.");
        }
        try {
            auto connection = std::make_unique<pg::Connection>(m_uri, m_deadline);
            if (!m_setup.empty())
                connection->Exec(m_setup.c_str(), "Cannot set up the connection");
            m_connection = std::move(connection);
        } catch (const platform::RaisedError&) {
            if (m_deadline && std::chrono::steady_clock::now() >= *m_deadline)
                m_quiet_until = std::chrono::steady_clock::now() + kQuietAfterTimeout;
            throw;
        }
    }
    m_connection->SetDeadline(m_deadline);
    return *m_connection;
}

void PostgresEngine::SetDeadline(Deadline deadline) {
    m_deadline = deadline;
}

void PostgresEngine::Connect() {
    Connection();
}

size_t PostgresEngine::PreparedStatements() const {
    return m_connection ? m_connection->prepared_statements() : 0;
}

std::unique_ptr<SqlRows> PostgresEngine::Prepared(const std::string& sql,
                                                  const std::vector<SqlValue>& values,
                                                  std::string_view doing) {
    std::vector<pg::Value> sent;
    sent.reserve(values.size());
    for (const auto& value : values)
        sent.push_back(value_of(value));
    return std::make_unique<PostgresRows>(Connection().Run(with_dollars(sql), sent, doing));
}

void PostgresEngine::Exec(const std::string& sql, std::string_view doing) {
    Connection().Exec(sql.c_str(), doing);
}

void PostgresEngine::Begin(std::string_view doing) {
    Connection().Exec("BEGIN", doing);
    m_in_transaction = true;
}

void PostgresEngine::Commit(std::string_view doing) {
    // The COMMIT goes to the transaction's own connection, lost or not; one that fails ends the
    // transaction on the server all the same.
    auto& connection = Connection();
    m_in_transaction = false;
    connection.Exec("COMMIT", doing);
}

void PostgresEngine::Rollback() noexcept {
    m_in_transaction = false;
    if (m_connection)
        m_connection->TryExec("ROLLBACK");
}

std::string_view PostgresEngine::TypeName(SqlType type) const {
    switch (type) {
        case SqlType::Key:
            return "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY";
        case SqlType::Integer:
            return "INTEGER";
        case SqlType::Reference:
            return "BIGINT";
        case SqlType::Real:
            return "DOUBLE PRECISION";
        case SqlType::Text:
        case SqlType::Literal:
            return "TEXT";
    }
    return "";
}

std::string PostgresEngine::ColumnsQuery() const {
    // The catalog itself: the information schema's view costs each new connection a plan of
    // many joins, and every clock asks at its start.
    return "SELECT attname::text FROM pg_attribute "
           "WHERE attrelid = quote_ident(?1)::regclass AND attnum > 0 AND NOT attisdropped";
}

void PostgresEngine::Lock(int space, int32_t key, std::string_view doing) {
    Connection().Run(
        "SELECT pg_advisory_xact_lock($1, $2)",
        {pg::Value{kInt4, std::to_string(space)}, pg::Value{kInt4, std::to_string(key)}}, doing);
}

void PostgresEngine::LockSchema(std::string_view doing) {
    Lock(kSchemaLock, 0, doing);
}

void PostgresEngine::LockCard(int32_t card, std::string_view doing) {
    Lock(kCardLock, card, doing);
}

}  // namespace orvane
