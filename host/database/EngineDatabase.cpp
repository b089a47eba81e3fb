#include "host/database/EngineDatabase.h"

#include "host/database/ConnectionText.h"
#include "host/database/DatabaseError.h"
#include "host/database/QueryDatabase.h"
#include "platform/Error.h"

namespace orvane {

namespace {
[[noreturn]] void raise_not_open() {
    platform::raise(dberr::kNotOpen,
                    "Object invalid or no longer set: the clock database is "
                    "not open.");
}
}  // namespace

framework::VBool EngineDatabase::IsOpen() const {
    return m_open ? m_open->IsOpen() : framework::ToVBool(false);
}

void EngineDatabase::Open(const std::string& connect_string) {
    m_open.reset();
    std::shared_ptr<QueryDatabase> database;
    if (EngineOf(connect_string) == Engine::Postgres)
        database = std::make_shared<PostgresDatabase>();
    else
        database = std::make_shared<SqliteDatabase>();
    if (m_deadline)
        database->SetDeadline(*m_deadline);
    database->Open(connect_string);
    m_open = std::move(database);
}

std::shared_ptr<framework::IRecordset> EngineDatabase::Execute(const std::string& sql) {
    if (!m_open)
        raise_not_open();
    if (m_local_copy.empty() || !m_away || !m_away()) {
        try {
            return m_open->Execute(sql);
        } catch (const platform::RaisedError& error) {
            if (error.number() != dberr::kConnectionFailed || m_local_copy.empty())
                throw;
        }
    }
    if (!m_copy) {
        auto copy = std::make_shared<SqliteDatabase>();
        copy->Open(m_local_copy.string());
        m_copy = std::move(copy);
    }
    auto answer = m_copy->Execute(sql);
    ++m_answers_while_away;
    return answer;
}

void EngineDatabase::AnswerWhileAwayFrom(std::filesystem::path local_copy) {
    m_local_copy = std::move(local_copy);
    m_copy.reset();
}

void EngineDatabase::Close() {
    if (!m_open)
        raise_not_open();
    m_open->Close();
    m_open.reset();
}

}  // namespace orvane
