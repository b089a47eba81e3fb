// The automatic punch: Skip, and the lookup of the last punch in a real clock database file.
#include <sqlite3.h>

#include <sstream>

#include <gtest/gtest.h>

#include "host/database/ClockDatabase.h"
#include "host/database/QueryDatabase.h"
#include "host/database/Sqlite.h"
#include "host/framework/Global.h"
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

class AutoPunch : public ::testing::Test {
  protected:
    void SetUp() override {
        m_step->InitProperties();
        setting("IsGlidepass", Variant(true));
        m_steps->Append("Employee ID", orvane::MakeValueStep("Employee ID", Variant(kCard)));
        m_database->SetConnectString("sqlite:" + m_file.string());
    }

    void setting(const char* name, const Variant& value) {
        m_step->Properties()->Item(Variant(name))->SetValue(value);
    }

    bool skip() { return framework::FromVBool(m_step->Skip(m_steps)); }
    std::string value() const { return m_step->Value().to_text(); }

    // Adds a row to the clock data: punch type, in-moment and out-moment (either may be absent),
    // each stored as the step writes it: the day, and the time of day on day zero.
    void row(int32_t card, const char* type, std::optional<Date> in, std::optional<Date> out) {
        std::ostringstream sql;
        sql.precision(17);
        sql << R"(INSERT INTO "Clock Data Table" ("Card ID", "Punch Type", "Date In", "Time In",
            "Date Out", "Time Out") VALUES ()"
            << card << ", '" << type << "'";
        for (const auto& moment : {in, out}) {
            const auto p = moment ? platform::split_rounded(*moment) : platform::DateParts{};
            if (moment)
                sql << ", " << platform::make_date(p.year, p.month, p.day)->days << ", "
                    << platform::make_time(p.hour, p.minute, p.second)->days;
            else
                sql << ", NULL, NULL";
        }
        exec(sql.str() + ")");
    }
    void exec(const std::string& sql) {
        ASSERT_EQ(sqlite3_exec(m_rows.get(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sql;
    }
    void clear_rows() { exec(R"(DELETE FROM "Clock Data Table")"); }

    platform::FakeServices m_services{kNow};
    platform::ServicesScope m_scope{m_services};
    TempFolder m_folder;
    std::filesystem::path m_file = m_folder / "clock.db";
    orvane::ClockDatabase m_clock{m_file};
    // The test's own connection to the clock's file, through which it lays out the rows.
    orvane::sqlite::ConnectionPtr m_rows =
        orvane::sqlite::Open(m_file, orvane::sqlite::OpenMode::Existing);
    std::shared_ptr<orvane::SqliteDatabase> m_database = std::make_shared<orvane::SqliteDatabase>();
    orvane::GlobalDatabaseScope m_installed{m_database};
    std::shared_ptr<stampkind::clsStep> m_step = std::make_shared<stampkind::clsStep>();
    std::shared_ptr<orvane::StepSequence> m_steps = std::make_shared<orvane::StepSequence>();
};

// The last punch of the employee within the span decides the next one. Which rows the lookup
// sees: the employee's own (the card number rounded to even with its sign), of the six work types
// (matched exactly), within the span at both ends, ordered by the in-moment or, without one, by
// the out-moment.
TEST_F(AutoPunch, LookupFindsTheLatestPunchInTheWindow) {
    struct Punch {
        int32_t card;
        const char* type;
        std::optional<Date> in;
        std::optional<Date> out;
    };
    struct Row {
        const char* name;
        double span;
        std::vector<Punch> punches;
        const char* next;
        Variant card = Variant(kCard);
    };
    const Date hour_ago = at(2026, 12, 4, 11, 7);
    // clang-format off
    const std::vector<Row> rows{
        {"LunchReturnIsFollowedByOut", 18.0, {{kCard, "LI", hour_ago, {}}}, "O"},
        {"BreakReturnIsFollowedByOut", 18.0, {{kCard, "BI", hour_ago, {}}}, "O"},
        {"TypeInLowerCaseIsNoPunch", 18.0, {{kCard, "lo", hour_ago, {}}}, "I"},
        {"RowWithoutInSortsByItsOutMoment", 18.0, {{kCard, "BO", at(2026, 12, 4, 6, 0), {}},
            {kCard, "O", {}, at(2026, 12, 4, 9, 30)}, {kCard + 1, "BO", hour_ago, {}}}, "I"},
        {"RowWithInAndOutSortsByItsInMoment", 18.0, {{kCard, "O", at(2026, 12, 4, 7, 0),
            at(2026, 12, 4, 11, 0)}, {kCard, "LO", at(2026, 12, 4, 10, 0), {}}}, "LI"},
        {"OtherTypesAndOldPunchesAreIgnored", 18.0, {{kCard, "BO", at(2026, 12, 3, 18, 7, 58), {}},
            {kCard, "H", at(2026, 12, 4, 12, 0), {}},
            {kCard, "E", at(2026, 12, 4, 8, 0), at(2026, 12, 4, 12, 7)}}, "I"},
        {"FirstMomentOfTheWindow", 18.0, {{kCard, "BO", at(2026, 12, 3, 18, 7, 59), {}}}, "BI"},
        {"LastMomentOfTheWindow", 18.0, {{kCard, "LO", {}, kNow}}, "LI"},
        {"ZeroSpanMissesASecondAgo", 0.0, {{kCard, "BO", at(2026, 12, 4, 12, 7, 58), {}}}, "I"},
        {"ZeroSpanFindsThisMoment", 0.0, {{kCard, "LO", kNow, {}}}, "LI"},
        {"NinetyMinutesAreExact", 1.5, {{kCard, "BO", at(2026, 12, 4, 10, 40), {}}}, "BI"},
        {"CardRoundedToEvenWithItsSign", 18.0, {{-17, "LO", at(2026, 12, 4, 11, 0), {}},
            {-18, "BO", at(2026, 12, 4, 10, 0), {}}}, "BI", Variant("-17.5")},
    };
    // clang-format on
    // Under day-first settings the window still reads month first (read day first, the 4th of
    // December would be the 12th of April).
    m_services.regional = platform::RegionalSettings::british_english();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        clear_rows();
        for (const Punch& p : r.punches)
            row(p.card, p.type, p.in, p.out);
        setting("GlidepassSpan", Variant(r.span));
        m_steps->Append("Employee ID", orvane::MakeValueStep("Employee ID", r.card));
        EXPECT_TRUE(skip());
        EXPECT_EQ(value(), r.next);
        EXPECT_TRUE(m_services.messages.empty()) << m_services.messages.front();
    }
}

// The lookup leaves the database as it found it.
TEST_F(AutoPunch, ClosedDatabaseIsClosedAgainAndAnOpenOneLeftOpen) {
    skip();
    EXPECT_FALSE(framework::FromVBool(m_database->IsOpen()));
    m_database->Open(m_database->ConnectString());
    row(kCard, "BO", at(2026, 12, 4, 11, 0), std::nullopt);
    skip();
    EXPECT_EQ(value(), "BI");
    EXPECT_TRUE(framework::FromVBool(m_database->IsOpen()));
}

// A database that cannot be opened never stops the punch: the message box explains it and the
// punch is an in.
TEST_F(AutoPunch, MissingClockFileIsExplainedAndThePunchGoesOnAsIn) {
    m_database->SetConnectString((m_folder / "absent.db").string());
    m_step->SetValue(Variant("BO"));
    EXPECT_TRUE(skip());
    EXPECT_EQ(value(), "I");
    ASSERT_EQ(m_services.messages.size(), 1u);
    EXPECT_EQ(m_services.messages[0].rfind("Error: Could not find file", 0), 0u)
        << m_services.messages[0];
}

// Saved settings of a kind the step cannot use (a hand-edited file) are restored as they are and
// never stop a punch: a glidepass flag that is not true is off, a span that is no number is
// explained and the punch goes on as an in punch. The administrator is told about each.
TEST_F(AutoPunch, OddSavedSettingsAreRestoredAndThePunchGoesOn) {
    const struct Row {
        const char* name;
        Variant glidepass;
        Variant span;
        bool skipped;
        std::vector<std::string> messages;
    } rows[] = {
        {"SpanText", Variant(true), Variant("abc"), true, {"Error: Type mismatch"}},
        {"SpanNull", Variant(true), Variant::null(), true, {"Error: Invalid use of Null"}},
        {"GlidepassYes", Variant("yes"), Variant(18.0), false, {}},
        {"GlidepassNull", Variant::null(), Variant(18.0), false, {}},
    };
    row(kCard, "BO", at(2026, 12, 4, 11, 0), std::nullopt);
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
        EXPECT_EQ(framework::FromVBool(restored->Skip(m_steps)), row.skipped);
        EXPECT_EQ(m_services.messages, row.messages);
        EXPECT_EQ(restored->Value(), Variant(row.skipped ? "I" : ""));
    }
}

// Without glidepass, or without an Employee ID step, nothing is looked up and the value stays.
// An Employee ID that is no number is raised to the host.
TEST_F(AutoPunch, NoLookupWithoutGlidepassOrEmployeeId) {
    row(kCard, "O", at(2026, 12, 4, 11, 0), std::nullopt);
    auto statistics_only = std::make_shared<orvane::StepSequence>();
    statistics_only->Append("Employee Statistics",
                            orvane::MakeValueStep("Employee Statistics", Variant()));
    m_step->SetValue(Variant("BO"));
    EXPECT_EQ(m_step->Skip(statistics_only), VBool::True);
    EXPECT_EQ(value(), "BO");
    EXPECT_TRUE(m_step->HasStatisticsStep());

    for (const auto& off : {Variant(false), Variant(int32_t{0}), Variant("False"), Variant()}) {
        setting("IsGlidepass", off);
        EXPECT_FALSE(skip());
        EXPECT_EQ(value(), "BO");
    }
    EXPECT_FALSE(m_step->HasStatisticsStep());

    setting("IsGlidepass", Variant(true));
    m_steps->Append("Employee ID", orvane::MakeValueStep("Employee ID", Variant("card seven")));
    EXPECT_EQ(ErrorNumberOf([&] { skip(); }), platform::err::kTypeMismatch);
}

}  // namespace
