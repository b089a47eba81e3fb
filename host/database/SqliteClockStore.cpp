#include "host/database/SqliteClockStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

#include "host/database/DatabaseError.h"
#include "host/database/Sqlite.h"
#include "platform/Error.h"

namespace orvane {

namespace {

// The tables and indexes of the clock database. Dates are the platform's date type in 8-byte
// REAL columns: "Date In"/"Date Out" whole days, "Time In"/"Time Out" a time of day on day zero.
//
// The indexes serve the automatic punch's lookup of an employee's last punch, which asks for
// rows of one card whose in-moment or out-moment lies in a window: with one index per moment,
// both led by the card, the engine reads only the rows inside the window (a multi-index OR),
// however long the employee's history. There is deliberately no index on the card alone: beside
// the two, it lets the engine read the employee's whole history instead. The partial index of
// open records serves the pairing of an out punch with the employee's open record.
const std::string kSchema = std::string(R"sql(
CREATE TABLE IF NOT EXISTS "Clock Data Table" (
    "ID" INTEGER PRIMARY KEY,)sql") +
                            sqlite::kRecordColumns + ");" + sqlite::kMomentIndexes + R"sql(
CREATE INDEX IF NOT EXISTS "Clock Data Open Records"
    ON "Clock Data Table" ("Card ID", "Punch Type", ("Date In"+"Time In"))
    WHERE "Date Out" IS NULL;
CREATE TABLE IF NOT EXISTS "Employees" (
    "Card ID" INTEGER PRIMARY KEY,
    "Name" TEXT NOT NULL DEFAULT '',
    "Manager" INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS "Manager Entries" (
    "ID" INTEGER PRIMARY KEY,
    "Record ID" INTEGER NOT NULL,
    "Manager Card" INTEGER NOT NULL,
    "Entered At" REAL NOT NULL,
    "Clock Name" TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS "Manager Entries Record" ON "Manager Entries" ("Record ID");
CREATE INDEX IF NOT EXISTS "Manager Entries Moment" ON "Manager Entries" ("Entered At");
)sql";

// A column added after the first clocks were installed: a database made before it gains it
// when a clock opens it.
constexpr const char* kPinColumn = "PIN Hash";

std::string identifier(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

using sqlite::Transaction;

void bind_value(sqlite3* db, sqlite3_stmt* statement, int index, const std::string& field,
                const platform::Variant& value) {
    int rc = SQLITE_OK;
    if (value.is_null() || value.is_empty()) {
        rc = IsTextField(field) ? sqlite3_bind_text(statement, index, "", 0, SQLITE_STATIC)
                                : sqlite3_bind_null(statement, index);
    } else if (IsTextField(field)) {
        const std::string text = value.to_text();
        rc = sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                               SQLITE_TRANSIENT);
    } else if (IsDateField(field)) {
        rc = sqlite3_bind_double(statement, index, value.to_date().days);
    } else {
        rc = sqlite3_bind_double(statement, index, value.to_double());
    }
    if (rc != SQLITE_OK)
        sqlite::RaiseLast(db, "Cannot store the punch");
}

void step_done(sqlite3* db, sqlite3_stmt* statement, std::string_view doing) {
    if (sqlite3_step(statement) != SQLITE_DONE)
        sqlite::RaiseLast(db, doing);
}

std::optional<platform::Date> optional_date(sqlite3_stmt* statement, int column) {
    if (sqlite3_column_type(statement, column) == SQLITE_NULL)
        return std::nullopt;
    return platform::Date{sqlite3_column_double(statement, column)};
}

std::string text_column(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? text : "";
}

// The open record that a record with only out-fields closes: the employee's latest record of
// the opening type without an out-moment whose in-moment is not after the closing moment.
std::optional<int64_t> open_record(sqlite::StatementCache& statements, int32_t card,
                                   std::string_view opening, double closing_moment) {
    auto statement = statements.Use(R"sql(
        SELECT "ID" FROM "Clock Data Table"
        WHERE "Card ID" = ?1 AND "Punch Type" = ?2 AND "Date Out" IS NULL
          AND ("Date In"+"Time In") <= ?3
        ORDER BY ("Date In"+"Time In") DESC, "ID" DESC LIMIT 1)sql");
    sqlite3_bind_int(statement.get(), 1, card);
    sqlite3_bind_text(statement.get(), 2, opening.data(), static_cast<int>(opening.size()),
                      SQLITE_STATIC);
    sqlite3_bind_double(statement.get(), 3, closing_moment);
    const int rc = sqlite3_step(statement.get());
    if (rc == SQLITE_ROW)
        return sqlite3_column_int64(statement.get(), 0);
    if (rc != SQLITE_DONE)
        sqlite::RaiseLast(statements.db(), "Cannot store the punch");
    return std::nullopt;
}

// Stores one record of a punch: it closes the matching open record or becomes a row of its own.
// Gives the "ID" of the row it wrote, none when the record holds nothing.
std::optional<int64_t> store_record(sqlite::StatementCache& statements, int32_t card,
                                    const PunchRecord& record) {
    sqlite3* db = statements.db();
    const std::map<std::string, platform::Variant> values = record.values();
    if (values.empty())
        return std::nullopt;  // the punch wrote nothing into this record

    std::optional<int64_t> closes;
    if (const auto closing = ClosingOf(values))
        closes = open_record(statements, card, closing->opening, closing->moment);

    std::string sql;
    if (closes) {
        sql = "UPDATE \"Clock Data Table\" SET ";
        bool first = true;
        for (const auto& [field, value] : values) {
            if (!first)
                sql += ", ";
            sql += identifier(field) + " = ?";
            first = false;
        }
        sql += " WHERE \"ID\" = ?";
    } else {
        std::string names = "\"Card ID\"";
        std::string marks = "?";
        for (const auto& [field, value] : values) {
            names += ", " + identifier(field);
            marks += ", ?";
        }
        sql = "INSERT INTO \"Clock Data Table\" (" + names + ") VALUES (" + marks + ")";
    }
    auto statement = statements.Use(sql);
    int index = 1;
    if (!closes)
        sqlite3_bind_int(statement.get(), index++, card);
    for (const auto& [field, value] : values) {
        bind_value(db, statement.get(), index++, field, value);
    }
    if (closes)
        sqlite3_bind_int64(statement.get(), index, *closes);
    step_done(db, statement.get(), "Cannot store the punch");
    return closes ? *closes : sqlite3_last_insert_rowid(db);
}

void store_entry(sqlite::StatementCache& statements, int64_t record_id, const ManagerEntry& entry) {
    sqlite3* db = statements.db();
    auto statement = statements.Use(R"sql(
        INSERT INTO "Manager Entries" ("Record ID", "Manager Card", "Entered At", "Clock Name")
        VALUES (?, ?, ?, ?))sql");
    sqlite3_bind_int64(statement.get(), 1, record_id);
    sqlite3_bind_int(statement.get(), 2, entry.manager_card);
    sqlite3_bind_double(statement.get(), 3, entry.entered_at.days);
    sqlite3_bind_text(statement.get(), 4, entry.clock_name.data(),
                      static_cast<int>(entry.clock_name.size()), SQLITE_TRANSIENT);
    step_done(db, statement.get(), "Cannot store the punch");
}

bool has_column(sqlite3* db, std::string_view table, std::string_view column) {
    auto statement = sqlite::Prepare(db, "PRAGMA table_info(" + identifier(table) + ")");
    while (sqlite3_step(statement.get()) == SQLITE_ROW) {
        if (text_column(statement.get(), 1) == column)
            return true;
    }
    return false;
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
    // Short pauses first, as a punch holds the file for a few milliseconds, then longer ones.
    static constexpr std::array<int, 8> kPausesMs{1, 2, 5, 10, 25, 50, 100, 200};
    auto& wait = *static_cast<BusyWait*>(self);
    if (count == 0) {
        wait.m_waited = std::chrono::milliseconds(0);
        if (wait.m_waiting)
            wait.m_waiting();
    }
    if (wait.m_waited >= wait.m_limit)
        return 0;
    const auto pause = std::min<std::chrono::milliseconds>(
        std::chrono::milliseconds(
            kPausesMs[std::min<size_t>(static_cast<size_t>(count), kPausesMs.size() - 1)]),
        wait.m_limit - wait.m_waited);
    sqlite3_sleep(static_cast<int>(pause.count()));
    wait.m_waited += pause;
    return 1;
}

SqliteClockStore::SqliteClockStore(const std::filesystem::path& file,
                                   std::chrono::milliseconds busy_wait) {
    auto db = sqlite::Open(file, sqlite::OpenMode::CreateWhenMissing, busy_wait);
    // WAL lets a clock read while another writes; NORMAL keeps a committed punch across a crash
    // of the program (the file system's flush is what a power loss can cost).
    // Switching to WAL needs the file to itself: only the first clock on a new file does it.
    if (journal_mode(db.get()) != "wal")
        sqlite::Exec(db.get(), "PRAGMA journal_mode=WAL");
    sqlite::Exec(db.get(), "PRAGMA synchronous=NORMAL");
    sqlite::Exec(db.get(), "BEGIN IMMEDIATE");
    try {
        sqlite::Exec(db.get(), kSchema.c_str());
        if (!has_column(db.get(), "Employees", kPinColumn)) {
            sqlite::Exec(db.get(), ("ALTER TABLE \"Employees\" ADD COLUMN " +
                                    identifier(kPinColumn) + " TEXT")
                                       .c_str());
        }
        sqlite::Exec(db.get(), "COMMIT");
    } catch (...) {
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    // A file the clock may only read (its permissions, or its own header) could not take a
    // punch: say so now, before anyone types one.
    if (sqlite3_db_readonly(db.get(), "main") == 1) {
        platform::raise(dberr::kReadOnly, "Cannot use the clock database in '" + file.string() +
                                              "': the database may only be read.");
    }
    m_busy = std::make_unique<BusyWait>(busy_wait);
    m_busy->Install(db.get());
    m_db = db.release();
    m_statements = std::make_unique<sqlite::StatementCache>(m_db);
}

SqliteClockStore::~SqliteClockStore() {
    m_statements.reset();  // statements go before their connection
    sqlite3_close_v2(m_db);
}

// A file is never half-reached: its punches need no identity.
void SqliteClockStore::StorePunch(const PunchWrite& punch, const std::string& /*identity*/) {
    Transaction transaction(m_db);
    const auto store = [&](const PunchRecord& record) {
        const auto id = store_record(*m_statements, punch.card, record);
        if (id && punch.entered_by)
            store_entry(*m_statements, *id, *punch.entered_by);
    };
    if (punch.own)
        store(*punch.own);
    for (const auto& extra : punch.extras) {
        if (extra)
            store(*extra);
    }
    transaction.Commit();
}

void SqliteClockStore::AddEmployee(const Employee& employee, const std::string& pin_hash) {
    Transaction transaction(m_db);
    if (FindEmployee(employee.card)) {
        platform::raise(
            platform::err::kKeyAlreadyAssociated,
            "An employee with card " + std::to_string(employee.card) + " already exists.");
    }
    auto statement = m_statements->Use(
        R"sql(INSERT INTO "Employees" ("Card ID", "Name", "Manager", "PIN Hash") VALUES (?, ?, ?, ?))sql");
    sqlite3_bind_int(statement.get(), 1, employee.card);
    sqlite3_bind_text(statement.get(), 2, employee.name.data(),
                      static_cast<int>(employee.name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(statement.get(), 3, employee.manager ? 1 : 0);
    if (pin_hash.empty())
        sqlite3_bind_null(statement.get(), 4);
    else
        sqlite3_bind_text(statement.get(), 4, pin_hash.data(), static_cast<int>(pin_hash.size()),
                          SQLITE_TRANSIENT);
    step_done(m_db, statement.get(), "Cannot add the employee");
    transaction.Commit();
}

void SqliteClockStore::SetPinHash(int32_t card, const std::string& hash) {
    auto statement =
        m_statements->Use(R"sql(UPDATE "Employees" SET "PIN Hash" = ? WHERE "Card ID" = ?)sql");
    sqlite3_bind_text(statement.get(), 1, hash.data(), static_cast<int>(hash.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_int(statement.get(), 2, card);
    step_done(m_db, statement.get(), "Cannot keep the PIN");
}

namespace {

std::string pin_hash(sqlite::StatementCache& statements, int32_t card) {
    sqlite3* db = statements.db();
    auto statement = statements.Use(
        R"sql(SELECT "PIN Hash" FROM "Employees" WHERE "Card ID" = ? AND "Manager" <> 0)sql");
    sqlite3_bind_int(statement.get(), 1, card);
    const int rc = sqlite3_step(statement.get());
    if (rc == SQLITE_ROW)
        return text_column(statement.get(), 0);
    if (rc != SQLITE_DONE)
        sqlite::RaiseLast(db, "Cannot read the employees");
    return {};
}

}  // namespace

std::string SqliteClockStore::PinHash(int32_t card) const {
    return pin_hash(*m_statements, card);
}

bool SqliteClockStore::RemoveEmployee(int32_t card) {
    auto statement = m_statements->Use(R"sql(DELETE FROM "Employees" WHERE "Card ID" = ?)sql");
    sqlite3_bind_int(statement.get(), 1, card);
    step_done(m_db, statement.get(), "Cannot remove the employee");
    return sqlite3_changes(m_db) > 0;
}

std::vector<Employee> SqliteClockStore::Employees() const {
    auto statement = m_statements->Use(
        R"sql(SELECT "Card ID", "Name", "Manager" FROM "Employees" ORDER BY "Card ID")sql");
    std::vector<Employee> result;
    int rc = 0;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        result.push_back({sqlite3_column_int(statement.get(), 0), text_column(statement.get(), 1),
                          sqlite3_column_int(statement.get(), 2) != 0});
    }
    if (rc != SQLITE_DONE)
        sqlite::RaiseLast(m_db, "Cannot read the employees");
    return result;
}

std::optional<Employee> SqliteClockStore::FindEmployee(int32_t card) const {
    auto statement = m_statements->Use(
        R"sql(SELECT "Card ID", "Name", "Manager" FROM "Employees" WHERE "Card ID" = ?)sql");
    sqlite3_bind_int(statement.get(), 1, card);
    const int rc = sqlite3_step(statement.get());
    if (rc == SQLITE_ROW) {
        return Employee{sqlite3_column_int(statement.get(), 0), text_column(statement.get(), 1),
                        sqlite3_column_int(statement.get(), 2) != 0};
    }
    if (rc != SQLITE_DONE)
        sqlite::RaiseLast(m_db, "Cannot read the employees");
    return std::nullopt;
}

namespace {

constexpr const char* kRowColumns = R"sql(
        SELECT "ID", "Card ID", "Date In", "Time In", "Date Out", "Time Out", "Punch Type",
               "Notes", "Holiday", "Sick", "Vacation", "Bonus", "Advances", "Personal", "Other"
        FROM "Clock Data Table" )sql";

std::vector<ClockDatabase::Row> read_rows(sqlite3* db, sqlite3_stmt* s) {
    std::vector<ClockDatabase::Row> rows;
    int rc = 0;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        ClockDatabase::Row row;
        row.id = sqlite3_column_int64(s, 0);
        row.card = sqlite3_column_int(s, 1);
        row.date_in = optional_date(s, 2);
        row.time_in = optional_date(s, 3);
        row.date_out = optional_date(s, 4);
        row.time_out = optional_date(s, 5);
        row.punch_type = text_column(s, 6);
        row.notes = text_column(s, 7);
        row.holiday = sqlite3_column_double(s, 8);
        row.sick = sqlite3_column_double(s, 9);
        row.vacation = sqlite3_column_double(s, 10);
        row.bonus = sqlite3_column_double(s, 11);
        row.advances = sqlite3_column_double(s, 12);
        row.personal = sqlite3_column_double(s, 13);
        row.other = sqlite3_column_double(s, 14);
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        sqlite::RaiseLast(db, "Cannot read the punches");
    return rows;
}

}  // namespace

std::vector<ClockDatabase::Row> SqliteClockStore::Rows(std::optional<int32_t> card) const {
    auto statement = m_statements->Use(std::string(kRowColumns) +
                                       R"sql(WHERE ?1 IS NULL OR "Card ID" = ?1 ORDER BY "ID")sql");
    if (card)
        sqlite3_bind_int(statement.get(), 1, *card);
    return read_rows(m_db, statement.get());
}

std::vector<ClockDatabase::Row> SqliteClockStore::RowsBetween(std::optional<int32_t> card,
                                                              platform::Date from,
                                                              platform::Date to) const {
    // One card: the same multi-index OR as the automatic punch's lookup, over the two moment
    // indexes led by the card. Every card: the moment indexes without the card, each a range.
    const char* where =
        card ? R"sql(WHERE "Card ID" = ?3 AND (("Date In"+"Time In") BETWEEN ?1 AND ?2
                      OR ("Date Out"+"Time Out") BETWEEN ?1 AND ?2) ORDER BY "ID")sql"
             : R"sql(WHERE ("Date In"+"Time In") BETWEEN ?1 AND ?2
                      OR ("Date Out"+"Time Out") BETWEEN ?1 AND ?2 ORDER BY "Card ID", "ID")sql";
    auto statement = m_statements->Use(std::string(kRowColumns) + where);
    sqlite3_bind_double(statement.get(), 1, from.days);
    sqlite3_bind_double(statement.get(), 2, to.days);
    if (card)
        sqlite3_bind_int(statement.get(), 3, *card);
    return read_rows(m_db, statement.get());
}

std::vector<ClockDatabase::EnteredRecord> SqliteClockStore::ManagerEntries(
    std::optional<platform::Date> from, std::optional<platform::Date> to) const {
    auto statement = m_statements->Use(R"sql(
        SELECT "Record ID", "Manager Card", "Entered At", "Clock Name" FROM "Manager Entries"
        WHERE (?1 IS NULL OR "Entered At" >= ?1) AND (?2 IS NULL OR "Entered At" < ?2)
        ORDER BY "Entered At", "ID")sql");
    if (from)
        sqlite3_bind_double(statement.get(), 1, from->days);
    if (to)
        sqlite3_bind_double(statement.get(), 2, to->days);
    std::vector<ClockDatabase::EnteredRecord> entries;
    int rc = 0;
    sqlite3_stmt* s = statement.get();
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        entries.push_back({sqlite3_column_int64(s, 0),
                           {sqlite3_column_int(s, 1), platform::Date{sqlite3_column_double(s, 2)},
                            text_column(s, 3)}});
    }
    if (rc != SQLITE_DONE)
        sqlite::RaiseLast(m_db, "Cannot read the manager entries");
    return entries;
}

}  // namespace orvane
