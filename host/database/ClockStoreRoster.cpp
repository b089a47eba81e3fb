// The clock store's roster: employees made inactive, renamed and given new cards with every
// change kept, the lockouts of manager cards and of the server's secrets shared by every clock of
// the database, and the clock that stored each row.
#include <algorithm>

#include "host/database/ClockStore.h"

#include "host/database/DatabaseError.h"
#include "platform/Error.h"

namespace orvane {

namespace {

constexpr std::string_view kChanging = "Cannot change the employee";
constexpr std::string_view kCounting = "Cannot count the wrong PIN";
constexpr std::string_view kCountingTry = "Cannot count the wrong try";
constexpr std::string_view kReadingPunchClocks = "Cannot read the clocks of the punches";

std::string roster_schema(const StoreEngine& engine) {
    const auto type = [&](SqlType kind) { return std::string(engine.TypeName(kind)); };
    return R"sql(
CREATE TABLE IF NOT EXISTS "Employee Changes" (
    "ID" )sql" +
           type(SqlType::Key) +
           R"sql(,
    "Card ID" INTEGER NOT NULL,
    "Changed At" )sql" +
           type(SqlType::Real) + R"sql( NOT NULL,
    "Changed By" TEXT NOT NULL DEFAULT '',
    "What" TEXT NOT NULL,
    "Before" TEXT NOT NULL DEFAULT '',
    "After" TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS "Employee Changes Card" ON "Employee Changes" ("Card ID");
CREATE TABLE IF NOT EXISTS "PIN Tries" (
    "Card ID" INTEGER PRIMARY KEY,
    "Wrong" INTEGER NOT NULL DEFAULT 0,
    "Locked Until" )sql" +
           type(SqlType::Real) + R"sql(
);
CREATE TABLE IF NOT EXISTS "Secret Tries" (
    "Door" TEXT NOT NULL,
    "Account" TEXT NOT NULL,
    "Address" TEXT NOT NULL,
    "Wrong" INTEGER NOT NULL DEFAULT 0,
    "Last Try" )sql" +
           type(SqlType::Real) + R"sql( NOT NULL DEFAULT 0,
    PRIMARY KEY ("Door", "Account", "Address")
);
CREATE INDEX IF NOT EXISTS "Secret Tries Last" ON "Secret Tries" ("Last Try");
CREATE TABLE IF NOT EXISTS "Punch Clocks" (
    "Record ID" )sql" +
           type(SqlType::Reference) + R"sql( PRIMARY KEY,
    "Clock Name" TEXT NOT NULL
);
)sql";
}

bool has_employee(StoreEngine& engine, int32_t card) {
    const auto found = engine.Run(R"sql(SELECT 1 FROM "Employees" WHERE "Card ID" = ?1)sql",
                                  {SqlValue::Int(card)}, kChanging);
    return found->Next();
}

}  // namespace

void ClockStore::MakeRosterTables() {
    constexpr std::string_view kMaking = "Cannot make the clock database's tables";
    m_engine->Exec(roster_schema(*m_engine), kMaking);
    AddMissingColumns(*m_engine, "Employees", {{"Active", "INTEGER NOT NULL DEFAULT 1"}}, kMaking);
}

void ClockStore::KeepChange(const EmployeeChange& change) {
    m_engine->RunToEnd(R"sql(
        INSERT INTO "Employee Changes" ("Card ID", "Changed At", "Changed By", "What", "Before",
                                        "After")
        VALUES (?1, ?2, ?3, ?4, ?5, ?6))sql",
                       {SqlValue::Int(change.card), SqlValue::Real(change.changed_at.days),
                        SqlValue::Text(change.changed_by), SqlValue::Text(change.what),
                        SqlValue::Text(change.before), SqlValue::Text(change.after)},
                       kChanging);
}

bool ClockStore::RenameEmployee(int32_t card, const std::string& name,
                                const EmployeeChange& change) {
    auto& engine = Ready();
    StoreTransaction transaction(engine, kChanging);
    const auto found = engine.Run(R"sql(SELECT "Name" FROM "Employees" WHERE "Card ID" = ?1)sql",
                                  {SqlValue::Int(card)}, kChanging);
    if (!found->Next())
        return false;
    EmployeeChange kept = change;
    kept.before = found->Text(0);
    while (found->Next()) {
    }
    engine.RunToEnd(R"sql(UPDATE "Employees" SET "Name" = ?1 WHERE "Card ID" = ?2)sql",
                    {SqlValue::Text(name), SqlValue::Int(card)}, kChanging);
    KeepChange(kept);
    transaction.Commit(kChanging);
    return true;
}

bool ClockStore::ChangeCard(int32_t card, int32_t new_card, const EmployeeChange& change) {
    auto& engine = Ready();
    StoreTransaction transaction(engine, kChanging);
    // No punch of either card is stored half under the one and half under the other.
    engine.LockCard(std::min(card, new_card), kChanging);
    engine.LockCard(std::max(card, new_card), kChanging);
    if (!has_employee(engine, card))
        return false;
    if (has_employee(engine, new_card)) {
        platform::raise(platform::err::kKeyAlreadyAssociated,
                        "An employee with card " + std::to_string(new_card) + " already exists.");
    }
    const std::vector<SqlValue> cards{SqlValue::Int(new_card), SqlValue::Int(card)};
    engine.RunToEnd(R"sql(UPDATE "Employees" SET "Card ID" = ?1 WHERE "Card ID" = ?2)sql", cards,
                    kChanging);
    engine.RunToEnd(R"sql(UPDATE "Clock Data Table" SET "Card ID" = ?1 WHERE "Card ID" = ?2)sql",
                    cards, kChanging);
    engine.RunToEnd(R"sql(DELETE FROM "PIN Tries" WHERE "Card ID" = ?2 OR "Card ID" = ?1)sql",
                    cards, kChanging);
    KeepChange(change);
    transaction.Commit(kChanging);
    return true;
}

bool ClockStore::DeactivateEmployee(int32_t card, const EmployeeChange& change) {
    auto& engine = Ready();
    StoreTransaction transaction(engine, kChanging);
    if (!has_employee(engine, card))
        return false;
    const int64_t changed = engine.RunToEnd(
        R"sql(UPDATE "Employees" SET "Active" = 0 WHERE "Card ID" = ?1 AND "Active" <> 0)sql",
        {SqlValue::Int(card)}, kChanging);
    // Removing an inactive employee again changes nothing and keeps nothing.
    if (changed > 0)
        KeepChange(change);
    transaction.Commit(kChanging);
    return true;
}

std::vector<EmployeeChange> ClockStore::EmployeeChanges(std::optional<int32_t> card) {
    const auto found = Ready().Run(R"sql(
        SELECT "Card ID", "Changed At", "Changed By", "What", "Before", "After"
        FROM "Employee Changes"
        WHERE ?1 IS NULL OR "Card ID" = ?1 OR "Card ID" IN (
            SELECT "Card ID" FROM "Employee Changes" WHERE "What" = 'card' AND "After" = ?2)
        ORDER BY "Changed At", "ID")sql",
                                   {card ? SqlValue::Int(*card) : SqlValue::Null(SqlType::Integer),
                                    SqlValue::Text(card ? std::to_string(*card) : "")},
                                   "Cannot read the changes to employees");
    std::vector<EmployeeChange> changes;
    while (found->Next()) {
        changes.push_back({static_cast<int32_t>(found->Int(0)), platform::Date{found->Real(1)},
                           found->Text(2), found->Text(3), found->Text(4), found->Text(5)});
    }
    return changes;
}

std::optional<platform::Date> ClockStore::PinLockedUntil(int32_t card, platform::Date now) {
    const auto found =
        Ready().Run(R"sql(
        SELECT "Locked Until" FROM "PIN Tries" WHERE "Card ID" = ?1 AND "Locked Until" > ?2)sql",
                    {SqlValue::Int(card), SqlValue::Real(now.days)}, "Cannot read the PIN lockout");
    if (!found->Next())
        return std::nullopt;
    return platform::Date{found->Real(0)};
}

std::optional<platform::Date> ClockStore::CountWrongPin(int32_t card, platform::Date now, int tries,
                                                        double lock_days) {
    auto& engine = Ready();
    // The count and its check are one transaction: two clocks counting at once lock the card at
    // the fifth wrong PIN between them, never at the sixth.
    StoreTransaction transaction(engine, kCounting);
    const auto counted = engine.Run(R"sql(
        INSERT INTO "PIN Tries" ("Card ID", "Wrong") VALUES (?1, 1)
        ON CONFLICT ("Card ID") DO UPDATE SET "Wrong" = "PIN Tries"."Wrong" + 1
        RETURNING "Wrong")sql",
                                    {SqlValue::Int(card)}, kCounting);
    counted->Next();
    const int64_t wrong = counted->Int(0);
    while (counted->Next()) {
    }
    std::optional<platform::Date> until;
    if (wrong >= tries) {
        until = platform::Date{now.days + lock_days};
        engine.RunToEnd(
            R"sql(UPDATE "PIN Tries" SET "Wrong" = 0, "Locked Until" = ?2 WHERE "Card ID" = ?1)sql",
            {SqlValue::Int(card), SqlValue::Real(until->days)}, kCounting);
    }
    transaction.Commit(kCounting);
    return until;
}

void ClockStore::ClearWrongPins(int32_t card) {
    Ready().RunToEnd(R"sql(DELETE FROM "PIN Tries" WHERE "Card ID" = ?1)sql", {SqlValue::Int(card)},
                     kCounting);
}

bool ClockStore::CountSecretTry(const std::string& door, const std::string& account,
                                const std::string& address, platform::Date now,
                                const ClockDatabase::AdmitTry& admit) {
    auto& engine = Ready();
    StoreTransaction transaction(engine, kCountingTry);
    // Each count is read through a write that changes nothing, which holds its row until the
    // transaction ends: a second server's try at the same account waits for this one's
    // decision. The address's row is always taken before the account's, so two never wait on
    // each other.
    const auto held = [&](const std::string& of) {
        const auto rows = engine.Run(
            R"sql(
        INSERT INTO "Secret Tries" ("Door", "Account", "Address") VALUES (?1, ?2, ?3)
        ON CONFLICT ("Door", "Account", "Address") DO UPDATE SET "Wrong" = "Secret Tries"."Wrong"
        RETURNING "Wrong", "Last Try")sql",
            {SqlValue::Text(door), SqlValue::Text(account), SqlValue::Text(of)}, kCountingTry);
        rows->Next();
        const ClockDatabase::SecretTries tries{rows->Int(0), platform::Date{rows->Real(1)}};
        while (rows->Next()) {
        }
        return tries;
    };
    const auto of_address = held(address);
    const auto of_account = held("");
    const bool admitted = admit(of_address, of_account);
    if (admitted) {
        engine.RunToEnd(R"sql(
        UPDATE "Secret Tries" SET "Wrong" = "Wrong" + 1, "Last Try" = ?4
        WHERE "Door" = ?1 AND "Account" = ?2 AND ("Address" = ?3 OR "Address" = ''))sql",
                        {SqlValue::Text(door), SqlValue::Text(account), SqlValue::Text(address),
                         SqlValue::Real(now.days)},
                        kCountingTry);
    }
    transaction.Commit(kCountingTry);
    return admitted;
}

void ClockStore::ClearSecretTries(const std::string& door, const std::string& account,
                                  const std::string& address) {
    Ready().RunToEnd(R"sql(
        DELETE FROM "Secret Tries"
        WHERE "Door" = ?1 AND "Account" = ?2 AND ("Address" = ?3 OR "Address" = ''))sql",
                     {SqlValue::Text(door), SqlValue::Text(account), SqlValue::Text(address)},
                     kCountingTry);
}

void ClockStore::ForgetSecretTries(platform::Date before) {
    Ready().RunToEnd(R"sql(DELETE FROM "Secret Tries" WHERE "Last Try" < ?1)sql",
                     {SqlValue::Real(before.days)}, kCountingTry);
}

std::map<int64_t, std::string> ClockStore::ClocksOf(const std::vector<int64_t>& record_ids) {
    std::map<int64_t, std::string> clocks;
    auto& engine = Ready();
    for (const int64_t id : record_ids) {
        const auto found =
            engine.Run(R"sql(SELECT "Clock Name" FROM "Punch Clocks" WHERE "Record ID" = ?1)sql",
                       {SqlValue::Int(id)}, kReadingPunchClocks);
        if (found->Next())
            clocks[id] = found->Text(0);
    }
    return clocks;
}

}  // namespace orvane
