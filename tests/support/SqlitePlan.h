#pragma once

#include <sqlite3.h>

#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "host/database/SqlDialect.h"

// The engine's plan for a statement, one line per step, with the parameters bound in order
// (unbound ones are null).
inline std::string SqlitePlan(sqlite3* db, const std::string& sql,
                              const std::vector<orvane::sql::Parameter>& parameters = {}) {
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(
        sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &statement, nullptr),
        SQLITE_OK)
        << sqlite3_errmsg(db);
    int index = 1;
    for (const auto& parameter : parameters) {
        if (const auto* whole = std::get_if<int64_t>(&parameter))
            sqlite3_bind_int64(statement, index++, *whole);
        else if (const auto* number = std::get_if<double>(&parameter))
            sqlite3_bind_double(statement, index++, *number);
        else
            sqlite3_bind_text(statement, index++, std::get<std::string>(parameter).c_str(), -1,
                              SQLITE_TRANSIENT);
    }
    std::string plan;
    while (sqlite3_step(statement) == SQLITE_ROW)
        plan +=
            std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, 3))) + "\n";
    sqlite3_finalize(statement);
    return plan;
}

// Whether a plan reads a whole table rather than searching an index.
inline bool ScansATable(const std::string& plan) {
    return plan.rfind("SCAN", 0) == 0 || plan.find("\nSCAN") != std::string::npos;
}
