// Reads arbitrary bytes as query text in the host's dialect. The translation either raises the
// syntax error or gives text in which every literal has become a parameter: no quoted text and
// no second statement reach the engine, and the engine counts as many parameters as were taken
// out. Text that the engine can prepare against the clock's schema must bind every parameter.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "host/database/DatabaseError.h"
#include "host/database/SqlDialect.h"
#include "platform/Date.h"
#include "platform/Error.h"

namespace {

// The clock's punch table as the component's queries see it.
sqlite3* schema() {
    static sqlite3* db = [] {
        sqlite3* handle = nullptr;
        if (sqlite3_open(":memory:", &handle) != SQLITE_OK)
            std::abort();
        sqlite3_exec(handle,
                     "CREATE TABLE \"Clock Data Table\" (\"ID\" INTEGER PRIMARY KEY, \"Card ID\" "
                     "INTEGER, \"Date In\" REAL, \"Time In\" REAL, \"Date Out\" REAL, \"Time "
                     "Out\" REAL, \"Punch Type\" TEXT, \"Notes\" TEXT)",
                     nullptr, nullptr, nullptr);
        return handle;
    }();
    return db;
}

// Counts the "?" marks outside quoted names; aborts on a quote or ";" outside them.
size_t marks_outside_names(std::string_view text) {
    size_t marks = 0;
    bool in_name = false;
    for (const char c : text) {
        if (c == '"') {
            in_name = !in_name;  // a doubled quote inside a name toggles twice
        } else if (!in_name) {
            if (c == '\'' || c == ';')
                std::abort();
            if (c == '?')
                ++marks;
        }
    }
    if (in_name)
        std::abort();
    return marks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view query(reinterpret_cast<const char*>(data), size);
    orvane::sql::Translation translation;
    try {
        translation = orvane::sql::Translate(query);
    } catch (const platform::RaisedError& error) {
        if (error.number() != orvane::dberr::kSyntax || error.description().empty())
            std::abort();
        return 0;
    }
    if (marks_outside_names(translation.text) != translation.parameters.size())
        std::abort();

    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(schema(), translation.text.c_str(),
                           static_cast<int>(translation.text.size()), &statement,
                           nullptr) == SQLITE_OK &&
        statement != nullptr) {
        if (static_cast<size_t>(sqlite3_bind_parameter_count(statement)) !=
            translation.parameters.size())
            std::abort();
    }
    sqlite3_finalize(statement);

    // A date literal alone reads to a date of the platform's range or to nothing.
    if (const auto date = orvane::sql::ParseDateLiteral(query); date && !platform::in_range(*date))
        std::abort();
    return 0;
}
