#include "host/database/PunchQueue.h"

#include <sqlite3.h>

#include <nlohmann/json.hpp>

#include "host/database/RecordColumns.h"
#include "platform/Error.h"

namespace orvane {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS "Queued Punches" (
    "Position" INTEGER PRIMARY KEY,
    "Punch ID" TEXT NOT NULL UNIQUE,
    "Card ID" INTEGER NOT NULL,
    "Punch" TEXT NOT NULL,
    "Refused" TEXT
);
)sql";

// A record's fields in the form they are stored in: dates as days, amounts as numbers, texts.
nlohmann::json encode(const PunchRecord& record) {
    nlohmann::json fields = nlohmann::json::object();
    for (const auto& [field, value] : record.values()) {
        if (value.is_null() || value.is_empty())
            fields[field] = nullptr;
        else if (IsTextField(field))
            fields[field] = value.to_text();
        else if (IsDateField(field))
            fields[field] = value.to_date().days;
        else
            fields[field] = value.to_double();
    }
    return {{"name", record.Name()}, {"fields", std::move(fields)}};
}

std::shared_ptr<PunchRecord> decode(const nlohmann::json& stored) {
    auto record = std::make_shared<PunchRecord>(stored.at("name").get<std::string>());
    for (const auto& [field, value] : stored.at("fields").items()) {
        platform::Variant variant = platform::Variant::null();
        if (value.is_string())
            variant = platform::Variant(value.get<std::string>());
        else if (value.is_number() && IsDateField(field))
            variant = platform::Variant(platform::Date{value.get<double>()});
        else if (value.is_number())
            variant = platform::Variant(value.get<double>());
        record->Item(field)->SetValue(variant);
    }
    return record;
}

std::string encode(const PunchWrite& punch) {
    nlohmann::json stored{{"card", punch.card}};
    stored["own"] = punch.own ? encode(*punch.own) : nlohmann::json();
    stored["extras"] = nlohmann::json::array();
    for (const auto& extra : punch.extras) {
        if (extra)
            stored["extras"].push_back(encode(*extra));
    }
    if (punch.entered_by) {
        stored["entered_by"] = {{"manager_card", punch.entered_by->manager_card},
                                {"entered_at", punch.entered_by->entered_at.days},
                                {"clock_name", punch.entered_by->clock_name}};
    }
    return stored.dump();
}

PunchWrite decode(const std::string& text) {
    const auto stored = nlohmann::json::parse(text);
    PunchWrite punch;
    punch.card = stored.at("card").get<int32_t>();
    if (!stored.at("own").is_null())
        punch.own = decode(stored.at("own"));
    for (const auto& extra : stored.at("extras"))
        punch.extras.push_back(decode(extra));
    if (stored.contains("entered_by")) {
        const auto& entry = stored.at("entered_by");
        punch.entered_by = ManagerEntry{entry.at("manager_card").get<int32_t>(),
                                        platform::Date{entry.at("entered_at").get<double>()},
                                        entry.at("clock_name").get<std::string>()};
    }
    return punch;
}

std::string text_column(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? text : "";
}

}  // namespace

PunchQueue::PunchQueue(const std::filesystem::path& file)
    : m_file(file), m_db(sqlite::Open(file, sqlite::OpenMode::CreateWhenMissing)) {
    sqlite::Exec(m_db.get(), kSchema);
    // A queue kept by an earlier version has no punches aside yet.
    auto refused = sqlite::Prepare(m_db.get(), R"sql(
        SELECT 1 FROM pragma_table_info('Queued Punches') WHERE name = 'Refused')sql");
    if (sqlite3_step(refused.get()) != SQLITE_ROW)
        sqlite::Exec(m_db.get(), R"sql(ALTER TABLE "Queued Punches" ADD COLUMN "Refused" TEXT)sql");
}

void PunchQueue::Add(const std::string& identity, const PunchWrite& punch) {
    auto statement = sqlite::Prepare(m_db.get(), R"sql(
        INSERT INTO "Queued Punches" ("Punch ID", "Card ID", "Punch") VALUES (?, ?, ?)
        ON CONFLICT ("Punch ID") DO NOTHING)sql");
    const std::string text = encode(punch);
    sqlite3_bind_text(statement.get(), 1, identity.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(statement.get(), 2, punch.card);
    sqlite3_bind_text(statement.get(), 3, text.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(statement.get()) != SQLITE_DONE)
        sqlite::RaiseLast(m_db.get(), "Cannot keep the punch on this clock");
}

std::vector<PunchQueue::Entry> PunchQueue::Entries(bool aside) const {
    auto statement = sqlite::Prepare(m_db.get(), R"sql(
        SELECT "Position", "Punch ID", "Punch", ifnull("Refused", '') FROM "Queued Punches"
        WHERE ("Refused" IS NOT NULL) = ? ORDER BY "Position")sql");
    sqlite3_bind_int(statement.get(), 1, aside ? 1 : 0);
    std::vector<Entry> entries;
    int rc = 0;
    while ((rc = sqlite3_step(statement.get())) == SQLITE_ROW) {
        entries.push_back({sqlite3_column_int64(statement.get(), 0),
                           text_column(statement.get(), 1), decode(text_column(statement.get(), 2)),
                           text_column(statement.get(), 3)});
    }
    if (rc != SQLITE_DONE)
        sqlite::RaiseLast(m_db.get(), "Cannot read the punches kept on this clock");
    return entries;
}

std::vector<PunchQueue::Entry> PunchQueue::Waiting() const {
    return Entries(false);
}

std::vector<PunchQueue::Entry> PunchQueue::KeptAside() const {
    return Entries(true);
}

void PunchQueue::Run(const char* sql, int64_t position, const std::string& text,
                     std::string_view doing) {
    auto statement = sqlite::Prepare(m_db.get(), sql);
    if (sqlite3_bind_parameter_count(statement.get()) > 0)
        sqlite3_bind_int64(statement.get(), 1, position);
    if (sqlite3_bind_parameter_count(statement.get()) > 1)
        sqlite3_bind_text(statement.get(), 2, text.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(statement.get()) != SQLITE_DONE)
        sqlite::RaiseLast(m_db.get(), doing);
}

void PunchQueue::Remove(int64_t position) {
    Run(R"sql(DELETE FROM "Queued Punches" WHERE "Position" = ?1)sql", position, {},
        "Cannot remove a sent punch from this clock");
}

void PunchQueue::SetAside(int64_t position, const std::string& refused) {
    Run(R"sql(UPDATE "Queued Punches" SET "Refused" = ?2 WHERE "Position" = ?1)sql", position,
        refused, "Cannot keep the refused punch aside on this clock");
}

void PunchQueue::Requeue() {
    Run(R"sql(UPDATE "Queued Punches" SET "Refused" = NULL)sql", 0, {},
        "Cannot put the refused punches back in line on this clock");
}

bool PunchQueue::Empty() const {
    auto statement = sqlite::Prepare(
        m_db.get(), R"sql(SELECT 1 FROM "Queued Punches" WHERE "Refused" IS NULL LIMIT 1)sql");
    return sqlite3_step(statement.get()) != SQLITE_ROW;
}

}  // namespace orvane
