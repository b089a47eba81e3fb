// The automatic punch: Skip, the lookup's query and its answer, through a recording database
// and against real clock database files.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include "host/database/ClockDatabase.h"
#include "host/database/SqliteDatabase.h"
#include "host/framework/Global.h"
#include "host/framework/PunchDateTime.h"
#include "host/framework/PunchRecord.h"
#include "host/framework/StepSequence.h"
#include "platform/Error.h"
#include "platform/FakeServices.h"
#include "step/StepSettings.h"
#include "step/clsStep.h"
#include "tests/support/Raised.h"
#include "tests/support/TempFolder.h"

namespace {

using framework::VBool;
using platform::Date;
using platform::Variant;

Date at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return *platform::make_date_time({year, month, day, hour, minute, second});
}

const Date kNow = at(2026, 12, 4, 12, 7, 59);
constexpr int32_t kCard = 1204;

// A recordset of at most one row with a "Punch Type".
class FakeRecordset final : public framework::IRecordset {
  public:
    FakeRecordset(std::optional<Variant> punch_type, std::vector<std::string>& calls)
        : m_punch_type(std::move(punch_type)), m_calls(calls) {}
    VBool Eof() const override { return framework::ToVBool(!m_punch_type); }
    std::shared_ptr<framework::IRecordsetField> Fields(const std::string& name) const override;
    void MoveNext() override { m_punch_type.reset(); }
    void Close() override { m_calls.push_back("Recordset.Close"); }

  private:
    std::optional<Variant> m_punch_type;
    std::vector<std::string>& m_calls;
};

class FakeField final : public framework::IRecordsetField {
  public:
    explicit FakeField(Variant value) : m_value(std::move(value)) {}
    std::string Name() const override { return "Punch Type"; }
    Variant Value() const override { return m_value; }

  private:
    Variant m_value;
};

std::shared_ptr<framework::IRecordsetField> FakeRecordset::Fields(const std::string& name) const {
    if (name != "Punch Type")
        platform::raise(3265, "Item not found in this collection.");
    return std::make_shared<FakeField>(*m_punch_type);
}

// A database that records what it is asked and answers with one prepared last punch.
class FakeDatabase final : public framework::IDatabase {
  public:
    VBool IsOpen() const override { return framework::ToVBool(open); }
    std::string ConnectString() const override { return connect_string; }
    void SetConnectString(const std::string& text) override { connect_string = text; }
    void Open(const std::string& text) override {
        calls.push_back("Open " + text);
        open = true;
    }
    std::shared_ptr<framework::IRecordset> Execute(const std::string& sql) override {
        calls.push_back("Execute");
        queries.push_back(sql);
        if (failure)
            throw *failure;
        return std::make_shared<FakeRecordset>(last_punch, calls);
    }
    void Close() override {
        calls.push_back("Close");
        open = false;
    }

    bool open = false;
    std::string connect_string = "sqlite:/clock/punches.db";
    std::optional<Variant> last_punch;
    std::optional<platform::RaisedError> failure;
    std::vector<std::string> calls;
    std::vector<std::string> queries;
};

// A clock that moves on one second each time it is read.
class TickingServices final : public platform::FakeServices {
  public:
    using FakeServices::FakeServices;
    Date Now() override {
        const Date present = now;
        now.days += 1.0 / 86400.0;
        return present;
    }
};

class AutoPunch : public ::testing::Test {
  protected:
    void SetUp() override {
        m_step->InitProperties();
        setting("IsGlidepass", Variant(true));
        m_steps->Append("Employee ID", orvane::MakeValueStep("Employee ID", Variant(kCard)));
    }

    void setting(const char* name, const Variant& value) {
        m_step->Properties()->Item(Variant(name))->SetValue(value);
    }

    bool skip() { return framework::FromVBool(m_step->Skip(m_steps)); }
    std::string value() const { return m_step->Value().to_text(); }

    platform::FakeServices m_services{kNow};
    platform::ServicesScope m_scope{m_services};
    std::shared_ptr<FakeDatabase> m_database = std::make_shared<FakeDatabase>();
    orvane::GlobalDatabaseScope m_installed{m_database};
    std::shared_ptr<stampkind::clsStep> m_step = std::make_shared<stampkind::clsStep>();
    std::shared_ptr<orvane::StepSequence> m_steps = std::make_shared<orvane::StepSequence>();
};

TEST_F(AutoPunch, QueryIsJoinedWithBoundsReadAfreshFromTheClock) {
    TickingServices ticking{kNow};
    platform::ServicesScope scope{ticking};
    ASSERT_TRUE(skip());
    ASSERT_EQ(m_database->queries.size(), 1u);
    // Each bound reads the clock anew: 18 hours before 12:07:59, then 12:08:00, 18 hours before
    // 12:08:01, then 12:08:02.
    EXPECT_EQ(m_database->queries[0],
              "SELECT [Clock Data Table].[Card ID], [Clock Data Table].[Date In], [Clock Data "
              "Table].[Time In], [Clock Data Table].[Date Out], [Clock Data Table].[Time Out], "
              "[Clock Data Table].[Punch Type], IIf(IsNull([Date In]),[Date Out]+[Time Out],[Date "
              "In]+[Time In]) AS SortByDateTime FROM [Clock Data Table] WHERE [Card ID]=1204 AND "
              "(([Date In]+[Time In]) BETWEEN #12/3/2026 6:07:59 PM# AND #12/4/2026 12:08:00 PM# "
              "OR ([Date Out]+[Time Out]) BETWEEN #12/3/2026 6:08:01 PM# AND #12/4/2026 12:08:02 "
              "PM#) AND ([Punch Type] IN (\"I\",\"O\",\"LI\",\"LO\",\"BI\",\"BO\")) ORDER BY "
              "IIf(IsNull([Date In]),[Date Out]+[Time Out],[Date In]+[Time In]) DESC;");
}

TEST_F(AutoPunch, BoundsAreMonthFirstWhateverTheRegionalSettings) {
    m_services.regional = platform::RegionalSettings::british_english();
    setting("GlidepassSpan", Variant(1.5));  // applied exactly: 90 minutes
    m_services.now = at(2026, 1, 2, 0, 5, 0);
    skip();
    ASSERT_EQ(m_database->queries.size(), 1u);
    EXPECT_NE(
        m_database->queries[0].find("BETWEEN #1/1/2026 10:35:00 PM# AND #1/2/2026 12:05:00 AM#"),
        std::string::npos)
        << m_database->queries[0];
}

TEST_F(AutoPunch, NegativeCardNumberIsWrittenWithItsSign) {
    m_steps->Append("Employee ID", orvane::MakeValueStep("Employee ID", Variant("-17.5")));
    skip();
    ASSERT_EQ(m_database->queries.size(), 1u);
    // -17.5 rounds to the even -18.
    EXPECT_NE(m_database->queries[0].find("WHERE [Card ID]=-18 AND"), std::string::npos);
}

struct NextPunchCase {
    const char* name;
    std::optional<Variant> last;
    const char* next;
};

class NextPunch : public AutoPunch, public ::testing::WithParamInterface<NextPunchCase> {};

TEST_P(NextPunch, FollowsTheLastPunch) {
    m_database->last_punch = GetParam().last;
    m_step->SetValue(Variant("H"));
    EXPECT_TRUE(skip());
    EXPECT_EQ(value(), GetParam().next);
    EXPECT_TRUE(m_services.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(LastPunch, NextPunch,
                         ::testing::Values(NextPunchCase{"AfterIn", Variant("I"), "O"},
                                           NextPunchCase{"AfterOut", Variant("O"), "I"},
                                           NextPunchCase{"AfterLunchReturn", Variant("LI"), "O"},
                                           NextPunchCase{"AfterLunchLeave", Variant("LO"), "LI"},
                                           NextPunchCase{"AfterBreakReturn", Variant("BI"), "O"},
                                           NextPunchCase{"AfterBreakLeave", Variant("BO"), "BI"},
                                           NextPunchCase{"AfterOtherType", Variant("E"), "I"},
                                           NextPunchCase{"ComparedExactly", Variant("lo"), "I"},
                                           NextPunchCase{"AfterNull", Variant::null(), "I"},
                                           NextPunchCase{"NoPunchInSpan", std::nullopt, "I"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AutoPunch, ClosedDatabaseIsOpenedForTheLookupAndClosedAgain) {
    m_database->last_punch = Variant("I");
    skip();
    EXPECT_EQ(m_database->calls, (std::vector<std::string>{"Open sqlite:/clock/punches.db",
                                                           "Execute", "Recordset.Close", "Close"}));
}

TEST_F(AutoPunch, OpenDatabaseIsLeftOpen) {
    m_database->open = true;
    skip();
    EXPECT_EQ(m_database->calls, (std::vector<std::string>{"Execute", "Recordset.Close"}));
    EXPECT_TRUE(m_database->open);
}

TEST_F(AutoPunch, FailingQueryIsShownOnceAndThePunchGoesOnAsIn) {
    m_database->failure = platform::RaisedError(3000, "Clock database: disk I/O error.");
    EXPECT_TRUE(skip());
    EXPECT_EQ(value(), "I");
    EXPECT_EQ(m_services.messages,
              (std::vector<std::string>{"Error: Clock database: disk I/O error."}));
    // The database it opened stays open on the error path.
    EXPECT_EQ(m_database->calls,
              (std::vector<std::string>{"Open sqlite:/clock/punches.db", "Execute"}));
}

// Saved settings of a kind the step cannot use (a hand-edited file) are restored as they are and
// never stop a punch: a glidepass flag that is not true is off, a span that is no number is
// explained and the punch goes on as an in punch. The administrator is told about each.
TEST_F(AutoPunch, OddSavedSettingsAreRestoredAndThePunchGoesOn) {
    struct Row {
        const char* name;
        Variant glidepass;
        Variant span;
        bool skipped;
        std::vector<std::string> messages;
    };
    const std::vector<Row> rows{
        {"SpanText", Variant(true), Variant("abc"), true, {"Error: Type mismatch"}},
        {"SpanNull", Variant(true), Variant::null(), true, {"Error: Invalid use of Null"}},
        {"GlidepassYes", Variant("yes"), Variant(18.0), false, {}},
        {"GlidepassNull", Variant::null(), Variant(18.0), false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        setting("IsGlidepass", row.glidepass);
        setting("GlidepassSpan", row.span);
        platform::PropertyBag bag;
        m_step->WriteProperties(bag);
        auto restored = std::make_shared<stampkind::clsStep>();
        ASSERT_NO_THROW(restored->ReadProperties(bag));
        EXPECT_EQ(stampkind::SettingsView(restored->Properties()).Problems().size(), 1U);

        m_services.messages.clear();
        m_database->queries.clear();
        EXPECT_EQ(framework::FromVBool(restored->Skip(m_steps)), row.skipped);
        EXPECT_EQ(m_services.messages, row.messages);
        EXPECT_TRUE(m_database->queries.empty());
        if (row.skipped) {
            EXPECT_EQ(restored->Value(), Variant("I"));
            restored->AttachDateTime(std::make_shared<orvane::PunchDateTime>(kNow));
            auto record = std::make_shared<orvane::PunchRecord>("");
            restored->WriteValue(m_steps, "", record);
            EXPECT_EQ(record->writes().front().second, Variant("I"));
        }
    }
}

TEST_F(AutoPunch, WithoutEmployeeIdStepSkipsWithoutLookingAnythingUp) {
    auto steps = std::make_shared<orvane::StepSequence>();
    steps->Append("Employee Statistics", orvane::MakeValueStep("Employee Statistics", Variant()));
    m_step->SetValue(Variant("BO"));
    EXPECT_EQ(m_step->Skip(steps), VBool::True);
    EXPECT_EQ(value(), "BO");
    EXPECT_TRUE(m_step->HasStatisticsStep());
    EXPECT_TRUE(m_database->calls.empty());
}

TEST_F(AutoPunch, GlidepassOffShowsTheKeypad) {
    const std::vector<Variant> off{Variant(false), Variant(int32_t{0}), Variant("False"),
                                   Variant()};
    for (const auto& setting_value : off) {
        setting("IsGlidepass", setting_value);
        m_step->SetValue(Variant("BO"));
        EXPECT_FALSE(skip());
        EXPECT_EQ(value(), "BO");
    }
    EXPECT_FALSE(m_step->HasStatisticsStep());
    EXPECT_TRUE(m_database->calls.empty());
}

TEST_F(AutoPunch, EmployeeIdThatIsNoNumberRaisesToTheHost) {
    m_steps->Append("Employee ID", orvane::MakeValueStep("Employee ID", Variant("card seven")));
    m_steps->Append("Employee Statistics", orvane::MakeValueStep("Employee Statistics", Variant()));
    EXPECT_EQ(ErrorNumberOf([&] { skip(); }), platform::err::kTypeMismatch);
    EXPECT_FALSE(m_step->HasStatisticsStep());
    EXPECT_TRUE(m_database->calls.empty());
}

// The lookup against a real clock database file.
class AutoPunchOnFile : public AutoPunch {
  protected:
    void SetUp() override {
        AutoPunch::SetUp();
        m_sqlite->SetConnectString("sqlite:" + m_file.string());
    }

    // Adds a row to the clock data: punch type, in-moment and out-moment (either may be absent).
    void row(int32_t card, const char* type, std::optional<Date> in, std::optional<Date> out) {
        sqlite3_stmt* insert = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(m_clock.handle(),
                                     R"sql(INSERT INTO "Clock Data Table"
                ("Card ID", "Punch Type", "Date In", "Time In", "Date Out", "Time Out")
                VALUES (?, ?, ?, ?, ?, ?))sql",
                                     -1, &insert, nullptr),
                  SQLITE_OK);
        sqlite3_bind_int(insert, 1, card);
        sqlite3_bind_text(insert, 2, type, -1, SQLITE_STATIC);
        int column = 3;
        for (const auto& moment : {in, out}) {
            if (moment) {
                // Stored as the step writes them: the day, and the time of day on day zero.
                const auto parts = platform::split_rounded(*moment);
                sqlite3_bind_double(insert, column,
                                    platform::make_date(parts.year, parts.month, parts.day)->days);
                sqlite3_bind_double(
                    insert, column + 1,
                    platform::make_time(parts.hour, parts.minute, parts.second)->days);
            }
            column += 2;
        }
        ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_finalize(insert);
    }

    TempFolder m_folder;
    std::filesystem::path m_file = m_folder / "clock.db";
    orvane::ClockDatabase m_clock{m_file};
    std::shared_ptr<orvane::SqliteDatabase> m_sqlite = std::make_shared<orvane::SqliteDatabase>();
    orvane::GlobalDatabaseScope m_real{m_sqlite};
};

TEST_F(AutoPunchOnFile, RowWithoutInSortsByItsOutMoment) {
    row(kCard, "BO", at(2026, 12, 4, 6, 0), std::nullopt);
    row(kCard, "O", std::nullopt, at(2026, 12, 4, 9, 30));
    row(kCard + 1, "BO", at(2026, 12, 4, 11, 0), std::nullopt);  // another employee
    EXPECT_TRUE(skip());
    EXPECT_EQ(value(), "I");
    EXPECT_TRUE(m_services.messages.empty()) << m_services.messages.front();
}

TEST_F(AutoPunchOnFile, RowWithInAndOutSortsByItsInMoment) {
    row(kCard, "O", at(2026, 12, 4, 7, 0), at(2026, 12, 4, 11, 0));
    row(kCard, "LO", at(2026, 12, 4, 10, 0), std::nullopt);
    skip();
    EXPECT_EQ(value(), "LI");
}

TEST_F(AutoPunchOnFile, OtherTypesAndOldPunchesAreNeverLookedAt) {
    row(kCard, "BO", at(2026, 12, 3, 18, 7, 58), std::nullopt);  // one second before the span
    row(kCard, "H", at(2026, 12, 4, 12, 0), std::nullopt);
    row(kCard, "E", at(2026, 12, 4, 8, 0), at(2026, 12, 4, 12, 7));
    skip();
    EXPECT_EQ(value(), "I");
}

TEST_F(AutoPunchOnFile, BothEndsOfTheWindowCount) {
    row(kCard, "BO", at(2026, 12, 3, 18, 7, 59), std::nullopt);
    skip();
    EXPECT_EQ(value(), "BI");
    row(kCard, "LO", std::nullopt, kNow);
    skip();
    EXPECT_EQ(value(), "LI");
}

TEST_F(AutoPunchOnFile, ZeroSpanFindsOnlyAPunchAtThisVeryMoment) {
    setting("GlidepassSpan", Variant(0.0));
    row(kCard, "BO", at(2026, 12, 4, 12, 7, 58), std::nullopt);
    skip();
    EXPECT_EQ(value(), "I");
    row(kCard, "LO", kNow, std::nullopt);
    skip();
    EXPECT_EQ(value(), "LI");
}

// A database that cannot be opened never stops the punch: the message box explains it and the
// punch is an in.
TEST_F(AutoPunch, MissingClockFileIsExplainedAndThePunchGoesOnAsIn) {
    TempFolder folder;
    auto sqlite = std::make_shared<orvane::SqliteDatabase>();
    sqlite->SetConnectString((folder / "clock.db").string());
    orvane::GlobalDatabaseScope installed{sqlite};
    m_step->SetValue(Variant("BO"));
    EXPECT_TRUE(skip());
    EXPECT_EQ(value(), "I");
    ASSERT_EQ(m_services.messages.size(), 1u);
    EXPECT_EQ(m_services.messages[0].rfind("Error: Could not find file", 0), 0u)
        << m_services.messages[0];
}

}  // namespace
