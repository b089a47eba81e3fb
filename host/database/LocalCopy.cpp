#include "host/database/LocalCopy.h"

#include <sqlite3.h>

#include <algorithm>
#include <map>

#include "host/database/ClockStore.h"
#include "platform/Error.h"

namespace orvane {

namespace {

// The same columns as the server's "Clock Data Table", so that query text written for the clock
// database runs here too. "ID" is the server's, empty for a row of this clock's own punch, which
// carries the punch's identity instead and whether it has been sent. The two moment indexes
// serve the automatic punch's lookup as they do on the server.
const std::string kSchema = std::string(R"sql(
PRAGMA journal_mode = WAL;
CREATE TABLE IF NOT EXISTS "Clock Data Table" (
    "Copy Row" INTEGER PRIMARY KEY,
    "ID" INTEGER UNIQUE,)sql") +
                            sqlite::kRecordColumns + R"sql(,
    "Punch ID" TEXT,
    "Sent" INTEGER NOT NULL DEFAULT 0
);)sql" + sqlite::kMomentIndexes +
                            R"sql(
CREATE TABLE IF NOT EXISTS "Employees" (
    "Card ID" INTEGER PRIMARY KEY,
    "Name" TEXT NOT NULL DEFAULT '',
    "Manager" INTEGER NOT NULL DEFAULT 0,
    "PIN Hash" TEXT NOT NULL DEFAULT ''
);
)sql";

// A row's latest moment, in or out, in SQL; rows without either sort first.
constexpr const char* kLatestMoment =
    R"sql(MAX(COALESCE("Date In"+"Time In", -1e300), COALESCE("Date Out"+"Time Out", -1e300)))sql";

// Rows that a read from the server replaces: the server's own, and this clock's punches that
// reached it before the read.
constexpr const char* kReplaced = R"sql(("ID" IS NOT NULL OR "Sent" = 1))sql";

constexpr const char* kInsertRow = R"sql(
    INSERT OR REPLACE INTO "Clock Data Table" ("ID", "Card ID", "Date In", "Time In", "Date Out",
        "Time Out", "Punch Type", "Notes", "Holiday", "Sick", "Vacation", "Bonus", "Advances",
        "Personal", "Other", "Punch ID", "Sent")
    VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17))sql";

using sqlite::Transaction;

void step_done(sqlite3* db, sqlite3_stmt* statement, std::string_view doing) {
    if (sqlite3_step(statement) != SQLITE_DONE)
        sqlite::RaiseLast(db, doing);
}

void bind_text(sqlite3_stmt* statement, int index, const std::string& text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

void bind_date(sqlite3_stmt* statement, int index, const std::optional<platform::Date>& date) {
    if (date)
        sqlite3_bind_double(statement, index, date->days);
    else
        sqlite3_bind_null(statement, index);
}

std::string text_column(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? text : "";
}

std::optional<platform::Date> date_column(sqlite3_stmt* statement, int column) {
    if (sqlite3_column_type(statement, column) == SQLITE_NULL)
        return std::nullopt;
    return platform::Date{sqlite3_column_double(statement, column)};
}

double latest_moment(const ClockDatabase::Row& row) {
    double latest = -1e300;
    if (row.date_in)
        latest = std::max(latest, row.date_in->days + (row.time_in ? row.time_in->days : 0.0));
    if (row.date_out)
        latest = std::max(latest, row.date_out->days + (row.time_out ? row.time_out->days : 0.0));
    return latest;
}

// A record of one of this clock's punches as the row it stands for.
ClockDatabase::Row row_of(int32_t card, const PunchRecord& record) {
    using Row = ClockDatabase::Row;
    static const std::map<std::string, double Row::*, std::less<>> kAmounts{
        {"Holiday", &Row::holiday}, {"Sick", &Row::sick},         {"Vacation", &Row::vacation},
        {"Bonus", &Row::bonus},     {"Advances", &Row::advances}, {"Personal", &Row::personal},
        {"Other", &Row::other}};
    Row row;
    row.card = card;
    for (const auto& [field, value] : record.values()) {
        if (value.is_null() || value.is_empty())
            continue;
        if (field == "Date In")
            row.date_in = value.to_date();
        else if (field == "Time In")
            row.time_in = value.to_date();
        else if (field == "Date Out")
            row.date_out = value.to_date();
        else if (field == "Time Out")
            row.time_out = value.to_date();
        else if (field == "Punch Type")
            row.punch_type = value.to_text();
        else if (field == "Notes")
            row.notes = value.to_text();
        else if (const auto amount = kAmounts.find(field); amount != kAmounts.end())
            row.*(amount->second) = value.to_double();
    }
    return row;
}

// Inserts one row; a server row replaces the copy of the same "ID".
void insert_row(sqlite3* db, sqlite3_stmt* statement, const ClockDatabase::Row& row,
                const std::string& identity, bool sent) {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    if (identity.empty())
        sqlite3_bind_int64(statement, 1, row.id);
    sqlite3_bind_int(statement, 2, row.card);
    bind_date(statement, 3, row.date_in);
    bind_date(statement, 4, row.time_in);
    bind_date(statement, 5, row.date_out);
    bind_date(statement, 6, row.time_out);
    bind_text(statement, 7, row.punch_type);
    bind_text(statement, 8, row.notes);
    const double amounts[] = {row.holiday,  row.sick,     row.vacation, row.bonus,
                              row.advances, row.personal, row.other};
    for (int i = 0; i < 7; ++i)
        sqlite3_bind_double(statement, 9 + i, amounts[i]);
    if (!identity.empty()) {
        bind_text(statement, 16, identity);
        sqlite3_bind_int(statement, 17, sent ? 1 : 0);
    } else {
        sqlite3_bind_int(statement, 17, 0);
    }
    step_done(db, statement, "Cannot keep the punches on this clock");
}

}  // namespace

LocalCopy::LocalCopy(const std::filesystem::path& file)
    : m_file(file), m_db(sqlite::Open(file, sqlite::OpenMode::CreateWhenMissing)) {
    // WAL lets the automatic punch read the copy while the clock writes it. The queue's own
    // connection keeps full synchronous commits; the copy, which the server can always give
    // again, needs no more than NORMAL.
    sqlite::Exec(m_db.get(), kSchema.c_str());
    sqlite::Exec(m_db.get(), "PRAGMA synchronous = NORMAL");
}

void LocalCopy::KeepEmployees(const std::vector<KnownEmployee>& employees) {
    auto sorted = employees;
    std::ranges::sort(sorted, {}, [](const KnownEmployee& known) { return known.employee.card; });
    if (sorted == Employees())
        return;
    Transaction transaction(m_db.get());
    sqlite::Exec(m_db.get(), R"sql(DELETE FROM "Employees")sql");
    auto statement = sqlite::Prepare(m_db.get(), R"sql(
        INSERT OR REPLACE INTO "Employees" ("Card ID", "Name", "Manager", "PIN Hash")
        VALUES (?, ?, ?, ?))sql");
    for (const auto& known : sorted) {
        sqlite3_reset(statement.get());
        sqlite3_bind_int(statement.get(), 1, known.employee.card);
        bind_text(statement.get(), 2, known.employee.name);
        sqlite3_bind_int(statement.get(), 3, known.employee.manager ? 1 : 0);
        bind_text(statement.get(), 4, known.pin_hash);
        step_done(m_db.get(), statement.get(), "Cannot keep the employees on this clock");
    }
    transaction.Commit();
}

void LocalCopy::KeepEmployee(const Employee& employee, std::optional<std::string> pin_hash) {
    if (FindEmployee(employee.card) == employee &&
        (!pin_hash || *pin_hash == PinHash(employee.card)))
        return;
    auto statement = sqlite::Prepare(m_db.get(), R"sql(
        INSERT INTO "Employees" ("Card ID", "Name", "Manager", "PIN Hash")
        VALUES (?1, ?2, ?3, COALESCE(?4, ''))
        ON CONFLICT ("Card ID") DO UPDATE SET "Name" = ?2, "Manager" = ?3,
            "PIN Hash" = COALESCE(?4, "PIN Hash"))sql");
    sqlite3_bind_int(statement.get(), 1, employee.card);
    bind_text(statement.get(), 2, employee.name);
    sqlite3_bind_int(statement.get(), 3, employee.manager ? 1 : 0);
    if (pin_hash)
        bind_text(statement.get(), 4, *pin_hash);
    step_done(m_db.get(), statement.get(), "Cannot keep the employee on this clock");
}

void LocalCopy::ForgetEmployee(int32_t card) {
    auto statement =
        sqlite::Prepare(m_db.get(), R"sql(DELETE FROM "Employees" WHERE "Card ID" = ?)sql");
    sqlite3_bind_int(statement.get(), 1, card);
    step_done(m_db.get(), statement.get(), "Cannot forget the employee on this clock");
}

std::vector<KnownEmployee> LocalCopy::Employees() const {
    auto statement = sqlite::Prepare(m_db.get(), R"sql(
        SELECT "Card ID", "Name", "Manager", "PIN Hash" FROM "Employees" ORDER BY "Card ID")sql");
    std::vector<KnownEmployee> employees;
    int rc = 0;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        employees.push_back(
            {{sqlite3_column_int(statement.get(), 0), text_column(statement.get(), 1),
              sqlite3_column_int(statement.get(), 2) != 0},
             text_column(statement.get(), 3)});
    }
    if (rc != SQLITE_DONE)
        sqlite::RaiseLast(m_db.get(), "Cannot read the employees kept on this clock");
    return employees;
}

std::optional<Employee> LocalCopy::FindEmployee(int32_t card) const {
    auto statement = sqlite::Prepare(m_db.get(), R"sql(
        SELECT "Name", "Manager" FROM "Employees" WHERE "Card ID" = ?)sql");
    sqlite3_bind_int(statement.get(), 1, card);
    const int rc = sqlite3_step(statement.get());
    if (rc == SQLITE_ROW)
        return Employee{card, text_column(statement.get(), 0),
                        sqlite3_column_int(statement.get(), 1) != 0};
    if (rc != SQLITE_DONE)
        sqlite::RaiseLast(m_db.get(), "Cannot read the employees kept on this clock");
    return std::nullopt;
}

std::string LocalCopy::PinHash(int32_t card) const {
    auto statement = sqlite::Prepare(m_db.get(), R"sql(
        SELECT "PIN Hash" FROM "Employees" WHERE "Card ID" = ? AND "Manager" <> 0)sql");
    sqlite3_bind_int(statement.get(), 1, card);
    return sqlite3_step(statement.get()) == SQLITE_ROW ? text_column(statement.get(), 0) : "";
}

void LocalCopy::KeepRows(int32_t card, const std::vector<ClockDatabase::Row>& rows,
                         std::optional<Window> window) {
    double newest = -1e300;
    for (const auto& row : rows)
        newest = std::max(newest, latest_moment(row));
    Transaction transaction(m_db.get());
    auto drop = sqlite::Prepare(
        m_db.get(),
        std::string(R"sql(DELETE FROM "Clock Data Table" WHERE "Card ID" = ?1 AND )sql") +
            kReplaced +
            R"sql( AND (?2 IS NULL
                OR ("Date In"+"Time In") BETWEEN ?2 AND ?3
                OR ("Date Out"+"Time Out") BETWEEN ?2 AND ?3))sql");
    sqlite3_bind_int(drop.get(), 1, card);
    if (window) {
        sqlite3_bind_double(drop.get(), 2, window->from);
        sqlite3_bind_double(drop.get(), 3, window->to);
    }
    step_done(m_db.get(), drop.get(), "Cannot keep the punches on this clock");
    auto insert = sqlite::Prepare(m_db.get(), kInsertRow);
    for (const auto& row : rows) {
        if (latest_moment(row) >= newest - kKeptDays)
            insert_row(m_db.get(), insert.get(), row, "", false);
    }
    // Older rows of the card are of no use to the guards or the figures.
    auto trim = sqlite::Prepare(
        m_db.get(),
        std::string(R"sql(DELETE FROM "Clock Data Table" WHERE "Card ID" = ?1 AND "ID" IS NOT NULL
            AND )sql") +
            kLatestMoment + " < ?2");
    sqlite3_bind_int(trim.get(), 1, card);
    sqlite3_bind_double(trim.get(), 2, newest - kKeptDays);
    step_done(m_db.get(), trim.get(), "Cannot keep the punches on this clock");
    transaction.Commit();
}

void LocalCopy::AddPunch(const std::string& identity, const PunchWrite& punch, bool sent) {
    Transaction transaction(m_db.get());
    auto drop =
        sqlite::Prepare(m_db.get(), R"sql(DELETE FROM "Clock Data Table" WHERE "Punch ID" = ?)sql");
    bind_text(drop.get(), 1, identity);
    step_done(m_db.get(), drop.get(), "Cannot keep the punch on this clock");
    auto insert = sqlite::Prepare(m_db.get(), kInsertRow);
    if (punch.own && !punch.own->values().empty())
        insert_row(m_db.get(), insert.get(), row_of(punch.card, *punch.own), identity, sent);
    for (const auto& extra : punch.extras) {
        if (extra && !extra->values().empty())
            insert_row(m_db.get(), insert.get(), row_of(punch.card, *extra), identity, sent);
    }
    transaction.Commit();
}

void LocalCopy::MarkSent(const std::string& identity) {
    auto statement = sqlite::Prepare(
        m_db.get(), R"sql(UPDATE "Clock Data Table" SET "Sent" = 1 WHERE "Punch ID" = ?)sql");
    bind_text(statement.get(), 1, identity);
    step_done(m_db.get(), statement.get(), "Cannot keep the punch on this clock");
}

std::vector<std::string> LocalCopy::Unsent() const {
    auto statement = sqlite::Prepare(m_db.get(), R"sql(
        SELECT DISTINCT "Punch ID" FROM "Clock Data Table"
        WHERE "Punch ID" IS NOT NULL AND "Sent" = 0)sql");
    std::vector<std::string> identities;
    while (sqlite3_step(statement.get()) == SQLITE_ROW)
        identities.push_back(text_column(statement.get(), 0));
    return identities;
}

std::vector<ClockDatabase::Row> LocalCopy::Rows(int32_t card) const {
    auto statement = sqlite::Prepare(m_db.get(), R"sql(
        SELECT COALESCE("ID", 0), "Card ID", "Date In", "Time In", "Date Out", "Time Out",
               "Punch Type", "Notes", "Holiday", "Sick", "Vacation", "Bonus", "Advances",
               "Personal", "Other"
        FROM "Clock Data Table" WHERE "Card ID" = ?
        ORDER BY "ID" IS NULL, "ID", "Copy Row")sql");
    sqlite3_bind_int(statement.get(), 1, card);
    std::vector<ClockDatabase::Row> rows;
    int rc = 0;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        ClockDatabase::Row row;
        auto* s = statement.get();
        row.id = sqlite3_column_int64(s, 0);
        row.card = sqlite3_column_int(s, 1);
        row.date_in = date_column(s, 2);
        row.time_in = date_column(s, 3);
        row.date_out = date_column(s, 4);
        row.time_out = date_column(s, 5);
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
        sqlite::RaiseLast(m_db.get(), "Cannot read the punches kept on this clock");
    return rows;
}

}  // namespace orvane
