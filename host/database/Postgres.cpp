#include "host/database/Postgres.h"

#include <libpq-fe.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

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

// What every connection asks for, unless its connection text asks otherwise. A server that
// stops answering must cost seconds: the connect waits 5 s at most; an idle connection is probed
// after 5 s, every 2 s, and is given up after 3 unanswered probes; data the server leaves
// unacknowledged for 10 s drops the connection; and a statement runs 30 s at most on the server.
constexpr const char* kConnectionDefaults[][2] = {
    {"connect_timeout", "5"},
    {"keepalives", "1"},
    {"keepalives_idle", "5"},
    {"keepalives_interval", "2"},
    {"keepalives_count", "3"},
    {"tcp_user_timeout", "10000"},
    {"options", "-c statement_timeout=30000"},
};

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

Connection::Connection(const std::string& uri, Deadline deadline) : m_shown(Redacted(uri)) {
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

    // Later keywords win: the URI's own settings override the clock's defaults.
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (const auto& [keyword, value] : kConnectionDefaults) {
        keywords.push_back(keyword);
        values.push_back(value);
    }
    keywords.insert(keywords.end(), {"dbname", nullptr});
    values.insert(values.end(), {uri.c_str(), nullptr});
    m_deadline = deadline;
    if (!deadline) {
        m_conn = PQconnectdbParams(keywords.data(), values.data(), 1);
    } else {
        // Step by step, so that no wait for the server lasts past the deadline.
        m_conn = PQconnectStartParams(keywords.data(), values.data(), 1);
        auto polling = PGRES_POLLING_WRITING;
        while (PQstatus(m_conn) != CONNECTION_BAD && polling != PGRES_POLLING_OK &&
               polling != PGRES_POLLING_FAILED) {
            Wait(polling == PGRES_POLLING_READING ? POLLIN : POLLOUT,
                 "Cannot reach the clock database server");
            polling = PQconnectPoll(m_conn);
        }
    }
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

void Connection::Wait(short events, std::string_view doing) {
    for (;;) {
        int timeout = -1;
        if (m_deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                *m_deadline - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::max<int64_t>(left.count(), 0));
        }
        pollfd socket{PQsocket(m_conn), events, 0};
        const int ready = poll(&socket, 1, timeout);
        if (ready > 0)
            return;
        if (ready < 0 && errno == EINTR)
            continue;
        const std::string why = ready < 0 ? std::strerror(errno) : "it did not answer in time";
        PQfinish(m_conn);
        m_conn = nullptr;
        m_timed_out = ready == 0;
        platform::raise(dberr::kConnectionFailed,
                        std::string(doing) + " in '" + m_shown + "': " + why + ".");
    }
}

ResultPtr Connection::Await(std::string_view doing) {
    ResultPtr kept;
    for (;;) {
        while (PQisBusy(m_conn)) {
            Wait(POLLIN, doing);
            // A lost connection leaves a failed result to read.
            if (!PQconsumeInput(m_conn))
                break;
        }
        ResultPtr next(PQgetResult(m_conn));
        if (!next)
            return kept;
        const auto status = PQresultStatus(kept.get());
        if (!kept || status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            kept = std::move(next);
    }
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
        if (!PQsendPrepare(m_conn, name.c_str(), sql.c_str(), static_cast<int>(values.size()),
                           types.data())) {
            Raise(nullptr, doing);
        }
        ResultPtr prepared = Await(doing);
        if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK)
            Raise(prepared.get(), doing);
        found = m_prepared.emplace(std::move(key), std::move(name)).first;
    }
    if (!PQsendQueryPrepared(m_conn, found->second.c_str(), static_cast<int>(values.size()),
                             texts.data(), nullptr, nullptr, 0)) {
        Raise(nullptr, doing);
    }
    ResultPtr result = Await(doing);
    const auto status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        Raise(result.get(), doing);
    return result;
}

void Connection::Exec(const char* sql, std::string_view doing) {
    if (!PQsendQuery(m_conn, sql))
        Raise(nullptr, doing);
    ResultPtr result = Await(doing);
    const auto status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        Raise(result.get(), doing);
}

bool Connection::TryExec(const char* sql) {
    if (Lost() || !PQsendQuery(m_conn, sql))
        return false;
    try {
        return PQresultStatus(Await("").get()) == PGRES_COMMAND_OK;
    } catch (const platform::RaisedError&) {
        return false;
    }
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
