#include "host/database/Sqlite.h"

#include <sqlite3.h>

#include <system_error>

#include "host/database/DatabaseError.h"
#include "platform/Error.h"

namespace orvane::sqlite {

namespace {
constexpr std::string_view kScheme = "sqlite:";
}  // namespace

void ConnectionCloser::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

void StatementFinalizer::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

ConnectionPtr Open(const std::filesystem::path& file, OpenMode mode,
                   std::chrono::milliseconds busy_wait) {
    const std::string name = file.string();
    if (name.empty()) {
        platform::raise(dberr::kFileNotFound,
                        "No clock database is named: the connection text "
                        "is empty.");
    }
    std::error_code ec;
    if (mode == OpenMode::Existing && !std::filesystem::exists(file, ec)) {
        platform::raise(dberr::kFileNotFound, "Could not find file '" + name + "'.");
    }
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (mode == OpenMode::CreateWhenMissing)
        flags |= SQLITE_OPEN_CREATE;
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(name.c_str(), &raw, flags, nullptr);
    ConnectionPtr db(raw);
    if (rc != SQLITE_OK) {
        const std::string message = raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc);
        platform::raise(dberr::kEngine,
                        "Cannot open the clock database '" + name + "': " + message + ".");
    }
    sqlite3_extended_result_codes(db.get(), 1);
    // A double-quoted name is always a name: without this the engine would read a column the
    // table lacks as a text and answer a wrong question instead of naming the missing column.
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(db.get(), static_cast<int>(busy_wait.count()));
    // Reading the schema is the first access to the file: a file that is not a database fails
    // here, with a message that says so, rather than at the first query.
    if (sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr) !=
        SQLITE_OK) {
        const int code = sqlite3_errcode(db.get()) & 0xff;
        if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT) {
            platform::raise(dberr::kUnrecognizedFormat,
                            "Unrecognized database format '" + name + "'.");
        }
        RaiseLast(db.get(), "Cannot read the clock database '" + name + "'");
    }
    return db;
}

StatementPtr Prepare(sqlite3* db, std::string_view sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        RaiseLast(db, "Cannot run the query");
    }
    return StatementPtr(raw);
}

StatementCache::Handle::~Handle() {
    if (m_in_use) {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
        *m_in_use = false;
    }
}

StatementCache::Handle StatementCache::Use(std::string_view sql) {
    const auto found = m_statements.find(sql);
    if (found != m_statements.end() && !found->second.in_use) {
        found->second.in_use = true;
        return Handle(found->second.statement.get(), &found->second.in_use, nullptr);
    }
    auto statement = Prepare(m_db, sql);
    if (found != m_statements.end() || m_statements.size() >= m_room) {
        sqlite3_stmt* raw = statement.get();
        return Handle(raw, nullptr, std::move(statement));
    }
    auto& entry = m_statements[std::string(sql)];
    entry.statement = std::move(statement);
    entry.in_use = true;
    return Handle(entry.statement.get(), &entry.in_use, nullptr);
}

void Exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        RaiseLast(db, "Cannot use the clock database");
}

void RaiseLast(sqlite3* db, std::string_view doing) {
    const char* file = sqlite3_db_filename(db, "main");
    std::string description(doing);
    if (file && *file)
        description += std::string(" in '") + file + "'";
    switch (sqlite3_errcode(db) & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            platform::raise(dberr::kLocked,
                            description + ": another program holds the database locked.");
        case SQLITE_READONLY:
            platform::raise(dberr::kReadOnly, description + ": the database may only be read.");
        default:
            platform::raise(dberr::kEngine, description + ": " + sqlite3_errmsg(db) + ".");
    }
}

std::filesystem::path PathOfConnectString(std::string_view connect_string) {
    if (connect_string.substr(0, kScheme.size()) == kScheme) {
        connect_string.remove_prefix(kScheme.size());
    }
    return std::filesystem::path(std::string(connect_string));
}

}  // namespace orvane::sqlite
