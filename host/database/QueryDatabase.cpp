#include "host/database/QueryDatabase.h"

#include <algorithm>
#include <vector>

#include "host/database/ClockStore.h"
#include "host/database/DatabaseError.h"
#include "host/database/PostgresEngine.h"
#include "host/database/SqlDialect.h"
#include "host/database/Sqlite.h"
#include "host/database/SqliteEngine.h"
#include "platform/Error.h"
#include "platform/TextScan.h"

namespace orvane {

namespace {

[[noreturn]] void raise_not_open() {
    platform::raise(dberr::kNotOpen,
                    "Object invalid or no longer set: the clock database is "
                    "not open.");
}

// A column of the current row, as read when the row became current.
class RecordsetField final : public framework::IRecordsetField {
  public:
    RecordsetField(std::string name, platform::Variant value)
        : m_name(std::move(name)), m_value(std::move(value)) {}
    std::string Name() const override { return m_name; }
    platform::Variant Value() const override { return m_value; }

  private:
    std::string m_name;
    platform::Variant m_value;
};

// The rows of one Execute, read forward. The current row is copied out of the engine when it
// becomes current; at the end the statement goes back to the connection at once.
class QueryRecordset final : public framework::IRecordset {
  public:
    QueryRecordset(std::shared_ptr<StoreEngine> engine, std::unique_ptr<SqlRows> rows)
        : m_engine(std::move(engine)), m_rows(std::move(rows)) {
        for (int i = 0; i < m_rows->Columns(); ++i)
            m_columns.push_back(m_rows->ColumnName(i));
        Fetch();
    }

    framework::VBool Eof() const override {
        if (m_closed)
            raise_not_open();
        return framework::ToVBool(m_eof);
    }

    std::shared_ptr<framework::IRecordsetField> Fields(const std::string& name) const override {
        if (m_closed)
            raise_not_open();
        if (m_eof)
            platform::raise(dberr::kNoCurrentRecord, "No current record.");
        const auto it = std::ranges::find_if(m_columns, [&](const std::string& column) {
            return platform::text::iequals(column, name);
        });
        if (it == m_columns.end()) {
            platform::raise(
                dberr::kItemNotFound,
                "Item not found in this collection: there is no column '" + name + "'.");
        }
        const auto index = static_cast<size_t>(it - m_columns.begin());
        return std::make_shared<RecordsetField>(*it, m_row[index]);
    }

    void MoveNext() override {
        if (m_closed)
            raise_not_open();
        if (m_eof)
            platform::raise(dberr::kNoCurrentRecord, "No current record.");
        Fetch();
    }

    void Close() override {
        if (m_closed)
            raise_not_open();
        m_closed = true;
        m_rows.reset();
    }

  private:
    // Makes the first or the next row current.
    void Fetch() {
        bool row = false;
        try {
            row = m_rows->Next();
        } catch (...) {
            m_eof = true;
            m_row.clear();
            m_rows.reset();
            throw;
        }
        if (!row) {
            m_eof = true;
            m_row.clear();
            m_rows.reset();
            return;
        }
        m_row.resize(m_columns.size());
        for (size_t i = 0; i < m_columns.size(); ++i)
            m_row[i] = m_rows->Value(static_cast<int>(i));
    }

    // The engine outlives the rows of its statement.
    std::shared_ptr<StoreEngine> m_engine;
    std::unique_ptr<SqlRows> m_rows;
    std::vector<std::string> m_columns;
    std::vector<platform::Variant> m_row;
    bool m_eof = false;
    bool m_closed = false;
};

SqlValue value_of(sql::Parameter& parameter) {
    if (const auto* whole = std::get_if<int64_t>(&parameter))
        return SqlValue::Int(*whole);
    if (const auto* number = std::get_if<double>(&parameter))
        return SqlValue::Real(*number);
    return SqlValue::Literal(std::move(std::get<std::string>(parameter)));
}

// The engine's waits bounded by `span` from now while the answer lives; unbounded without one.
std::optional<DeadlineScope> within(StoreEngine& engine,
                                    std::optional<std::chrono::milliseconds> span) {
    if (!span)
        return std::nullopt;
    return std::optional<DeadlineScope>(std::in_place, engine, *span);
}

}  // namespace

QueryDatabase::QueryDatabase(Opener open) : m_opener(std::move(open)) {}

QueryDatabase::~QueryDatabase() = default;

framework::VBool QueryDatabase::IsOpen() const {
    return framework::ToVBool(m_engine != nullptr);
}

void QueryDatabase::Open(const std::string& connect_string) {
    m_engine.reset();
    m_reads_corrected.reset();
    auto engine = m_opener(connect_string);
    try {
        const auto deadline = within(*engine, m_deadline);
        engine->Connect();
    } catch (const platform::RaisedError& error) {
        // A server away when the clock starts is asked again at the first query; a wrong URI,
        // a refused login or a missing database are said at once.
        if (error.number() != dberr::kConnectionFailed)
            throw;
    }
    m_engine = std::move(engine);
}

std::shared_ptr<framework::IRecordset> QueryDatabase::Execute(const std::string& sql) {
    if (!m_engine)
        raise_not_open();
    const auto translate = [&] {
        std::optional<sql::TableAlias> corrected;
        if (m_reads_corrected.value_or(false))
            corrected = sql::TableAlias{"Clock Data Table", kCorrectedPunches};
        return sql::Translate(sql, m_engine->QueryTarget(), corrected);
    };
    sql::Translation translation = translate();
    // The deadline covers the first query's look for the corrected punches' view as well.
    const auto deadline = within(*m_engine, m_deadline);
    if (!m_reads_corrected && sql::IsSelect(sql) && ReadsCorrected())
        translation = translate();
    std::vector<SqlValue> values;
    values.reserve(translation.parameters.size());
    for (auto& parameter : translation.parameters)
        values.push_back(value_of(parameter));
    auto rows = m_engine->Run(translation.text, values, "Cannot run the query");
    return std::make_shared<QueryRecordset>(m_engine, std::move(rows));
}

bool QueryDatabase::ReadsCorrected() {
    if (!m_reads_corrected) {
        try {
            m_engine->Exec("SELECT 1 FROM " + Quoted(kCorrectedPunches) + " WHERE 1 = 0",
                           "Cannot read the punches");
            m_reads_corrected = true;
        } catch (const platform::RaisedError& error) {
            // A server away is asked again at the next query; any other database has no view.
            if (error.number() == dberr::kConnectionFailed)
                throw;
            m_reads_corrected = false;
        }
    }
    return *m_reads_corrected;
}

void QueryDatabase::Close() {
    if (!m_engine)
        raise_not_open();
    m_engine.reset();
}

size_t QueryDatabase::cached_statements() const {
    return m_engine ? m_engine->PreparedStatements() : 0;
}

SqliteDatabase::SqliteDatabase()
    : QueryDatabase([](const std::string& connect_string) {
          return std::make_shared<SqliteEngine>(sqlite::PathOfConnectString(connect_string),
                                                sqlite::kDefaultBusyWait,
                                                SqliteEngine::Use::Queries);
      }) {}

// Its statements use their generic plan from the first run: the automatic punch's lookup, whose
// card and bounds change at every punch, would otherwise be planned anew each time (the planner
// keeps custom plans when they look cheaper than the generic one), which costs the server
// several times what the lookup itself does. The generic plan of the lookup is the same reading
// of the two moment indexes.
PostgresDatabase::PostgresDatabase()
    : QueryDatabase([](const std::string& connect_string) {
          return std::make_shared<PostgresEngine>(connect_string,
                                                  "SET plan_cache_mode = force_generic_plan");
      }) {}

}  // namespace orvane
