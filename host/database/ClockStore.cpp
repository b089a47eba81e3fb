#include "host/database/ClockStore.h"

#include "host/database/DatabaseError.h"
#include "platform/Error.h"

namespace orvane {

namespace {

using Row = ClockDatabase::Row;

constexpr std::string_view kStoring = "Cannot store the punch";
constexpr std::string_view kReadingEmployees = "Cannot read the employees";
constexpr std::string_view kReadingPunches = "Cannot read the punches";

// The tables of the clock database. Dates are the platform's date type in 8-byte floating point
// columns. The partial index of open records serves the pairing of an out punch with the
// employee's open record; the moment indexes serve the automatic punch's lookup.
std::string schema(const StoreEngine& engine) {
    const auto type = [&](SqlType kind) { return std::string(engine.TypeName(kind)); };
    std::string sql = "CREATE TABLE IF NOT EXISTS \"Clock Data Table\" (\n    \"ID\" " +
                      type(SqlType::Key) + ",\n    \"Card ID\" " + type(SqlType::Integer) +
                      " NOT NULL,\n" + DefinitionLines(RecordColumnDefinitions(engine)) + "\n);" +
                      kMomentIndexes +
                      R"sql(
CREATE INDEX IF NOT EXISTS "Clock Data Open Records"
    ON "Clock Data Table" ("Card ID", "Punch Type", ("Date In"+"Time In"))
    WHERE "Date Out" IS NULL;
CREATE TABLE IF NOT EXISTS "Employees" (
    "Card ID" INTEGER PRIMARY KEY,
    "Name" TEXT NOT NULL DEFAULT '',
    "Manager" INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS "Manager Entries" (
    "ID" )sql" + type(SqlType::Key) +
                      ",\n    \"Record ID\" " + type(SqlType::Reference) + R"sql( NOT NULL,
    "Manager Card" INTEGER NOT NULL,
    "Entered At" )sql" +
                      type(SqlType::Real) +
                      R"sql( NOT NULL,
    "Clock Name" TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS "Manager Entries Record" ON "Manager Entries" ("Record ID");
CREATE INDEX IF NOT EXISTS "Manager Entries Moment" ON "Manager Entries" ("Entered At");
)sql";
    // The identities of the punches stored, where a punch may arrive twice.
    if (engine.MayReceiveTwice()) {
        sql += R"sql(CREATE TABLE IF NOT EXISTS "Stored Punches" (
    "Punch ID" TEXT PRIMARY KEY,
    "Stored At" TIMESTAMPTZ NOT NULL DEFAULT now()
);
)sql";
    }
    return sql;
}

std::vector<Row> read_rows(StoreEngine& engine, const std::string& sql,
                           const std::vector<SqlValue>& values) {
    const auto found = engine.Run(sql, values, kReadingPunches);
    std::vector<Row> rows;
    while (found->Next())
        rows.push_back(ReadRow(*found));
    return rows;
}

Employee employee_at(const SqlRows& rows) {
    return {static_cast<int32_t>(rows.Int(0)), rows.Text(1), rows.Int(2) != 0, rows.Int(3) != 0};
}

const std::string& select_rows() {
    static const std::string sql =
        "SELECT \"ID\", \"Card ID\", " + RecordColumnList() + " FROM \"Clock Data Table\" ";
    return sql;
}

// The open record that a record with only out-fields closes: the employee's latest record of
// the opening type without an out-moment whose in-moment is not after the closing moment and no
// older than the longest shift. An older open record is a missing out: a later punch never
// closes it, and the out stands alone as a missing in.
std::optional<int64_t> open_record(StoreEngine& engine, int32_t card, std::string_view opening,
                                   double closing_moment, const punches::ShiftRules& shift) {
    static const std::string sql = R"sql(
        SELECT "ID" FROM "Clock Data Table"
        WHERE "Card ID" = ?1 AND "Punch Type" = ?2 AND "Date Out" IS NULL
          AND ("Date In"+"Time In") <= ?3 AND ("Date In"+"Time In") >= ?4 AND )sql" +
                                   std::string(kNotVoided) +
                                   R"sql(
        ORDER BY ("Date In"+"Time In") DESC, "ID" DESC LIMIT 1)sql";
    // Moments are kept in whole minutes; half a minute of slack keeps a record opened exactly
    // the longest shift ago closable whatever the rounding of its sum.
    constexpr double kHalfMinute = 0.5 / (24 * 60);
    const double earliest =
        punches::EarliestClosable(platform::Date{closing_moment}, shift).days - kHalfMinute;
    const auto found = engine.Run(sql,
                                  {SqlValue::Int(card), SqlValue::Text(std::string(opening)),
                                   SqlValue::Real(closing_moment), SqlValue::Real(earliest)},
                                  kStoring);
    if (!found->Next())
        return std::nullopt;
    return found->Int(0);
}

}  // namespace

std::string CorrectedPunchesView(const StoreEngine& engine) {
    const bool server = engine.QueryTarget() == sql::Target::Postgres;
    return std::string(server ? "CREATE OR REPLACE VIEW " : "CREATE VIEW IF NOT EXISTS ") +
           Quoted(kCorrectedPunches) + " AS SELECT * FROM \"Clock Data Table\" WHERE " +
           kNotVoided + ";";
}

ClockStore::ClockStore(std::unique_ptr<StoreEngine> engine) : m_engine(std::move(engine)) {
    try {
        Ready();
    } catch (const platform::RaisedError& error) {
        // A clock starts while its server is away and keeps its punches until it is back; a
        // URI that cannot be read, a refused login or a missing database are said at once.
        if (error.number() != dberr::kConnectionFailed)
            throw;
    }
}

ClockStore::~ClockStore() = default;

StoreEngine& ClockStore::Ready() {
    if (!m_tables_made)
        MakeTables();
    return *m_engine;
}

void ClockStore::MakeTables() {
    constexpr std::string_view kMaking = "Cannot make the clock database's tables";
    StoreTransaction transaction(*m_engine, kMaking);
    m_engine->LockSchema(kMaking);
    m_engine->Exec(schema(*m_engine), kMaking);
    m_engine->Exec(CorrectionTables(*m_engine), kMaking);
    AddMissingColumns(*m_engine, "Clock Data Table", RecordColumnDefinitions(*m_engine), kMaking);
    AddMissingColumns(*m_engine, "Employees",
                      {{"PIN Hash", std::string(m_engine->TypeName(SqlType::Text))}}, kMaking);
    // Made after the columns are complete: a server's view lists the columns it was made with.
    m_engine->Exec(CorrectedPunchesView(*m_engine), kMaking);
    MakeRosterTables();
    transaction.Commit(kMaking);
    m_tables_made = true;
}

// Stores one record of a punch: it closes the matching open record or becomes a row of its own.
// Gives the "ID" of the row it wrote, none when the record holds nothing.
std::optional<int64_t> ClockStore::StoreRecord(int32_t card, const PunchRecord& record) {
    const std::map<std::string, platform::Variant> fields = record.values();
    if (fields.empty())
        return std::nullopt;  // the punch wrote nothing into this record

    std::optional<int64_t> closes;
    if (const auto closing = ClosingOf(fields))
        closes = open_record(*m_engine, card, closing->opening, closing->moment, m_shift);

    std::vector<SqlValue> values;
    std::string names;
    std::string marks;
    if (!closes) {
        values.push_back(SqlValue::Int(card));
        names = "\"Card ID\"";
        marks = "?1";
    }
    for (const auto& [field, value] : fields) {
        const auto* column = RecordColumnNamed(field);
        if (!column)
            platform::raise(dberr::kItemNotFound,
                            std::string(kStoring) + ": the record has no field '" + field + "'.");
        values.push_back(StoredValue(*column, value));
        const std::string mark = "?" + std::to_string(values.size());
        if (closes) {
            names += (names.empty() ? "" : ", ") + Quoted(field) + " = " + mark;
        } else {
            names += ", " + Quoted(field);
            marks += ", " + mark;
        }
    }
    if (closes) {
        values.push_back(SqlValue::Int(*closes));
        m_engine->RunToEnd("UPDATE \"Clock Data Table\" SET " + names + " WHERE \"ID\" = ?" +
                               std::to_string(values.size()),
                           values, kStoring);
        return closes;
    }
    const auto inserted = m_engine->Run(
        "INSERT INTO \"Clock Data Table\" (" + names + ") VALUES (" + marks + ") RETURNING \"ID\"",
        values, kStoring);
    inserted->Next();
    const int64_t id = inserted->Int(0);
    inserted->Next();
    return id;
}

void ClockStore::StorePunch(const PunchWrite& punch, const std::string& identity) {
    auto& engine = Ready();
    StoreTransaction transaction(engine, kStoring);
    engine.LockCard(punch.card, kStoring);
    // A punch whose identity is already kept was stored before (its first sending lost the
    // answer): it is not stored again.
    if (engine.MayReceiveTwice() && !identity.empty()) {
        const int64_t first = engine.RunToEnd(
            R"sql(INSERT INTO "Stored Punches" ("Punch ID") VALUES (?1) ON CONFLICT DO NOTHING)sql",
            {SqlValue::Text(identity)}, kStoring);
        if (first == 0) {
            transaction.Commit(kStoring);
            return;
        }
    }
    RefuseInactive(punch.card);
    const auto store = [&](const PunchRecord& record) {
        const auto id = StoreRecord(punch.card, record);
        if (!id)
            return;
        RefuseApproved(*RowWithId(*id));
        if (!m_clock_name.empty()) {
            engine.RunToEnd(R"sql(
        INSERT INTO "Punch Clocks" ("Record ID", "Clock Name") VALUES (?1, ?2)
        ON CONFLICT ("Record ID") DO NOTHING)sql",
                            {SqlValue::Int(*id), SqlValue::Text(m_clock_name)}, kStoring);
        }
        if (!punch.entered_by)
            return;
        const auto& entry = *punch.entered_by;
        engine.RunToEnd(R"sql(
        INSERT INTO "Manager Entries" ("Record ID", "Manager Card", "Entered At", "Clock Name")
        VALUES (?1, ?2, ?3, ?4))sql",
                        {SqlValue::Int(*id), SqlValue::Int(entry.manager_card),
                         SqlValue::Real(entry.entered_at.days), SqlValue::Text(entry.clock_name)},
                        kStoring);
    };
    if (punch.own)
        store(*punch.own);
    for (const auto& extra : punch.extras) {
        if (extra)
            store(*extra);
    }
    transaction.Commit(kStoring);
}

void ClockStore::RefuseInactive(int32_t card) {
    const auto found =
        m_engine->Run(R"sql(SELECT 1 FROM "Employees" WHERE "Card ID" = ?1 AND "Active" = 0)sql",
                      {SqlValue::Int(card)}, kStoring);
    if (found->Next()) {
        platform::raise(dberr::kInactiveCard,
                        "Card " + std::to_string(card) +
                            " is inactive: its employee was removed and cannot punch.");
    }
}

void ClockStore::AddEmployee(const Employee& employee, const std::string& pin_hash) {
    // One statement: the employee and the PIN are stored together or not at all.
    const int64_t added =
        Ready().RunToEnd(R"sql(
        INSERT INTO "Employees" ("Card ID", "Name", "Manager", "PIN Hash")
        VALUES (?1, ?2, ?3, NULLIF(?4, ''))
        ON CONFLICT ("Card ID") DO NOTHING)sql",
                         {SqlValue::Int(employee.card), SqlValue::Text(employee.name),
                          SqlValue::Int(employee.manager ? 1 : 0), SqlValue::Text(pin_hash)},
                         "Cannot add the employee");
    if (added == 0) {
        platform::raise(
            platform::err::kKeyAlreadyAssociated,
            "An employee with card " + std::to_string(employee.card) + " already exists.");
    }
}

std::vector<Employee> ClockStore::Employees() {
    const auto found = Ready().Run(
        R"sql(SELECT "Card ID", "Name", "Manager", "Active" FROM "Employees" ORDER BY "Card ID")sql",
        {}, kReadingEmployees);
    std::vector<Employee> employees;
    while (found->Next())
        employees.push_back(employee_at(*found));
    return employees;
}

std::optional<Employee> ClockStore::FindEmployee(int32_t card) {
    const auto found = Ready().Run(
        R"sql(SELECT "Card ID", "Name", "Manager", "Active" FROM "Employees" WHERE "Card ID" = ?1)sql",
        {SqlValue::Int(card)}, kReadingEmployees);
    if (!found->Next())
        return std::nullopt;
    return employee_at(*found);
}

void ClockStore::SetPinHash(int32_t card, const std::string& hash) {
    Ready().RunToEnd(R"sql(UPDATE "Employees" SET "PIN Hash" = ?1 WHERE "Card ID" = ?2)sql",
                     {SqlValue::Text(hash), SqlValue::Int(card)}, "Cannot keep the PIN");
}

std::string ClockStore::PinHash(int32_t card) {
    const auto found = Ready().Run(
        R"sql(SELECT "PIN Hash" FROM "Employees" WHERE "Card ID" = ?1 AND "Manager" <> 0)sql",
        {SqlValue::Int(card)}, kReadingEmployees);
    if (!found->Next() || found->IsNull(0))
        return {};
    return found->Text(0);
}

std::vector<Row> ClockStore::Rows(std::optional<int32_t> card) {
    static const std::string sql = select_rows() +
                                   R"sql(WHERE (?1 IS NULL OR "Card ID" = ?1) AND )sql" +
                                   kNotVoided + R"sql( ORDER BY "ID")sql";
    return read_rows(Ready(), sql,
                     {card ? SqlValue::Int(*card) : SqlValue::Null(SqlType::Integer)});
}

std::vector<Row> ClockStore::RowsBetween(std::optional<int32_t> card, platform::Date from,
                                         platform::Date to) {
    // One card: the same multi-index OR as the automatic punch's lookup, over the two moment
    // indexes led by the card. Every card (a report): the moments alone.
    static const std::string one_card =
        select_rows() + R"sql(WHERE "Card ID" = ?3 AND (("Date In"+"Time In") BETWEEN ?1 AND ?2
                      OR ("Date Out"+"Time Out") BETWEEN ?1 AND ?2) AND )sql" +
        kNotVoided + R"sql( ORDER BY "ID")sql";
    static const std::string every_card = select_rows() +
                                          R"sql(WHERE (("Date In"+"Time In") BETWEEN ?1 AND ?2
                      OR ("Date Out"+"Time Out") BETWEEN ?1 AND ?2) AND )sql" +
                                          kNotVoided + R"sql( ORDER BY "Card ID", "ID")sql";
    std::vector<SqlValue> values{SqlValue::Real(from.days), SqlValue::Real(to.days)};
    if (card)
        values.push_back(SqlValue::Int(*card));
    return read_rows(Ready(), card ? one_card : every_card, values);
}

std::optional<Row> ClockStore::RowWithId(int64_t id) {
    static const std::string sql = select_rows() + R"sql(WHERE "ID" = ?1)sql";
    auto rows = read_rows(Ready(), sql, {SqlValue::Int(id)});
    if (rows.empty())
        return std::nullopt;
    return std::move(rows.front());
}

std::vector<ClockDatabase::EnteredRecord> ClockStore::ManagerEntries(
    std::optional<platform::Date> from, std::optional<platform::Date> to) {
    const auto moment = [](const std::optional<platform::Date>& date) {
        return date ? SqlValue::Real(date->days) : SqlValue::Null(SqlType::Real);
    };
    const auto found = Ready().Run(R"sql(
        SELECT "Record ID", "Manager Card", "Entered At", "Clock Name" FROM "Manager Entries"
        WHERE (?1 IS NULL OR "Entered At" >= ?1) AND (?2 IS NULL OR "Entered At" < ?2)
        ORDER BY "Entered At", "ID")sql",
                                   {moment(from), moment(to)}, "Cannot read the manager entries");
    std::vector<ClockDatabase::EnteredRecord> entries;
    while (found->Next()) {
        entries.push_back({found->Int(0),
                           {static_cast<int32_t>(found->Int(1)), platform::Date{found->Real(2)},
                            found->Text(3)}});
    }
    return entries;
}

}  // namespace orvane
