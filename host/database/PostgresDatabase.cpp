#include "host/database/PostgresDatabase.h"

#include <libpq-fe.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "host/database/DatabaseError.h"
#include "host/database/Postgres.h"
#include "host/database/SqlDialect.h"
#include "platform/Error.h"
#include "platform/TextScan.h"

namespace orvane {

namespace {

// PostgreSQL type ids of the columns read as numbers.
constexpr Oid kBool = 16;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kNumeric = 1700;

[[noreturn]] void raise_not_open() {
    platform::raise(dberr::kNotOpen,
                    "Object invalid or no longer set: the clock database is "
                    "not open.");
}

platform::Variant column_value(const pg_result* result, int row, int column) {
    if (pg::IsNull(result, row, column))
        return platform::Variant::null();
    switch (PQftype(result, column)) {
        case kBool:
            return platform::Variant(pg::TextAt(result, row, column) == "t");
        case kInt2:
        case kInt4:
        case kInt8: {
            const int64_t value = pg::IntAt(result, row, column);
            if (value >= std::numeric_limits<int32_t>::min() &&
                value <= std::numeric_limits<int32_t>::max()) {
                return platform::Variant(static_cast<int32_t>(value));
            }
            return platform::Variant(static_cast<double>(value));
        }
        case kFloat4:
        case kFloat8:
        case kNumeric:
            return platform::Variant(pg::RealAt(result, row, column));
        default:
            return platform::Variant(pg::TextAt(result, row, column));
    }
}

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

// The rows of one Execute, read forward; they came whole from the server.
class PostgresRecordset final : public framework::IRecordset {
  public:
    explicit PostgresRecordset(pg::ResultPtr result) : m_result(std::move(result)) {
        const int count = PQnfields(m_result.get());
        for (int i = 0; i < count; ++i)
            m_columns.emplace_back(PQfname(m_result.get(), i));
    }

    framework::VBool Eof() const override {
        if (m_closed)
            raise_not_open();
        return framework::ToVBool(at_end());
    }

    std::shared_ptr<framework::IRecordsetField> Fields(const std::string& name) const override {
        if (m_closed)
            raise_not_open();
        if (at_end())
            platform::raise(dberr::kNoCurrentRecord, "No current record.");
        const auto it = std::find_if(
            m_columns.begin(), m_columns.end(),
            [&](const std::string& column) { return platform::text::iequals(column, name); });
        if (it == m_columns.end()) {
            platform::raise(
                dberr::kItemNotFound,
                "Item not found in this collection: there is no column '" + name + "'.");
        }
        const int column = static_cast<int>(it - m_columns.begin());
        return std::make_shared<RecordsetField>(*it, column_value(m_result.get(), m_row, column));
    }

    void MoveNext() override {
        if (m_closed)
            raise_not_open();
        if (at_end())
            platform::raise(dberr::kNoCurrentRecord, "No current record.");
        ++m_row;
    }

    void Close() override {
        if (m_closed)
            raise_not_open();
        m_closed = true;
        m_result.reset();
    }

  private:
    bool at_end() const { return m_row >= pg::Rows(m_result.get()); }

    pg::ResultPtr m_result;
    std::vector<std::string> m_columns;
    int m_row = 0;
    bool m_closed = false;
};

// A connection for the host's queries. Its statements use their generic plan from the first
// run: the automatic punch's lookup, whose card and bounds change at every punch, would otherwise
// be planned anew each time (the planner keeps custom plans when they look cheaper than the
// generic one), which costs the server several times what the lookup itself does. The generic
// plan of the lookup is the same reading of the two moment indexes.
std::shared_ptr<pg::Connection> connect(const std::string& uri) {
    auto connection = std::make_shared<pg::Connection>(uri);
    connection->Exec("SET plan_cache_mode = force_generic_plan", "Cannot set up the connection");
    return connection;
}

}  // namespace

PostgresDatabase::PostgresDatabase() = default;
PostgresDatabase::~PostgresDatabase() = default;

framework::VBool PostgresDatabase::IsOpen() const {
    return framework::ToVBool(m_open);
}

void PostgresDatabase::Open(const std::string& connect_string) {
    m_connection.reset();
    m_open = false;
    try {
        m_connection = connect(connect_string);
    } catch (const platform::RaisedError& error) {
        // A server away when the clock starts is asked again at the first query; a wrong URI,
        // a refused login or a missing database are said at once.
        if (error.number() != dberr::kConnectionFailed)
            throw;
    }
    m_opened_with = connect_string;
    m_open = true;
}

std::shared_ptr<framework::IRecordset> PostgresDatabase::Execute(const std::string& sql) {
    if (!m_open)
        raise_not_open();
    // A connection the server dropped (a restart, a lost network), or never made, is made anew
    // once; a server still away raises "cannot reach" (3151).
    if (!m_connection || m_connection->Lost())
        m_connection = connect(m_opened_with);
    const sql::Translation translation = sql::Translate(sql, sql::Target::Postgres);
    std::vector<pg::Value> values;
    values.reserve(translation.parameters.size());
    for (const auto& parameter : translation.parameters)
        values.push_back(pg::Value::From(parameter));
    return std::make_shared<PostgresRecordset>(
        m_connection->Run(translation.text, values, "Cannot run the query"));
}

void PostgresDatabase::Close() {
    if (!m_open)
        raise_not_open();
    m_open = false;
    m_connection.reset();
}

size_t PostgresDatabase::cached_statements() const {
    return m_connection ? m_connection->prepared_statements() : 0;
}

}  // namespace orvane
