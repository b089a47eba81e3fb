// The host's clock database file: storing punches, pairing outs with open records, employees,
// and the indexes that keep the automatic punch's lookup off a full scan.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "host/database/Checkpointer.h"
#include "host/database/ClockDatabase.h"
#include "host/database/ConnectionText.h"
#include "host/database/DatabaseError.h"
#include "host/database/EngineDatabase.h"
#include "host/database/Postgres.h"
#include "host/database/QueryDatabase.h"
#include "host/database/SqlDialect.h"
#include "platform/Error.h"
#include "tests/support/Engine.h"
#include "tests/support/Postgres.h"
#include "tests/support/Raised.h"
#include "tests/support/SqlitePlan.h"
#include "tests/support/StoredRows.h"
#include "tests/support/TempFolder.h"

namespace {

using orvane::ClockDatabase;
using orvane::Engine;
using orvane::PunchRecord;
using orvane::PunchWrite;
using platform::Date;
using platform::Variant;

constexpr int32_t kCard = 1204;

Date day(int d) {
    return *platform::make_date(2026, 12, d);
}
Date time_of(int hour, int minute) {
    return *platform::make_time(hour, minute, 0);
}

// A record as the step fills it: the punch type, then the in- or out-fields.
std::shared_ptr<PunchRecord> record(const std::string& name, const std::string& type,
                                    std::optional<std::pair<int, int>> in,
                                    std::optional<std::pair<int, int>> out, int d = 4) {
    auto result = std::make_shared<PunchRecord>(name);
    result->Item("Punch Type")->SetValue(Variant(type));
    if (in) {
        result->Item("Date In")->SetValue(Variant(day(d)));
        result->Item("Time In")->SetValue(Variant(time_of(in->first, in->second)));
    }
    if (out) {
        result->Item("Date Out")->SetValue(Variant(day(d)));
        result->Item("Time Out")->SetValue(Variant(time_of(out->first, out->second)));
    }
    return result;
}

PunchWrite punch(std::shared_ptr<PunchRecord> own,
                 std::vector<std::shared_ptr<PunchRecord>> extras = {}) {
    return PunchWrite{kCard, std::move(own), std::move(extras), std::nullopt};
}

// A clock database on a fresh SQLite file or a fresh PostgreSQL database.
class ClockDatabaseFixture : public ::testing::Test {
  protected:
    // `before` runs on the empty database first, unless the test skips for want of a server.
    void Open(Engine engine, const std::function<void()>& before = {}) {
        if (engine == Engine::Postgres && !m_server.available())
            GTEST_SKIP() << "no PostgreSQL cluster for the tests (STAMPKIND_TEST_POSTGRES)";
        if (before)
            before();
        m_location = engine == Engine::Postgres ? std::filesystem::path(m_server.uri())
                                                : m_folder / "clock.db";
        m_db = std::make_unique<ClockDatabase>(m_location);
        ExpectClockDatabaseOn(m_location, engine);
    }

    TempFolder m_folder;
    ScratchPostgres m_server;
    std::filesystem::path m_location;
    std::unique_ptr<ClockDatabase> m_db;
};

// The same behaviour on both engines.
class ClockDatabaseTest : public ClockDatabaseFixture,
                          public ::testing::WithParamInterface<Engine> {
  protected:
    void SetUp() override { Open(GetParam()); }

    // A card's employee changes, each as "by: what before -> after".
    std::vector<std::string> Changes(int32_t card) const {
        std::vector<std::string> changes;
        for (const auto& c : m_db->EmployeeChanges(card))
            changes.push_back(c.changed_by + ": " + c.what + " " + c.before + " -> " + c.after);
        return changes;
    }
};

std::string engine_name(const ::testing::TestParamInfo<Engine>& info) {
    return info.param == Engine::Postgres ? "Postgres" : "Sqlite";
}
INSTANTIATE_TEST_SUITE_P(Engines, ClockDatabaseTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres), engine_name);

// How the punches of a day pair up into rows.
TEST_P(ClockDatabaseTest, OutsAndReturnsCloseTheRecordsTheyBelongTo) {
    const auto in = [](int h, int m, int d = 4) { return punch(record("", "I", {{h, m}}, {}, d)); };
    const auto out = [](int h, int m, int d = 4) {
        return punch(record("", "O", {}, {{h, m}}, d));
    };
    struct Row {
        const char* name;
        std::vector<PunchWrite> punches;
        std::vector<std::string> stored;
    };
    const Row rows[] = {
        {"OutClosesTheOpenWorkRecord", {in(8, 0), out(16, 30)}, {"O 08:00 16:30"}},
        // Lunch leave closes work and opens lunch; lunch return opens work and closes lunch.
        {"LunchSplitsTheDay",
         {in(8, 0), punch(record("", "O", {}, {{12, 0}}), {record("LO", "LO", {{12, 0}}, {})}),
          punch(record("", "I", {{12, 45}}, {}), {record("LI", "LI", {}, {{12, 45}})}), out(17, 0)},
         {"O 08:00 12:00", "LI 12:00 12:45", "O 12:45 17:00"}},
        {"BreakReturnClosesTheBreakAndLeavesWorkOpen",
         {in(8, 0), punch(record("", "BO", {{10, 0}}, {})),
          punch(record("", "BI", {}, {{10, 15}}))},
         {"I 08:00 -", "BI 10:00 10:15"}},
        {"SwitchClosesWorkAndOpensTheNext",
         {in(8, 0), punch(record("", "O", {}, {{11, 0}}), {record("I", "I", {{11, 0}}, {})})},
         {"O 08:00 11:00", "I 11:00 -"}},
        // An open record that begins after the out, and an amount punch, are not paired.
        {"OutWithoutOpenRecordIsARowOfItsOwn",
         {punch(record("", "H", {{7, 0}}, {})), in(18, 0), out(16, 0)},
         {"H 07:00 -", "I 18:00 -", "O - 16:00"}},
        // Punches of one minute share their moment; the out still closes the in before it.
        {"InAndOutInOneMinuteMakeOneRow", {in(8, 0), out(8, 0)}, {"O 08:00 08:00"}},
        {"OutClosesTheLaterOfTwoInsInOneMinute",
         {in(8, 0), in(8, 0), out(8, 0)},
         {"I 08:00 -", "O 08:00 08:00"}},
        {"OutPairsWithTheLatestOpenRecordOnly",
         {in(8, 0, 3), in(8, 0), out(16, 0)},
         {"I 08:00 -", "O 08:00 16:00"}},
        // A record open longer than the longest shift (16 hours) is a forgotten out: a later out
        // never closes it and stands alone, a missing in.
        {"ForgottenOutAndForgottenInLeaveTheDayBetweenWhole",
         {in(8, 0, 2), in(8, 0, 3), out(16, 0, 3), out(16, 0)},
         {"I 08:00 -", "O 08:00 16:00", "O - 16:00"}},
        {"OutClosesARecordOpenedTheLongestShiftBefore", {in(0, 0), out(16, 0)}, {"O 00:00 16:00"}},
        {"OutLeavesARecordOpenedAMinuteLongerOpen",
         {in(23, 59, 3), out(16, 0)},
         {"I 23:59 -", "O - 16:00"}},
        {"PunchThatWroteNothingStoresNothing", {punch(std::make_shared<PunchRecord>(""))}, {}},
    };
    // Each row is a card of its own in the engine's one database.
    int32_t card = kCard;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ++card;
        for (auto write : row.punches) {
            write.card = card;
            m_db->StorePunch(write);
        }
        EXPECT_EQ(StoredRows(*m_db, card), row.stored);
    }
}

TEST_P(ClockDatabaseTest, PunchIsStoredWholeOrNotAtAll) {
    m_db->StorePunch(punch(record("", "I", {{8, 0}}, {})));
    auto broken = record("LO", "LO", {}, {});
    broken->Item("Date In")->SetValue(Variant("not a date"));
    EXPECT_THROW(m_db->StorePunch(punch(record("", "O", {}, {{12, 0}}), {broken})),
                 platform::RaisedError);
    // The own record's close of the work record was rolled back with the failed extra record.
    EXPECT_EQ(StoredRows(*m_db, kCard), (std::vector<std::string>{"I 08:00 -"}));
}

// Employees are kept by card, one to a card. Removing an employee keeps them, inactive, with
// their rows; the change is kept once.
TEST_P(ClockDatabaseTest, EmployeesAreKeptByCardAndStayOnFileWhenRemoved) {
    m_db->AddEmployee({12, "Ada Stone", false});
    m_db->AddEmployee({3, "Ben Ortiz", true});
    EXPECT_EQ(m_db->Employees(),
              (std::vector<orvane::Employee>{{3, "Ben Ortiz", true}, {12, "Ada Stone", false}}));
    EXPECT_EQ(m_db->FindEmployee(12), (orvane::Employee{12, "Ada Stone", false}));
    const auto again = [&] { m_db->AddEmployee({12, "Someone Else", false}); };
    EXPECT_EQ(ErrorNumberOf(again), platform::err::kKeyAlreadyAssociated);

    m_db->AddEmployee({kCard, "Cy Dunn", false});
    m_db->StorePunch(punch(record("", "I", {{8, 0}}, {})));
    EXPECT_TRUE(m_db->RemoveEmployee(kCard, "clerk"));
    EXPECT_TRUE(m_db->RemoveEmployee(kCard, "clerk"));
    EXPECT_FALSE(m_db->RemoveEmployee(77));
    EXPECT_EQ(m_db->FindEmployee(kCard), (orvane::Employee{kCard, "Cy Dunn", false, false}));
    EXPECT_EQ(m_db->Employees().size(), 3u);
    EXPECT_EQ(m_db->Rows(kCard).size(), 1u);
    EXPECT_EQ(Changes(kCard), (std::vector<std::string>{"clerk: active 1 -> 0"}));
    EXPECT_TRUE(Changes(12).empty());
}

// A new name and a new card: the history moves with the employee, and both changes are kept,
// found under the card before and the card after.
TEST_P(ClockDatabaseTest, RenamedEmployeeWithANewCardKeepsTheirHistory) {
    m_db->AddEmployee({kCard, "Ada Stone", false});
    m_db->AddEmployee({55, "Ben Ortiz", false});
    m_db->StorePunch(punch(record("", "I", {{8, 0}}, {})));
    m_db->StorePunch(punch(record("", "O", {}, {{16, 0}})));
    EXPECT_TRUE(m_db->RenameEmployee(kCard, "Ada Stone-Park", "clerk"));
    EXPECT_EQ(ErrorNumberOf([&] { m_db->ChangeCard(kCard, 55, "clerk"); }),
              platform::err::kKeyAlreadyAssociated);
    EXPECT_TRUE(m_db->ChangeCard(kCard, 4321, "clerk"));
    EXPECT_FALSE(m_db->ChangeCard(kCard, 4322, "clerk"));
    EXPECT_FALSE(m_db->RenameEmployee(kCard, "Nobody", "clerk"));

    EXPECT_FALSE(m_db->FindEmployee(kCard).has_value());
    EXPECT_EQ(m_db->FindEmployee(4321), (orvane::Employee{4321, "Ada Stone-Park", false}));
    EXPECT_TRUE(m_db->Rows(kCard).empty());
    EXPECT_EQ(StoredRows(*m_db, 4321, true),
              std::vector<std::string>{"4321 O 08:00 16:00 on 12/4/2026 12/4/2026 []"});

    for (const int32_t card : {kCard, 4321}) {
        EXPECT_EQ(Changes(card),
                  (std::vector<std::string>{"clerk: name Ada Stone -> Ada Stone-Park",
                                            "clerk: card 1204 -> 4321"}))
            << card;
    }
    EXPECT_TRUE(Changes(55).empty());
}

// The lockout is the database's: counted by every clock on it, kept when a clock starts again,
// over once its time has passed, and started again by a right PIN.
TEST_P(ClockDatabaseTest, PinLockoutIsSharedAndOutlivesTheClock) {
    constexpr double kMinute = 1.0 / (24 * 60);
    const Date now = day(4);
    const auto at = [&](double minutes) { return Date{now.days + minutes * kMinute}; };
    ClockDatabase back_door(m_location);
    EXPECT_EQ(m_db->CountWrongPin(9001, at(0), 5, 5 * kMinute), std::nullopt);
    EXPECT_EQ(m_db->CountWrongPin(9001, at(0), 5, 5 * kMinute), std::nullopt);
    m_db->ClearWrongPins(9001);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(m_db->CountWrongPin(9001, at(1), 5, 5 * kMinute), std::nullopt) << i;
    EXPECT_EQ(back_door.PinLockedUntil(9001, at(1)), std::nullopt);
    const auto until = back_door.CountWrongPin(9001, at(1), 5, 5 * kMinute);
    ASSERT_TRUE(until.has_value());
    EXPECT_NEAR(until->days, at(6).days, 1e-9);

    m_db.reset();
    ClockDatabase restarted(m_location);
    EXPECT_TRUE(restarted.PinLockedUntil(9001, at(5.9)).has_value());
    EXPECT_EQ(restarted.PinLockedUntil(9001, at(6)), std::nullopt);
    EXPECT_EQ(restarted.PinLockedUntil(9002, at(2)), std::nullopt);
    // The count starts again after a lock.
    EXPECT_EQ(restarted.CountWrongPin(9001, at(7), 5, 5 * kMinute), std::nullopt);
}

// Each record keeps the clock where it began; a record closed elsewhere keeps it too.
TEST_P(ClockDatabaseTest, RecordsKeepTheClockWhereTheyBegan) {
    m_db->SetClockName("Front door");
    m_db->StorePunch(punch(record("", "I", {{8, 0}}, {})));
    m_db->SetClockName("Back door");
    m_db->StorePunch(punch(record("", "O", {}, {{16, 0}})));
    m_db->SetClockName("");
    m_db->StorePunch(punch(record("", "I", {{17, 0}}, {})));
    const auto rows = m_db->Rows(kCard);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(m_db->ClocksOf({rows[0].id, rows[1].id}),
              (std::map<int64_t, std::string>{{rows[0].id, "Front door"}}));
}

TEST_P(ClockDatabaseTest, ManagerPinIsKeptHashedAndChecked) {
    m_db->AddEmployee({9001, "Morgan Lee", true});
    m_db->AddEmployee({12, "Ada Stone", false});
    EXPECT_FALSE(m_db->HasManagerPin(9001));
    EXPECT_FALSE(m_db->VerifyManagerPin(9001, ""));
    m_db->SetManagerPin(9001, "4711");
    EXPECT_TRUE(m_db->VerifyManagerPin(9001, "4711"));
    EXPECT_FALSE(m_db->VerifyManagerPin(9001, "4712"));
    EXPECT_FALSE(m_db->VerifyManagerPin(12, "4711"));
    // Refused: not a manager, too short, too long, not digits.
    for (const auto& [card, pin] : std::vector<std::pair<int32_t, std::string>>{
             {12, "4711"}, {9001, "471"}, {9001, "1234567890123"}, {9001, "47a1"}}) {
        EXPECT_EQ(ErrorNumberOf([&] { m_db->SetManagerPin(card, pin); }),
                  platform::err::kInvalidProcedureCall)
            << card << " " << pin;
    }
    // Only the hash is stored.
    ClockDatabase again(m_location);
    orvane::EngineDatabase stored;
    stored.Open(m_location.native());
    const auto found = stored.Execute("SELECT [PIN Hash] FROM [Employees] WHERE [Card ID] = 9001");
    const std::string hash = found->Fields("PIN Hash")->Value().to_text();
    EXPECT_EQ(hash.find("4711"), std::string::npos);
    EXPECT_EQ(hash.rfind("$argon2id$", 0), 0u);
    EXPECT_TRUE(again.VerifyManagerPin(9001, "4711"));
}

TEST_P(ClockDatabaseTest, ManagerEntryMarksEveryRecordItStores) {
    m_db->StorePunch(punch(record("", "I", {{8, 0}}, {})));
    auto lunch = punch(record("", "O", {}, {{12, 0}}), {record("Lunch", "LO", {{12, 0}}, {})});
    const orvane::ManagerEntry by{9001, Date{day(5).days + time_of(9, 14).days}, "door"};
    lunch.entered_by = by;
    m_db->StorePunch(lunch);
    // The closed work record and the new lunch record, both marked; the audit reads each
    // entry's record by its "ID".
    std::vector<std::string> marked;
    for (const auto& entered : m_db->ManagerEntries()) {
        EXPECT_EQ(entered.entry, by);
        marked.push_back(DescribeWholeRow(m_db->RowWithId(entered.record_id).value()));
    }
    EXPECT_EQ(marked, (std::vector<std::string>{"1204 O 08:00 12:00 on 12/4/2026 12/4/2026 []",
                                                "1204 LO 12:00 - on 12/4/2026 - []"}));
    EXPECT_TRUE(m_db->ManagerEntries(day(6)).empty());
    EXPECT_EQ(m_db->ManagerEntries(day(5), day(6)).size(), 2u);
    EXPECT_FALSE(m_db->RowWithId(-1).has_value());
}

Date moment(int d, int hour, int minute) {
    return Date{day(d).days + time_of(hour, minute).days};
}
orvane::Corrector corrector(std::string reason = "forgotten at the clock") {
    return {"clerk", moment(7, 9, 0), "office", std::move(reason)};
}

// An edit changes the record every reader sees and keeps what it was; a void takes the record
// out of every read (and out of pairing) while the corrections still show it. The automatic
// punch's lookup reads the punches as corrected too: a voided punch is no last punch, and an
// edited one is found at its new moment with its new type.
TEST_P(ClockDatabaseTest, CorrectionsChangeWhatIsReadAndKeepTheOriginal) {
    m_db->StorePunch(punch(record("", "I", {{8, 0}}, {})));
    m_db->StorePunch(punch(record("", "BO", {{10, 0}}, {})));
    const auto rows = m_db->Rows(kCard);
    const int64_t id = rows.at(0).id;
    orvane::EngineDatabase lookup;
    lookup.Open(m_location.string());
    const auto last = [&] {
        const auto found = lookup.Execute(AutomaticPunchLookup(kCard));
        return framework::FromVBool(found->Eof()) ? std::string()
                                                  : found->Fields("Punch Type")->Value().to_text();
    };
    EXPECT_EQ(last(), "BO");
    m_db->VoidPunch(rows.at(1).id, corrector("swiped by mistake"));
    EXPECT_EQ(last(), "I");

    const auto edit =
        m_db->EditPunch(id, moment(4, 12, 30), std::nullopt, std::nullopt, corrector("came late"));
    ASSERT_TRUE(edit.before && edit.after);
    EXPECT_EQ(edit.before->time_in, time_of(8, 0));
    EXPECT_EQ(m_db->Rows(kCard).at(0).time_in, time_of(12, 30));
    EXPECT_EQ(m_db->RowsBetween(kCard, day(4), day(5)).size(), 1u);
    EXPECT_EQ(last(), "");  // after the lookup's window
    m_db->EditPunch(id, moment(4, 11, 0), std::nullopt, std::string("LO"), corrector("lunch"));
    EXPECT_EQ(last(), "LO");

    m_db->VoidPunch(id, corrector("punched twice"));
    EXPECT_TRUE(m_db->Rows(kCard).empty());
    EXPECT_TRUE(m_db->RowsBetween(kCard, day(4), day(5)).empty());
    EXPECT_TRUE(m_db->RowsBetween(std::nullopt, day(4), day(5)).empty());
    EXPECT_EQ(last(), "");
    // An out after the void finds no open record to close.
    m_db->StorePunch(punch(record("", "O", {}, {{17, 0}})));
    ASSERT_EQ(m_db->Rows(kCard).size(), 1u);
    EXPECT_FALSE(m_db->Rows(kCard).at(0).date_in.has_value());

    std::vector<std::string> history;
    for (const auto& c : m_db->Corrections(kCard)) {
        const auto row = [](const auto& r) { return r ? DescribeRow(*r) : std::string("none"); };
        history.push_back(c.action + " by " + c.by.who + " at " + c.by.clock_name + " (" +
                          c.by.reason + "): " + row(c.before) + " -> " + row(c.after));
    }
    EXPECT_EQ(history, (std::vector<std::string>{
                           "void by clerk at office (swiped by mistake): BO 10:00 - -> none",
                           "edit by clerk at office (came late): I 08:00 - -> I 12:30 -",
                           "edit by clerk at office (lunch): I 12:30 - -> LO 11:00 -",
                           "void by clerk at office (punched twice): LO 11:00 - -> none"}));
    EXPECT_TRUE(m_db->Corrections(kCard + 1).empty());
}

// An added out closes the open in it belongs to, as at the clock, only within the longest shift.
TEST_P(ClockDatabaseTest, AddedPunchPairsAsAtTheClock) {
    struct Case {
        int in_day, in_hour;
        const char* type;
        int at_day, at_hour;
        size_t rows;
    };
    const Case cases[] = {
        {4, 8, "O", 4, 16, 1},   // the forgotten out closes the day's in
        {3, 8, "O", 4, 16, 2},   // 32 hours after: a record of its own
        {4, 8, "I", 4, 16, 2},   // an in never closes anything
        {4, 8, "LO", 4, 12, 2},  // a lunch opens its own record
    };
    int32_t card = kCard;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.type) + " on day " + std::to_string(c.at_day));
        ++card;
        m_db->StorePunch({card, record("", "I", {{c.in_hour, 0}}, {}, c.in_day), {}, {}});
        const auto added =
            m_db->AddPunch(card, c.type, moment(c.at_day, c.at_hour, 0), 16, corrector());
        const auto rows = m_db->Rows(card);
        EXPECT_EQ(rows.size(), c.rows);
        EXPECT_EQ(added.before.has_value(), c.rows == 1);
        EXPECT_EQ(added.record_id, rows.back().id);
        if (c.rows == 1) {
            EXPECT_EQ(rows[0].date_out, day(c.at_day));
        }
    }
}

// Refused corrections change nothing; an in moved to the minute of its out is no refusal, but a
// record of no length.
TEST_P(ClockDatabaseTest, CorrectionsThatCannotBeMadeAreRefused) {
    m_db->StorePunch(punch(record("", "I", {{8, 0}}, {{16, 0}})));
    m_db->StorePunch(punch(record("", "I", {{18, 0}}, {})));
    const auto rows = m_db->Rows(kCard);
    m_db->VoidPunch(rows[1].id, corrector());
    const std::pair<int32_t, std::function<void()>> cases[] = {
        {5, [&] { m_db->VoidPunch(rows[0].id, corrector(" ")); }},
        {3265, [&] { m_db->VoidPunch(rows[1].id, corrector()); }},
        {3265, [&] { m_db->EditPunch(999, moment(4, 9, 0), {}, {}, corrector()); }},
        {5, [&] { m_db->EditPunch(rows[0].id, moment(4, 17, 0), {}, {}, corrector()); }},
        {5, [&] { m_db->EditPunch(rows[0].id, {}, {}, std::string("ZZ"), corrector()); }},
        {5, [&] { m_db->AddPunch(kCard, "V", moment(4, 9, 0), 16, corrector()); }},
        {0, [&] { m_db->EditPunch(rows[0].id, moment(4, 16, 0), {}, {}, corrector()); }},
    };
    for (const auto& [number, action] : cases)
        EXPECT_EQ(ErrorNumberOf(action), number);
    EXPECT_EQ(m_db->Rows(kCard).at(0).time_in, time_of(16, 0));
    EXPECT_EQ(m_db->Rows(kCard).at(0).time_out, time_of(16, 0));
    EXPECT_EQ(m_db->Corrections().size(), 2u);
}

// Nothing with a moment in an approved week is stored until the week is reopened: not a punch
// at the clock, not a correction; other weeks and, for one card's approval, other cards go on.
TEST_P(ClockDatabaseTest, ApprovedWeekRefusesEveryChangeUntilReopened) {
    const Date sunday{day(6).days - 7};  // the week of Friday the 4th
    m_db->StorePunch(punch(record("", "I", {{8, 0}}, {{16, 0}})));
    const int64_t id = m_db->Rows(kCard).at(0).id;
    m_db->ApproveWeek(sunday, std::nullopt, "clerk", moment(7, 9, 0));

    const std::function<void()> refused[] = {
        [&] {
            m_db->StorePunch(punch(record("", "I", {{18, 0}}, {})));
        },
        [&] { m_db->AddPunch(kCard, "I", moment(3, 8, 0), 16, corrector()); },
        [&] { m_db->EditPunch(id, moment(4, 7, 0), {}, {}, corrector()); },
        [&] { m_db->VoidPunch(id, corrector()); },
    };
    // A punch's refusal begins with "The punch was not stored."
    const auto refusal = [](const std::function<void()>& action) {
        std::string message;
        const int32_t number = ErrorNumberOf(action, &message);
        return std::to_string(number) + " " +
               message.substr(std::min(message.find("The week"), message.size()));
    };
    for (const auto& action : refused) {
        EXPECT_EQ(refusal(action),
                  "3033 The week of 2026-11-29 is approved for everyone: nothing "
                  "in it changes until it is reopened.");
    }
    EXPECT_EQ(m_db->Rows(kCard).size(), 1u);
    EXPECT_EQ(ErrorNumberOf([&] { m_db->StorePunch(punch(record("", "I", {{8, 0}}, {}, 7))); }), 0);
    // A card's own approval leaves the others free; reopening ends only its own scope.
    m_db->ReopenWeek(sunday, std::nullopt, "clerk", moment(7, 9, 1));
    m_db->ApproveWeek(sunday, kCard, "clerk", moment(7, 9, 2));
    EXPECT_EQ(ErrorNumberOf([&] {
                  m_db->StorePunch({kCard + 1, record("", "I", {{8, 0}}, {}), {}, {}});
              }),
              0);
    EXPECT_EQ(refusal([&] { m_db->VoidPunch(id, corrector()); }),
              "3033 The week of 2026-11-29 is approved for card 1204: nothing in it changes until "
              "it is reopened.");
    EXPECT_EQ(ErrorNumberOf([&] { m_db->ReopenWeek(sunday, std::nullopt, "c", sunday); }), 5);
    m_db->ReopenWeek(sunday, kCard, "clerk", moment(7, 9, 3));
    EXPECT_EQ(ErrorNumberOf([&] { m_db->VoidPunch(id, corrector()); }), 0);

    std::vector<std::string> approvals;
    for (const auto& a : m_db->WeekApprovals()) {
        approvals.push_back(a.action + " " + (a.card ? std::to_string(*a.card) : "all") +
                            (a.week_start == sunday ? "" : " another week"));
    }
    EXPECT_EQ(approvals, (std::vector<std::string>{"approve all", "reopen all", "approve 1204",
                                                   "reopen 1204"}));
}

// A database made by an earlier clock, before some columns of the record and the managers' PINs
// existed: a clock that opens it adds them, keeps the rows it had, and stores into them (a new
// database is made with the same columns).
class EarlierDatabase : public ClockDatabaseFixture, public ::testing::WithParamInterface<Engine> {
  protected:
    void SetUp() override {
        Open(GetParam(), [&] { MakeOldTables(); });
    }

    void MakeOldTables() {
        const bool server = GetParam() == Engine::Postgres;
        const std::string key =
            server ? "BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY" : "INTEGER PRIMARY KEY";
        const std::string tables = R"sql(
            CREATE TABLE "Clock Data Table" ("ID" )sql" +
                                   key + R"sql(,
                "Card ID" INTEGER NOT NULL, "Date In" DOUBLE PRECISION,
                "Time In" DOUBLE PRECISION, "Date Out" DOUBLE PRECISION,
                "Time Out" DOUBLE PRECISION, "Punch Type" TEXT NOT NULL DEFAULT '');
            INSERT INTO "Clock Data Table" ("Card ID", "Date In", "Time In", "Punch Type")
                VALUES (1204, 46360, 0.25, 'I');
            CREATE TABLE "Employees" ("Card ID" INTEGER PRIMARY KEY,
                "Name" TEXT NOT NULL DEFAULT '', "Manager" INTEGER NOT NULL DEFAULT 0);
            INSERT INTO "Employees" VALUES (9001, 'Morgan Lee', 1);)sql";
        if (server) {
            orvane::pg::Connection(m_server.uri()).Exec(tables.c_str(), "making old tables");
        } else {
            const auto file = orvane::sqlite::Open(m_folder / "clock.db",
                                                   orvane::sqlite::OpenMode::CreateWhenMissing);
            orvane::sqlite::Exec(file.get(), tables.c_str());
        }
    }
};
INSTANTIATE_TEST_SUITE_P(Engines, EarlierDatabase,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres), engine_name);

TEST_P(EarlierDatabase, GainsTheColumnsAddedSince) {
    auto leave = record("", "P", {{9, 0}}, {}, 5);
    leave->Item("Notes")->SetValue(Variant("Funeral Leave"));
    leave->Item("Personal")->SetValue(Variant(8.0));
    m_db->StorePunch(punch(leave));
    EXPECT_EQ(
        StoredRows(*m_db, kCard, true),
        (std::vector<std::string>{"1204 I 06:00 - on 12/4/2026 - []",
                                  "1204 P 09:00 - on 12/5/2026 - [Funeral Leave] Personal 8"}));
    m_db->SetManagerPin(9001, "4711");
    EXPECT_TRUE(m_db->VerifyManagerPin(9001, "4711"));
}

// The host's database object on a clock database, as the automatic punch's lookup uses it: the
// window's punches latest first (an out without an in by its out-moment), each column found by
// its name in any case and of its kind, and one prepared statement for lookups that differ only
// in their values. Two recordsets open at once read their own rows, and one held past the close
// of the database stays readable; an action query gives an empty recordset.
TEST_P(ClockDatabaseTest, DatabaseObjectReadsTheLookupsWindowLatestFirst) {
    const int32_t card = kCard + 1;
    for (const auto& own : {record("", "O", {}, {{3, 0}}), record("", "I", {{19, 12}}, {}, 3),
                            record("", "BO", {{6, 0}}, {}), record("", "LO", {{7, 0}}, {})}) {
        const bool lunch = own->Item("Punch Type")->Value() == Variant("LO");
        m_db->StorePunch({lunch ? kCard : card, own, {}, {}});
    }
    orvane::EngineDatabase database;
    database.Open(m_location.string());
    auto rows = database.Execute(AutomaticPunchLookup(card));
    auto others = database.Execute(AutomaticPunchLookup(kCard));
    ASSERT_FALSE(framework::FromVBool(rows->Eof()));
    EXPECT_EQ(rows->Fields("punch type")->Value(), Variant("BO"));
    EXPECT_EQ(rows->Fields("Card ID")->Value(), Variant(card));
    EXPECT_EQ(rows->Fields("SortByDateTime")->Value(), Variant(46360.25));
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { rows->Fields("Notes"); }, &description),
              orvane::dberr::kItemNotFound);
    EXPECT_NE(description.find("Notes"), std::string::npos) << description;
    rows->MoveNext();
    EXPECT_EQ(rows->Fields("Punch Type")->Value(), Variant("O"));
    EXPECT_TRUE(rows->Fields("Date In")->Value().is_null());
    rows->MoveNext();
    EXPECT_EQ(rows->Fields("Punch Type")->Value(), Variant("I"));
    rows->MoveNext();
    EXPECT_TRUE(framework::FromVBool(rows->Eof()));
    EXPECT_EQ(ErrorNumberOf([&] { rows->Fields("Punch Type"); }), orvane::dberr::kNoCurrentRecord);
    EXPECT_EQ(others->Fields("Punch Type")->Value(), Variant("LO"));
    rows->Close();
    EXPECT_EQ(ErrorNumberOf([&] { rows->Eof(); }), orvane::dberr::kNotOpen);
    EXPECT_TRUE(framework::FromVBool(database.Execute(AutomaticPunchLookup(77))->Eof()));
    const auto open = std::dynamic_pointer_cast<orvane::QueryDatabase>(database.open_database());
    ASSERT_TRUE(open);
    EXPECT_EQ(open->cached_statements(), 1u);

    const std::string notes = "SELECT [Notes] FROM [Clock Data Table] WHERE [Card ID]=1204";
    EXPECT_TRUE(framework::FromVBool(
        database.Execute("UPDATE [Clock Data Table] SET [Notes]=\"late\" WHERE [Card ID]=1204")
            ->Eof()));
    auto held = database.Execute(notes);
    database.Close();
    EXPECT_FALSE(framework::FromVBool(database.IsOpen()));
    EXPECT_EQ(held->Fields("Notes")->Value(), Variant("late"));
    held->MoveNext();
    EXPECT_TRUE(framework::FromVBool(held->Eof()));
}

class QueryPlan : public ClockDatabaseFixture, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        Open(Engine::Sqlite);
        m_file = orvane::sqlite::Open(m_location, orvane::sqlite::OpenMode::Existing);
        // A thousand days of twenty cards.
        ASSERT_EQ(sqlite3_exec(m_file.get(), R"sql(
            WITH RECURSIVE i(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM i WHERE n < 19999)
            INSERT INTO "Clock Data Table"
                ("Card ID", "Date In", "Time In", "Date Out", "Time Out", "Punch Type")
            SELECT 1200 + n % 20, 45000 + n / 20, 0.33, 45000 + n / 20, 0.7, 'O' FROM i)sql",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        // With statistics the engine weighs the indexes by the data; without, by its guesses.
        if (GetParam())
            sqlite3_exec(m_file.get(), "ANALYZE", nullptr, nullptr, nullptr);
    }

    // The test's own connection to the clock's file.
    orvane::sqlite::ConnectionPtr m_file;
};

// The automatic punch's lookup searches both moment indexes; an out's search for the record it
// closes reads only the open records, in the order it wants.
TEST_P(QueryPlan, LookupAndPairingSearchTheirIndexes) {
    // As the host's database object runs it: over the view of the punches as corrected.
    const auto lookup =
        OverCorrectedPunches(AutomaticPunchLookup(kCard), orvane::sql::Target::Sqlite);
    const auto plan = SqlitePlan(m_file.get(), lookup.text, lookup.parameters);
    EXPECT_FALSE(ScansATable(plan)) << plan;
    EXPECT_NE(plan.find("Clock Data In Moment"), std::string::npos) << plan;
    EXPECT_NE(plan.find("Clock Data Out Moment"), std::string::npos) << plan;
    EXPECT_NE(plan.find("Punch Corrections Record"), std::string::npos) << plan;
    const auto pairing = orvane::sql::Translate(
        "SELECT [ID] FROM [Clock Data Table] WHERE [Card ID] = 1204 AND [Punch Type] = \"I\" AND "
        "[Date Out] IS NULL AND ([Date In]+[Time In]) <= 46360 "
        "ORDER BY ([Date In]+[Time In]) DESC, [ID] DESC LIMIT 1");
    const auto pairs = SqlitePlan(m_file.get(), pairing.text, pairing.parameters);
    EXPECT_NE(pairs.find("Clock Data Open Records"), std::string::npos) << pairs;
    EXPECT_EQ(pairs.find("TEMP B-TREE"), std::string::npos) << pairs;
}

INSTANTIATE_TEST_SUITE_P(Statistics, QueryPlan, ::testing::Bool(), [](const auto& info) {
    return info.param ? std::string("Analyzed") : std::string("NotAnalyzed");
});

// A clock whose file another program holds locked when a punch comes: after its wait the punch
// is refused with "locked", saying it was not stored, and the clock stores the next one. The
// front end hears of the wait once, and never when the file is free.
TEST(DatabaseClockTest, PunchMeetingALockIsRefusedAndTheClockGoesOn) {
    TempFolder folder;
    const auto file = folder / "clock.db";
    ClockDatabase db(file, std::chrono::milliseconds(0));
    int waits = 0;
    db.SetWhileBusy([&] { ++waits; });
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const auto store = [&] { db.StorePunch(punch(record("", "I", {{8, 0}}, {}))); };
    std::string description;
    EXPECT_EQ(ErrorNumberOf(store, &description), 3218);
    EXPECT_EQ(description.rfind("The punch was not stored.", 0), 0u) << description;
    EXPECT_NE(description.find(file.string()), std::string::npos);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_EQ(waits, 1);
    EXPECT_TRUE(db.Rows().empty());
    store();
    EXPECT_EQ(db.Rows().size(), 1u);
    EXPECT_EQ(waits, 1);
}

// Clocks of one process on one file that share a write turn never meet the file locked by one
// another: with no busy wait at all, every punch of two clocks writing at once is stored, each
// out closing its own employee's in, and neither clock ever waits on the file.
// As a server's kiosks do: the clocks write in turn and leave the checkpoints to a thread of
// their own, which copies the log into the file without ever holding a punch up.
TEST(DatabaseClockTest, ClocksSharingAWriteTurnNeverMeetTheFileLocked) {
    TempFolder folder;
    const auto file = folder / "clock.db";
    const auto turn = std::make_shared<std::mutex>();
    constexpr int kRounds = 150;
    std::atomic<int> waits{0};
    std::vector<std::unique_ptr<ClockDatabase>> clocks;
    for (int i = 0; i < 2; ++i) {
        clocks.push_back(std::make_unique<ClockDatabase>(file, std::chrono::milliseconds(0)));
        clocks.back()->TakeWritesInTurn(turn);
        clocks.back()->LeaveCheckpointsToOthers();
        clocks.back()->SetWhileBusy([&] { ++waits; });
    }
    const auto unfilled = std::filesystem::file_size(file);
    auto checkpointer =
        std::make_unique<orvane::Checkpointer>(file, std::chrono::milliseconds(1), nullptr);
    std::vector<std::string> errors(clocks.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < clocks.size(); ++i) {
        threads.emplace_back([&, i] {
            const int32_t card = 3000 + static_cast<int32_t>(i);
            try {
                for (int round = 0; round < kRounds; ++round) {
                    clocks[i]->StorePunch({card, record("", "I", {{8, 0}}, {}), {}, {}});
                    clocks[i]->StorePunch({card, record("", "O", {}, {{9, 0}}), {}, {}});
                }
            } catch (const platform::RaisedError& error) {
                errors[i] = error.description();
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    checkpointer.reset();  // and its last checkpoint
    EXPECT_GT(std::filesystem::file_size(file), unfilled);
    for (size_t i = 0; i < clocks.size(); ++i) {
        EXPECT_EQ(errors[i], "");
        const auto rows = clocks[0]->Rows(3000 + static_cast<int32_t>(i));
        ASSERT_EQ(rows.size(), static_cast<size_t>(kRounds));
        for (const auto& row : rows)
            EXPECT_EQ(DescribeRow(row), "O 08:00 09:00");
    }
    EXPECT_EQ(waits, 0);
}

// Clocks starting together on a new file, as a terminal clock and a server at a shop's first
// morning: each opens it, whichever of them makes its tables and switches its journal.
TEST(DatabaseClockTest, ClocksStartingTogetherOnANewFileAllOpenIt) {
    for (int round = 0; round < 20; ++round) {
        TempFolder folder;
        std::atomic<bool> go{false};
        std::vector<std::string> errors(4);
        std::vector<std::thread> clocks;
        for (auto& error : errors) {
            clocks.emplace_back([&] {
                while (!go) {
                }
                try {
                    ClockDatabase(folder / "clock.db")
                        .StorePunch(punch(record("", "I", {{8, 0}}, {})));
                } catch (const platform::RaisedError& raised) {
                    error = raised.description();
                }
            });
        }
        go = true;
        for (auto& clock : clocks)
            clock.join();
        EXPECT_EQ(errors, std::vector<std::string>(4)) << "round " << round;
        EXPECT_EQ(ClockDatabase(folder / "clock.db").Rows().size(), 4u);
    }
}

}  // namespace
