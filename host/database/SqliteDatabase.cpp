#include "host/database/SqliteDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <unordered_map>
#include <vector>

#include "host/database/DatabaseError.h"
#include "host/database/SqlDialect.h"
#include "host/database/Sqlite.h"
#include "platform/Error.h"
#include "platform/TextScan.h"

namespace orvane {

namespace {

// Past this many distinct texts the idle statements are dropped: a host that builds many
// different queries must not keep a statement for each forever.
constexpr size_t kMaxCachedStatements = 64;

[[noreturn]] void raise_not_open() {
    platform::raise(dberr::kNotOpen,
                    "Object invalid or no longer set: the clock database is "
                    "not open.");
}

}  // namespace

// A prepared statement with the names of its columns.
struct PreparedStatement {
    sqlite::StatementPtr statement;
    std::vector<std::string> columns;
};

// One open SQLite connection and the statements prepared on it, kept by translated text. A
// statement is lent to one recordset at a time; while it is lent its entry is empty, and a
// second Execute of the same text prepares a statement of its own.
class SqliteConnection {
  public:
    explicit SqliteConnection(sqlite::ConnectionPtr db) : m_db(std::move(db)) {}
    ~SqliteConnection() {
        m_cache.clear();  // statements go before the connection
    }

    sqlite3* db() const { return m_db.get(); }
    size_t cached() const { return m_cache.size(); }

    std::unique_ptr<PreparedStatement> Acquire(const std::string& text) {
        if (auto it = m_cache.find(text); it != m_cache.end() && it->second) {
            return std::move(it->second);
        }
        auto prepared = std::make_unique<PreparedStatement>();
        prepared->statement = sqlite::Prepare(m_db.get(), text);
        const int count = sqlite3_column_count(prepared->statement.get());
        prepared->columns.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            const char* name = sqlite3_column_name(prepared->statement.get(), i);
            prepared->columns.emplace_back(name ? name : "");
        }
        if (m_cache.size() >= kMaxCachedStatements) {
            std::erase_if(m_cache, [](const auto& entry) { return entry.second != nullptr; });
        }
        m_cache.try_emplace(text);
        return prepared;
    }

    // Takes a statement back: it is reset and kept for the next Execute of the same text,
    // unless the cache already holds one for it.
    void Release(const std::string& text, std::unique_ptr<PreparedStatement> prepared) {
        sqlite3_reset(prepared->statement.get());
        sqlite3_clear_bindings(prepared->statement.get());
        auto it = m_cache.find(text);
        if (it != m_cache.end() && !it->second)
            it->second = std::move(prepared);
    }

  private:
    sqlite::ConnectionPtr m_db;
    std::unordered_map<std::string, std::unique_ptr<PreparedStatement>> m_cache;
};

namespace {

// A column of the current row, as read when the row became current.
class RecordsetField final : public framework::IRecordsetField {
  public:
    RecordsetField(std::string name, platform::Variant value)
        : m_name(std::move(name)), m_value(std::move(value)) {}
    std::string Name() const override { return m_name; }
    platform::Variant Value() const override { return m_value; }

  private:
    std::string m_name;
    platform::Variant m_value;
};

platform::Variant column_value(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
        case SQLITE_NULL:
            return platform::Variant::null();
        case SQLITE_INTEGER: {
            const sqlite3_int64 value = sqlite3_column_int64(statement, column);
            if (value >= std::numeric_limits<int32_t>::min() &&
                value <= std::numeric_limits<int32_t>::max()) {
                return platform::Variant(static_cast<int32_t>(value));
            }
            return platform::Variant(static_cast<double>(value));
        }
        case SQLITE_FLOAT:
            return platform::Variant(sqlite3_column_double(statement, column));
        default: {
            const auto* text =
                reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
            const int size = sqlite3_column_bytes(statement, column);
            return platform::Variant(std::string(text ? text : "", static_cast<size_t>(size)));
        }
    }
}

// The rows of one Execute, read forward. The current row is copied out of the engine when it
// becomes current; at the end the statement goes back to the connection at once.
class SqliteRecordset final : public framework::IRecordset {
  public:
    SqliteRecordset(std::shared_ptr<SqliteConnection> connection, std::string text,
                    std::unique_ptr<PreparedStatement> prepared)
        : m_connection(std::move(connection)),
          m_text(std::move(text)),
          m_prepared(std::move(prepared)) {}

    ~SqliteRecordset() override { Release(); }

    framework::VBool Eof() const override {
        if (m_closed)
            raise_not_open();
        return framework::ToVBool(m_eof);
    }

    std::shared_ptr<framework::IRecordsetField> Fields(const std::string& name) const override {
        if (m_closed)
            raise_not_open();
        if (m_eof)
            platform::raise(dberr::kNoCurrentRecord, "No current record.");
        const auto it = std::find_if(
            m_columns.begin(), m_columns.end(),
            [&](const std::string& column) { return platform::text::iequals(column, name); });
        if (it == m_columns.end()) {
            platform::raise(
                dberr::kItemNotFound,
                "Item not found in this collection: there is no column '" + name + "'.");
        }
        const auto index = static_cast<size_t>(it - m_columns.begin());
        return std::make_shared<RecordsetField>(*it, m_row[index]);
    }

    void MoveNext() override {
        if (m_closed)
            raise_not_open();
        if (m_eof)
            platform::raise(dberr::kNoCurrentRecord, "No current record.");
        Fetch();
    }

    void Close() override {
        if (m_closed)
            raise_not_open();
        m_closed = true;
        Release();
    }

    // Makes the first or the next row current.
    void Fetch() {
        sqlite3_stmt* statement = m_prepared->statement.get();
        const int rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW) {
            if (m_columns.empty())
                m_columns = m_prepared->columns;
            const int count = sqlite3_column_count(statement);
            m_row.resize(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i)
                m_row[static_cast<size_t>(i)] = column_value(statement, i);
            return;
        }
        m_eof = true;
        m_row.clear();
        if (rc == SQLITE_DONE) {
            Release();
            return;
        }
        sqlite3* db = m_connection->db();
        std::string message = sqlite3_errmsg(db);
        Release();
        platform::raise(dberr::kEngine, "Clock database: " + message + ".");
    }

  private:
    void Release() {
        if (m_prepared)
            m_connection->Release(m_text, std::move(m_prepared));
    }

    std::shared_ptr<SqliteConnection> m_connection;
    std::string m_text;
    std::unique_ptr<PreparedStatement> m_prepared;
    std::vector<std::string> m_columns;
    std::vector<platform::Variant> m_row;
    bool m_eof = false;
    bool m_closed = false;
};

void bind(sqlite3* db, sqlite3_stmt* statement, const std::vector<sql::Parameter>& parameters) {
    if (sqlite3_bind_parameter_count(statement) != static_cast<int>(parameters.size())) {
        platform::raise(dberr::kSyntax,
                        "Syntax error in query expression: the query has "
                        "placeholders of its own.");
    }
    int index = 1;
    for (const auto& parameter : parameters) {
        int rc = SQLITE_OK;
        if (const auto* whole = std::get_if<int64_t>(&parameter)) {
            rc = sqlite3_bind_int64(statement, index, *whole);
        } else if (const auto* number = std::get_if<double>(&parameter)) {
            rc = sqlite3_bind_double(statement, index, *number);
        } else {
            const auto& text = std::get<std::string>(parameter);
            rc = sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                                   SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            sqlite::RaiseLast(db, "Cannot run the query");
        ++index;
    }
}

}  // namespace

SqliteDatabase::SqliteDatabase() = default;
SqliteDatabase::~SqliteDatabase() = default;

framework::VBool SqliteDatabase::IsOpen() const {
    return framework::ToVBool(m_connection != nullptr);
}

void SqliteDatabase::Open(const std::string& connect_string) {
    m_connection.reset();
    auto db = sqlite::Open(sqlite::PathOfConnectString(connect_string), sqlite::OpenMode::Existing);
    m_connection = std::make_shared<SqliteConnection>(std::move(db));
}

std::shared_ptr<framework::IRecordset> SqliteDatabase::Execute(const std::string& sql) {
    if (!m_connection)
        raise_not_open();
    sql::Translation translation = sql::Translate(sql);
    auto prepared = m_connection->Acquire(translation.text);
    try {
        bind(m_connection->db(), prepared->statement.get(), translation.parameters);
    } catch (...) {
        m_connection->Release(translation.text, std::move(prepared));
        throw;
    }
    auto recordset = std::make_shared<SqliteRecordset>(m_connection, std::move(translation.text),
                                                       std::move(prepared));
    recordset->Fetch();
    return recordset;
}

void SqliteDatabase::Close() {
    if (!m_connection)
        raise_not_open();
    m_connection.reset();
}

size_t SqliteDatabase::cached_statements() const {
    return m_connection ? m_connection->cached() : 0;
}

}  // namespace orvane
