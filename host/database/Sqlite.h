#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/Api.h"

struct sqlite3;
struct sqlite3_stmt;

// Small helpers over the SQLite library shared by the clock database and the database object the
// component queries. Every failure is raised as a platform error whose description names the
// file and carries the engine's message.
namespace orvane::sqlite {

struct ConnectionCloser {
    void operator()(sqlite3* db) const;
};
using ConnectionPtr = std::unique_ptr<sqlite3, ConnectionCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const;
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

enum class OpenMode {
    // The file must exist: a missing file raises "Could not find file" (3024).
    Existing,
    // A missing file is created.
    CreateWhenMissing,
};

// How long a connection waits for a database that another clock is writing before it gives up
// with "locked" (3218). Clocks that share one file hold it for a few milliseconds per punch; a
// generous wait keeps "locked" from a person even on a heavily loaded machine.
inline constexpr std::chrono::milliseconds kDefaultBusyWait{30000};

// Opens a database file with the clock's connection settings (the wait for a busy database) and
// checks that it is an SQLite database ("Unrecognized database format", 3343, otherwise).
PLATFORM_API ConnectionPtr Open(const std::filesystem::path& file, OpenMode mode,
                                std::chrono::milliseconds busy_wait = kDefaultBusyWait);

// Prepares one statement; raises with the engine's message.
PLATFORM_API StatementPtr Prepare(sqlite3* db, std::string_view sql);

// The statements of one connection, prepared once and run again: a clock runs the same few
// statements at every punch, and preparing one costs more than running it. A statement handed
// out is reset, its values unbound, when its handle goes; a statement already in use, or one
// beyond the cache's room, is prepared afresh and finalized after its use.
class PLATFORM_API StatementCache {
  public:
    class Handle {
      public:
        sqlite3_stmt* get() const { return m_statement; }
        ~Handle();
        Handle(const Handle&) = delete;
        Handle& operator=(const Handle&) = delete;

      private:
        friend class StatementCache;
        Handle(sqlite3_stmt* statement, bool* in_use, StatementPtr own)
            : m_statement(statement), m_in_use(in_use), m_own(std::move(own)) {}
        sqlite3_stmt* m_statement;
        bool* m_in_use;
        StatementPtr m_own;
    };

    explicit StatementCache(sqlite3* db, size_t room = 32) : m_db(db), m_room(room) {}
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    sqlite3* db() const { return m_db; }
    // Raises what `Prepare` raises.
    Handle Use(std::string_view sql);
    size_t size() const { return m_statements.size(); }

  private:
    struct Entry {
        StatementPtr statement;
        bool in_use = false;
    };
    // Looks a text up without copying it.
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    sqlite3* m_db;
    size_t m_room;
    std::unordered_map<std::string, Entry, TextHash, std::equal_to<>> m_statements;
};

// Runs statements that give no rows; raises with the engine's message.
PLATFORM_API void Exec(sqlite3* db, const char* sql);

// Raises the engine's last error on the connection, prefixed with what was being done and
// naming the file: a database locked by another program raises "locked" (3218), a read-only one
// "read-only" (3027), anything else the engine's message (3000).
[[noreturn]] PLATFORM_API void RaiseLast(sqlite3* db, std::string_view doing);

// Where a connection text ("PATH" or "sqlite:PATH") points.
PLATFORM_API std::filesystem::path PathOfConnectString(std::string_view connect_string);

}  // namespace orvane::sqlite
