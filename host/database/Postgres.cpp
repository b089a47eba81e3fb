#include "host/database/Postgres.h"

#include <libpq-fe.h>

#include <charconv>
#include <cstdlib>

#include "host/database/ConnectionText.h"
#include "host/database/DatabaseError.h"
#include "platform/Error.h"

namespace orvane::pg {

namespace {

// PostgreSQL type ids of the values the clock sends.
constexpr unsigned kInt8 = 20;
constexpr unsigned kFloat8 = 701;
constexpr unsigned kText = 25;

// Past this many distinct statements the prepared ones are dropped: a host that builds many
// different queries must not keep a statement for each on the server forever.
constexpr size_t kMaxPrepared = 64;

// How long a clock waits for a server that does not answer before it says so, unless the
// connection text asks for another wait.
constexpr const char* kConnectTimeoutSeconds = "5";

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

bool contains(std::string_view text, std::string_view piece) {
    return text.find(piece) != std::string_view::npos;
}

// The database a URI names, for messages; the whole URI when it names none.
std::string database_of(const std::string& uri) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.c_str(), &error);
    std::string name;
    for (auto* option = options; option && option->keyword; ++option) {
        if (std::string_view(option->keyword) == "dbname" && option->val)
            name = option->val;
    }
    PQconninfoFree(options);
    PQfreemem(error);
    return name;
}

}  // namespace

void ResultClear::operator()(pg_result* result) const {
    PQclear(result);
}

Value Value::Int(int64_t value) {
    return {kInt8, std::to_string(value)};
}

Value Value::Real(double value) {
    // The shortest text that reads back as the same double: a moment keeps every bit.
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return {kFloat8, std::string(buffer, end)};
}

Value Value::Text(std::string value) {
    return {kText, std::move(value)};
}

Value Value::NullReal() {
    return {kFloat8, std::nullopt};
}

Value Value::NullInt() {
    return {kInt8, std::nullopt};
}

Value Value::From(const sql::Parameter& parameter) {
    if (const auto* whole = std::get_if<int64_t>(&parameter))
        return Int(*whole);
    if (const auto* number = std::get_if<double>(&parameter))
        return Real(*number);
    // A text literal's type is left to the server, which reads it as the column it meets.
    return {0, std::get<std::string>(parameter)};
}

Connection::Connection(const std::string& uri) : m_shown(Redacted(uri)) {
    char* error = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(uri.c_str(), &error);
    if (!parsed) {
        std::string why = error ? trimmed(error) : "it cannot be read";
        // libpq quotes the text it could not read, password and all.
        for (size_t at = why.find(uri); !uri.empty() && at != std::string::npos;
             at = why.find(uri, at + m_shown.size())) {
            why.replace(at, uri.size(), m_shown);
        }
        PQfreemem(error);
        platform::raise(dberr::kBadConnectString, "The connection text '" + m_shown +
                                                      "' is no valid PostgreSQL URI: " + why + ".");
    }
    PQconninfoFree(parsed);

    // Later keywords win: the URI's own connect_timeout overrides the clock's default.
    const char* keywords[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {kConnectTimeoutSeconds, uri.c_str(), nullptr};
    m_conn = PQconnectdbParams(keywords, values, 1);
    if (PQstatus(m_conn) == CONNECTION_OK) {
        PQsetClientEncoding(m_conn, "UTF8");
        // The server's notices ("already exists, skipping") are no news to a person.
        PQsetNoticeProcessor(
            m_conn, [](void*, const char*) {}, nullptr);
        return;
    }
    const std::string message = m_conn ? trimmed(PQerrorMessage(m_conn)) : "out of memory";
    PQfinish(m_conn);
    m_conn = nullptr;
    if (contains(message, "database \"") && contains(message, "does not exist")) {
        platform::raise(dberr::kFileNotFound,
                        "Could not find the clock database '" + database_of(uri) +
                            "' on the server of '" + m_shown +
                            "': it does not exist there (create it with createdb).");
    }
    if (contains(message, "authentication failed") || contains(message, "pg_hba.conf") ||
        (contains(message, "role \"") && contains(message, "does not exist")) ||
        contains(message, "password")) {
        platform::raise(dberr::kLoginRefused,
                        "The server refused the login to '" + m_shown + "': " + message + ".");
    }
    platform::raise(dberr::kConnectionFailed, "Cannot reach the clock database server of '" +
                                                  m_shown + "': " + message + ".");
}

Connection::~Connection() {
    PQfinish(m_conn);
}

bool Connection::Lost() const {
    return !m_conn || PQstatus(m_conn) != CONNECTION_OK;
}

void Connection::Raise(pg_result* result, std::string_view doing) const {
    std::string message = trimmed(result ? PQresultErrorMessage(result) : "");
    if (message.empty() && m_conn)
        message = trimmed(PQerrorMessage(m_conn));
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const std::string_view sqlstate = state ? state : "";
    const std::string description = std::string(doing) + " in '" + m_shown + "'";
    if (Lost() || sqlstate.substr(0, 2) == "08" || sqlstate.substr(0, 3) == "57P") {
        platform::raise(dberr::kConnectionFailed,
                        description + ": the connection to the server was lost: " + message + ".");
    }
    if (IsRetryable(sqlstate)) {
        platform::raise(dberr::kLocked,
                        description + ": another clock holds the records locked: " + message + ".");
    }
    if (sqlstate == "25006") {
        platform::raise(dberr::kReadOnly, description + ": the database may only be read.");
    }
    platform::raise(dberr::kEngine, description + ": " + message + ".");
}

ResultPtr Connection::Run(const std::string& sql, const std::vector<Value>& values,
                          std::string_view doing) {
    std::string key = sql;
    key += '\x1f';
    std::vector<unsigned> types;
    std::vector<const char*> texts;
    types.reserve(values.size());
    texts.reserve(values.size());
    for (const auto& value : values) {
        types.push_back(value.type);
        texts.push_back(value.text ? value.text->c_str() : nullptr);
        key += std::to_string(value.type) + ",";
    }
    auto found = m_prepared.find(key);
    if (found == m_prepared.end() && m_prepared.size() >= kMaxPrepared) {
        Exec("DEALLOCATE ALL", doing);
        m_prepared.clear();
    }
    if (found == m_prepared.end()) {
        std::string name = "s" + std::to_string(++m_statements);
        ResultPtr prepared(PQprepare(m_conn, name.c_str(), sql.c_str(),
                                     static_cast<int>(values.size()), types.data()));
        if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK)
            Raise(prepared.get(), doing);
        found = m_prepared.emplace(std::move(key), std::move(name)).first;
    }
    ResultPtr result(PQexecPrepared(m_conn, found->second.c_str(), static_cast<int>(values.size()),
                                    texts.data(), nullptr, nullptr, 0));
    const auto status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        Raise(result.get(), doing);
    return result;
}

void Connection::Exec(const char* sql, std::string_view doing) {
    ResultPtr result(PQexec(m_conn, sql));
    const auto status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        Raise(result.get(), doing);
}

bool Connection::TryExec(const char* sql) {
    if (Lost())
        return false;
    ResultPtr result(PQexec(m_conn, sql));
    return PQresultStatus(result.get()) == PGRES_COMMAND_OK;
}

bool IsNull(const pg_result* result, int row, int column) {
    return PQgetisnull(result, row, column) != 0;
}

std::string TextAt(const pg_result* result, int row, int column) {
    return std::string(PQgetvalue(result, row, column),
                       static_cast<size_t>(PQgetlength(result, row, column)));
}

int64_t IntAt(const pg_result* result, int row, int column) {
    return std::strtoll(PQgetvalue(result, row, column), nullptr, 10);
}

double RealAt(const pg_result* result, int row, int column) {
    // Read without the process's locale: a decimal comma must not cut a moment short.
    const char* text = PQgetvalue(result, row, column);
    double value = 0;
    std::from_chars(text, text + PQgetlength(result, row, column), value);
    return value;
}

int Rows(const pg_result* result) {
    return PQntuples(result);
}

int64_t Affected(const pg_result* result) {
    return std::strtoll(PQcmdTuples(const_cast<pg_result*>(result)), nullptr, 10);
}

bool IsRetryable(std::string_view sqlstate) {
    return sqlstate == "40001" || sqlstate == "40P01";
}

}  // namespace orvane::pg
