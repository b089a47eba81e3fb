#include "host/database/LocalCopy.h"

#include <algorithm>
#include <map>

#include "host/database/ClockStore.h"
#include "host/database/RecordColumns.h"
#include "host/database/SqliteEngine.h"
#include "platform/Error.h"

namespace orvane {

namespace {

using Row = ClockDatabase::Row;

constexpr std::string_view kKeepingPunches = "Cannot keep the punches on this clock";
constexpr std::string_view kKeepingEmployee = "Cannot keep the employee on this clock";
constexpr std::string_view kReadingEmployees = "Cannot read the employees kept on this clock";

// The same columns as the server's "Clock Data Table", so that query text written for the clock
// database runs here too. "ID" is the server's, empty for a row of this clock's own punch, which
// carries the punch's identity instead and whether it has been sent. The two moment indexes
// serve the automatic punch's lookup as they do on the server.
std::string schema(const StoreEngine& engine) {
    return R"sql(
CREATE TABLE IF NOT EXISTS "Clock Data Table" (
    "Copy Row" INTEGER PRIMARY KEY,
    "ID" INTEGER UNIQUE,
    "Card ID" INTEGER NOT NULL,
)sql" + DefinitionLines(RecordColumnDefinitions(engine)) +
           R"sql(,
    "Punch ID" TEXT,
    "Sent" INTEGER NOT NULL DEFAULT 0
);)sql" + kMomentIndexes +
           R"sql(
CREATE TABLE IF NOT EXISTS "Employees" (
    "Card ID" INTEGER PRIMARY KEY,
    "Name" TEXT NOT NULL DEFAULT '',
    "Manager" INTEGER NOT NULL DEFAULT 0,
    "PIN Hash" TEXT NOT NULL DEFAULT ''
);
)sql";
}

// A row's latest moment, in or out, in SQL; rows without either sort first.
constexpr const char* kLatestMoment =
    R"sql(MAX(COALESCE("Date In"+"Time In", -1e300), COALESCE("Date Out"+"Time Out", -1e300)))sql";

// Rows that a read from the server replaces: the server's own, and this clock's punches that
// reached it before the read.
constexpr const char* kReplaced = R"sql(("ID" IS NOT NULL OR "Sent" = 1))sql";

// A row of the server (a null identity) replaces the copy of the same "ID".
const std::string& insert_row_sql() {
    static const std::string sql = [] {
        std::string marks;
        const size_t count = std::size(kRecordColumns) + 4;
        for (size_t i = 1; i <= count; ++i)
            marks += (i > 1 ? ", ?" : "?") + std::to_string(i);
        return R"sql(INSERT OR REPLACE INTO "Clock Data Table" ("ID", "Card ID", )sql" +
               RecordColumnList() + R"sql(, "Punch ID", "Sent") VALUES ()sql" + marks + ")";
    }();
    return sql;
}

double latest_moment(const Row& row) {
    double latest = -1e300;
    if (row.date_in)
        latest = std::max(latest, row.date_in->days + (row.time_in ? row.time_in->days : 0.0));
    if (row.date_out)
        latest = std::max(latest, row.date_out->days + (row.time_out ? row.time_out->days : 0.0));
    return latest;
}

// A record of one of this clock's punches as the row it stands for.
Row row_of(int32_t card, const PunchRecord& record) {
    Row row;
    row.card = card;
    for (const auto& [field, value] : record.values()) {
        if (const auto* column = RecordColumnNamed(field))
            SetRowField(row, *column, value);
    }
    return row;
}

// Inserts one row: one of the server's when `identity` is empty, else one of this clock's
// punches.
void insert_row(StoreEngine& engine, const Row& row, const std::string& identity, bool sent) {
    std::vector<SqlValue> values;
    values.push_back(identity.empty() ? SqlValue::Int(row.id) : SqlValue::Null(SqlType::Integer));
    values.push_back(SqlValue::Int(row.card));
    AppendRecordValues(row, values);
    values.push_back(identity.empty() ? SqlValue::Null(SqlType::Text) : SqlValue::Text(identity));
    values.push_back(SqlValue::Int(sent ? 1 : 0));
    engine.RunToEnd(insert_row_sql(), values, kKeepingPunches);
}

}  // namespace

LocalCopy::LocalCopy(const std::filesystem::path& file)
    : m_file(file), m_engine(std::make_unique<SqliteEngine>(file, sqlite::kDefaultBusyWait)) {
    // WAL lets the automatic punch read the copy while the clock writes it. The queue's own
    // connection keeps full synchronous commits; the copy, which the server can always give
    // again, needs no more than NORMAL.
    constexpr std::string_view kOpening = "Cannot keep the punches on this clock";
    StoreTransaction transaction(*m_engine, kOpening);
    m_engine->Exec(schema(*m_engine), kOpening);
    AddMissingColumns(*m_engine, "Clock Data Table", RecordColumnDefinitions(*m_engine), kOpening);
    transaction.Commit(kOpening);
}

LocalCopy::~LocalCopy() = default;

void LocalCopy::KeepEmployees(const std::vector<KnownEmployee>& employees) {
    auto sorted = employees;
    std::ranges::sort(sorted, {}, [](const KnownEmployee& known) { return known.employee.card; });
    if (sorted == Employees())
        return;
    constexpr std::string_view kKeeping = "Cannot keep the employees on this clock";
    StoreTransaction transaction(*m_engine, kKeeping);
    m_engine->RunToEnd(R"sql(DELETE FROM "Employees")sql", {}, kKeeping);
    for (const auto& known : sorted) {
        m_engine->RunToEnd(
            R"sql(
        INSERT OR REPLACE INTO "Employees" ("Card ID", "Name", "Manager", "PIN Hash")
        VALUES (?1, ?2, ?3, ?4))sql",
            {SqlValue::Int(known.employee.card), SqlValue::Text(known.employee.name),
             SqlValue::Int(known.employee.manager ? 1 : 0), SqlValue::Text(known.pin_hash)},
            kKeeping);
    }
    transaction.Commit(kKeeping);
}

void LocalCopy::KeepEmployee(const Employee& employee, std::optional<std::string> pin_hash) {
    if (FindEmployee(employee.card) == employee &&
        (!pin_hash || *pin_hash == PinHash(employee.card)))
        return;
    m_engine->RunToEnd(R"sql(
        INSERT INTO "Employees" ("Card ID", "Name", "Manager", "PIN Hash")
        VALUES (?1, ?2, ?3, COALESCE(?4, ''))
        ON CONFLICT ("Card ID") DO UPDATE SET "Name" = ?2, "Manager" = ?3,
            "PIN Hash" = COALESCE(?4, "PIN Hash"))sql",
                       {SqlValue::Int(employee.card), SqlValue::Text(employee.name),
                        SqlValue::Int(employee.manager ? 1 : 0),
                        pin_hash ? SqlValue::Text(*pin_hash) : SqlValue::Null(SqlType::Text)},
                       kKeepingEmployee);
}

void LocalCopy::ForgetEmployee(int32_t card) {
    m_engine->RunToEnd(R"sql(DELETE FROM "Employees" WHERE "Card ID" = ?1)sql",
                       {SqlValue::Int(card)}, "Cannot forget the employee on this clock");
}

std::vector<KnownEmployee> LocalCopy::Employees() const {
    const auto found = m_engine->Run(R"sql(
        SELECT "Card ID", "Name", "Manager", "PIN Hash" FROM "Employees" ORDER BY "Card ID")sql",
                                     {}, kReadingEmployees);
    std::vector<KnownEmployee> employees;
    while (found->Next()) {
        employees.push_back(
            {{static_cast<int32_t>(found->Int(0)), found->Text(1), found->Int(2) != 0},
             found->Text(3)});
    }
    return employees;
}

std::optional<Employee> LocalCopy::FindEmployee(int32_t card) const {
    const auto found = m_engine->Run(R"sql(
        SELECT "Name", "Manager" FROM "Employees" WHERE "Card ID" = ?1)sql",
                                     {SqlValue::Int(card)}, kReadingEmployees);
    if (!found->Next())
        return std::nullopt;
    return Employee{card, found->Text(0), found->Int(1) != 0};
}

std::string LocalCopy::PinHash(int32_t card) const {
    const auto found = m_engine->Run(R"sql(
        SELECT "PIN Hash" FROM "Employees" WHERE "Card ID" = ?1 AND "Manager" <> 0)sql",
                                     {SqlValue::Int(card)}, kReadingEmployees);
    return found->Next() ? found->Text(0) : "";
}

void LocalCopy::KeepRows(int32_t card, const std::vector<Row>& rows, std::optional<Window> window) {
    double newest = -1e300;
    for (const auto& row : rows)
        newest = std::max(newest, latest_moment(row));
    StoreTransaction transaction(*m_engine, kKeepingPunches);
    static const std::string drop =
        std::string(R"sql(DELETE FROM "Clock Data Table" WHERE "Card ID" = ?1 AND )sql") +
        kReplaced +
        R"sql( AND (?2 IS NULL
                OR ("Date In"+"Time In") BETWEEN ?2 AND ?3
                OR ("Date Out"+"Time Out") BETWEEN ?2 AND ?3))sql";
    m_engine->RunToEnd(
        drop,
        {SqlValue::Int(card), window ? SqlValue::Real(window->from) : SqlValue::Null(SqlType::Real),
         window ? SqlValue::Real(window->to) : SqlValue::Null(SqlType::Real)},
        kKeepingPunches);
    for (const auto& row : rows) {
        if (latest_moment(row) >= newest - kKeptDays)
            insert_row(*m_engine, row, "", false);
    }
    // Older rows of the card are of no use to the guards or the figures.
    static const std::string trim =
        std::string(R"sql(DELETE FROM "Clock Data Table" WHERE "Card ID" = ?1 AND "ID" IS NOT NULL
            AND )sql") +
        kLatestMoment + " < ?2";
    m_engine->RunToEnd(trim, {SqlValue::Int(card), SqlValue::Real(newest - kKeptDays)},
                       kKeepingPunches);
    transaction.Commit(kKeepingPunches);
}

void LocalCopy::AddPunch(const std::string& identity, const PunchWrite& punch, bool sent) {
    constexpr std::string_view kKeeping = "Cannot keep the punch on this clock";
    StoreTransaction transaction(*m_engine, kKeeping);
    m_engine->RunToEnd(R"sql(DELETE FROM "Clock Data Table" WHERE "Punch ID" = ?1)sql",
                       {SqlValue::Text(identity)}, kKeeping);
    if (punch.own && !punch.own->values().empty())
        insert_row(*m_engine, row_of(punch.card, *punch.own), identity, sent);
    for (const auto& extra : punch.extras) {
        if (extra && !extra->values().empty())
            insert_row(*m_engine, row_of(punch.card, *extra), identity, sent);
    }
    transaction.Commit(kKeeping);
}

void LocalCopy::MarkSent(const std::string& identity) {
    m_engine->RunToEnd(R"sql(UPDATE "Clock Data Table" SET "Sent" = 1 WHERE "Punch ID" = ?1)sql",
                       {SqlValue::Text(identity)}, "Cannot keep the punch on this clock");
}

std::vector<std::string> LocalCopy::Unsent() const {
    const auto found = m_engine->Run(R"sql(
        SELECT DISTINCT "Punch ID" FROM "Clock Data Table"
        WHERE "Punch ID" IS NOT NULL AND "Sent" = 0)sql",
                                     {}, "Cannot read the punches kept on this clock");
    std::vector<std::string> identities;
    while (found->Next())
        identities.push_back(found->Text(0));
    return identities;
}

std::vector<Row> LocalCopy::Rows(int32_t card) const {
    static const std::string sql =
        "SELECT COALESCE(\"ID\", 0), \"Card ID\", " + RecordColumnList() + R"sql(
        FROM "Clock Data Table" WHERE "Card ID" = ?1
        ORDER BY "ID" IS NULL, "ID", "Copy Row")sql";
    const auto found =
        m_engine->Run(sql, {SqlValue::Int(card)}, "Cannot read the punches kept on this clock");
    std::vector<Row> rows;
    while (found->Next())
        rows.push_back(ReadRow(*found));
    return rows;
}

}  // namespace orvane
