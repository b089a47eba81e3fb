#include "host/database/SqliteEngine.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <limits>

#include "host/database/DatabaseError.h"
#include "platform/Error.h"

namespace orvane {

namespace {

class SqliteRows final : public SqlRows {
  public:
    SqliteRows(sqlite::StatementCache& statements, const std::string& sql, std::string_view doing)
        : m_handle(statements.Use(sql)), m_db(statements.db()), m_doing(doing) {}

    void Bind(const std::vector<SqlValue>& values) {
        sqlite3_stmt* s = m_handle.get();
        if (sqlite3_bind_parameter_count(s) != static_cast<int>(values.size())) {
            platform::raise(dberr::kSyntax,
                            "Syntax error in query expression: the query has "
                            "placeholders of its own.");
        }
        int index = 1;
        for (const auto& value : values) {
            int rc = SQLITE_OK;
            if (value.null)
                rc = sqlite3_bind_null(s, index);
            else if (value.type == SqlType::Real)
                rc = sqlite3_bind_double(s, index, value.real);
            else if (value.type == SqlType::Text || value.type == SqlType::Literal)
                rc = sqlite3_bind_text(s, index, value.text.data(),
                                       static_cast<int>(value.text.size()), SQLITE_TRANSIENT);
            else
                rc = sqlite3_bind_int64(s, index, value.integer);
            if (rc != SQLITE_OK)
                sqlite::RaiseLast(m_db, m_doing);
            ++index;
        }
    }

    bool Next() override {
        const int rc = sqlite3_step(m_handle.get());
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            sqlite::RaiseLast(m_db, m_doing);
        return false;
    }
    bool IsNull(int column) const override {
        return sqlite3_column_type(m_handle.get(), column) == SQLITE_NULL;
    }
    int64_t Int(int column) const override { return sqlite3_column_int64(m_handle.get(), column); }
    double Real(int column) const override { return sqlite3_column_double(m_handle.get(), column); }
    std::string Text(int column) const override {
        const auto* text =
            reinterpret_cast<const char*>(sqlite3_column_text(m_handle.get(), column));
        return text ? std::string(text,
                                  static_cast<size_t>(sqlite3_column_bytes(m_handle.get(), column)))
                    : std::string();
    }
    int64_t Affected() const override { return sqlite3_changes64(m_db); }

    int Columns() const override { return sqlite3_column_count(m_handle.get()); }
    std::string ColumnName(int column) const override {
        const char* name = sqlite3_column_name(m_handle.get(), column);
        return name ? name : "";
    }
    platform::Variant Value(int column) const override {
        sqlite3_stmt* s = m_handle.get();
        switch (sqlite3_column_type(s, column)) {
            case SQLITE_NULL:
                return platform::Variant::null();
            case SQLITE_INTEGER: {
                const sqlite3_int64 value = sqlite3_column_int64(s, column);
                if (value >= std::numeric_limits<int32_t>::min() &&
                    value <= std::numeric_limits<int32_t>::max()) {
                    return platform::Variant(static_cast<int32_t>(value));
                }
                return platform::Variant(static_cast<double>(value));
            }
            case SQLITE_FLOAT:
                return platform::Variant(sqlite3_column_double(s, column));
            default:
                return platform::Variant(Text(column));
        }
    }

  private:
    sqlite::StatementCache::Handle m_handle;
    sqlite3* m_db;
    std::string_view m_doing;
};

void exec(sqlite3* db, const char* sql, std::string_view doing) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite::RaiseLast(db, doing);
}

std::string journal_mode(sqlite3* db) {
    auto statement = sqlite::Prepare(db, "PRAGMA journal_mode");
    std::string mode;
    if (sqlite3_step(statement.get()) == SQLITE_ROW)
        mode = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
    return mode;
}

}  // namespace

void BusyWait::Install(sqlite3* db) {
    sqlite3_busy_handler(db, &BusyWait::OnBusy, this);
}

int BusyWait::OnBusy(void* self, int count) {
    return static_cast<BusyWait*>(self)->Pause(count) ? 1 : 0;
}

bool BusyWait::Pause(int count) {
    // Short pauses first, as a punch holds the file for a few milliseconds, then longer ones.
    static constexpr std::array<int, 8> kPausesMs{1, 2, 5, 10, 25, 50, 100, 200};
    if (count == 0) {
        m_waited = std::chrono::milliseconds(0);
        if (m_waiting)
            m_waiting();
    }
    if (m_waited >= m_limit)
        return false;
    const auto pause = std::min<std::chrono::milliseconds>(
        std::chrono::milliseconds(
            kPausesMs[std::min<size_t>(static_cast<size_t>(count), kPausesMs.size() - 1)]),
        m_limit - m_waited);
    sqlite3_sleep(static_cast<int>(pause.count()));
    m_waited += pause;
    return true;
}

SqliteEngine::SqliteEngine(const std::filesystem::path& file, std::chrono::milliseconds busy_wait,
                           Use use)
    : m_db(sqlite::Open(
          file,
          use == Use::ClockFile ? sqlite::OpenMode::CreateWhenMissing : sqlite::OpenMode::Existing,
          busy_wait)),
      m_statements(std::make_unique<sqlite::StatementCache>(m_db.get())) {
    if (use == Use::Queries)
        return;
    // A file the clock may only read (its permissions, or its own header) could not take a
    // punch: say so now, before anyone types one.
    if (sqlite3_db_readonly(m_db.get(), "main") == 1) {
        platform::raise(dberr::kReadOnly, "Cannot use the clock database in '" + file.string() +
                                              "': the database may only be read.");
    }
    m_busy = std::make_unique<BusyWait>(busy_wait);
    m_busy->Install(m_db.get());
    // Switching to WAL needs the file to itself: only the first clock on a new file does it. Two
    // clocks starting together on a new file both ask, each holding what the other needs, and the
    // engine refuses one at once without waiting; that one finds the file switched by the other,
    // or asks again after a pause.
    for (int refused = 0; journal_mode(m_db.get()) != "wal"; ++refused) {
        if (sqlite3_exec(m_db.get(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) ==
            SQLITE_OK)
            break;
        const int code = sqlite3_errcode(m_db.get()) & 0xff;
        if ((code != SQLITE_BUSY && code != SQLITE_LOCKED) || !m_busy->Pause(refused))
            sqlite::RaiseLast(m_db.get(), "Cannot use the clock database");
    }
    sqlite::Exec(m_db.get(), "PRAGMA synchronous=NORMAL");
}

SqliteEngine::~SqliteEngine() {
    m_statements.reset();  // statements go before their connection
}

std::unique_ptr<SqlRows> SqliteEngine::Prepared(const std::string& sql,
                                                const std::vector<SqlValue>& values,
                                                std::string_view doing) {
    auto rows = std::make_unique<SqliteRows>(*m_statements, sql, doing);
    rows->Bind(values);
    return rows;
}

void SqliteEngine::Exec(const std::string& sql, std::string_view doing) {
    exec(m_db.get(), sql.c_str(), doing);
}

void SqliteEngine::Begin(std::string_view doing) {
    exec(m_db.get(), "BEGIN IMMEDIATE", doing);
}

void SqliteEngine::Commit(std::string_view doing) {
    exec(m_db.get(), "COMMIT", doing);
}

void SqliteEngine::Rollback() noexcept {
    sqlite3_exec(m_db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

std::string_view SqliteEngine::TypeName(SqlType type) const {
    switch (type) {
        case SqlType::Key:
            return "INTEGER PRIMARY KEY";
        case SqlType::Integer:
        case SqlType::Reference:
            return "INTEGER";
        case SqlType::Real:
            return "REAL";
        case SqlType::Text:
        case SqlType::Literal:
            return "TEXT";
    }
    return "";
}

std::string SqliteEngine::ColumnsQuery() const {
    return "SELECT name FROM pragma_table_info(?1)";
}

void SqliteEngine::SetWhileBusy(std::function<void()> waiting) {
    if (m_busy)
        m_busy->SetWaiting(std::move(waiting));
}

void SqliteEngine::LeaveCheckpointsToOthers() {
    // 16 times the engine's own 1,000 pages: a Checkpointer gone quiet leaves a bounded log.
    constexpr int kBackstopPages = 16000;
    sqlite3_wal_autocheckpoint(m_db.get(), kBackstopPages);
}

}  // namespace orvane
