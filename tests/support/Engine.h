#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "host/database/ClockDatabase.h"
#include "host/database/ConnectionText.h"
#include "host/database/Postgres.h"

// Fails the test unless the clock database at `location` is on the engine its suite claims to
// test. For a server: a clock database opened there says it is no file, and the server itself,
// asked directly, is PostgreSQL and holds the clock's tables. For a file: the clock database says
// it is one, and the file is an SQLite database holding them. Each suite that runs on both
// engines calls it where it opens its database, so that a connection text taken for the wrong
// engine fails the suite instead of letting it pass on the other one.
inline void ExpectClockDatabaseOn(const std::filesystem::path& location, orvane::Engine claimed) {
    const bool server = claimed == orvane::Engine::Postgres;
    SCOPED_TRACE((server ? "claimed a PostgreSQL server: " : "claimed a file: ") +
                 orvane::Redacted(location.native()));
    EXPECT_EQ(orvane::ClockDatabase(location).IsFile(), !server);
    if (server) {
        orvane::pg::Connection connection(location.native());
        const auto answer = connection.Run(
            R"sql(SELECT version(), to_regclass('"Clock Data Table"') IS NOT NULL)sql", {},
            "Cannot ask the test's server what it is");
        ASSERT_EQ(orvane::pg::Rows(answer.get()), 1);
        EXPECT_EQ(orvane::pg::TextAt(answer.get(), 0, 0).rfind("PostgreSQL ", 0), 0u);
        EXPECT_EQ(orvane::pg::TextAt(answer.get(), 0, 1), "t")
            << "the clock's tables are elsewhere";
        return;
    }
    sqlite3* file = nullptr;
    sqlite3_stmt* count = nullptr;
    EXPECT_EQ(sqlite3_open_v2(location.c_str(), &file, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    const bool holds_tables =
        sqlite3_prepare_v2(file,
                           "SELECT count(*) FROM sqlite_master WHERE name = 'Clock Data Table'", -1,
                           &count, nullptr) == SQLITE_OK &&
        sqlite3_step(count) == SQLITE_ROW && sqlite3_column_int(count, 0) == 1;
    sqlite3_finalize(count);
    sqlite3_close(file);
    EXPECT_TRUE(holds_tables) << "the clock's tables are not in the file";
}
