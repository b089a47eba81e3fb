// The step: its settings, value, clone and messages, punch validation, the fields it writes into
// the punch's records, and the automatic punch's lookup of the last punch in a real clock database.
#include <sqlite3.h>

#include <sstream>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "framework/Factories.h"
#include "framework/IStep.h"
#include "host/database/ClockDatabase.h"
#include "host/database/QueryDatabase.h"
#include "host/database/Sqlite.h"
#include "host/framework/ErrorCollection.h"
#include "host/framework/Global.h"
#include "host/framework/Message.h"
#include "host/framework/PunchDateTime.h"
#include "host/framework/PunchRecord.h"
#include "host/framework/RecordNameList.h"
#include "host/framework/StepSequence.h"
#include "platform/Error.h"
#include "platform/FakeServices.h"
#include "platform/PropertyBag.h"
#include "step/StepSettings.h"
#include "step/clsStep.h"
#include "tests/support/Raised.h"
#include "tests/support/TempFolder.h"

namespace {

using framework::IStep;
using framework::VBool;
using platform::Date;
using platform::Variant;
using Writes = std::vector<orvane::PunchRecord::Write>;

Date at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return *platform::make_date_time({year, month, day, hour, minute, second});
}
Date clock_time(int hour, int minute) {
    return *platform::make_time(hour, minute, 0);
}

// The punch moment, and the date-times and amount a manager entered.
const Date kPunch = at(2026, 12, 4, 12, 7, 59);
const Date kEnteredIn = at(2026, 12, 3, 8, 15, 30);
const Date kEnteredOut = at(2026, 12, 3, 17, 45, 10);
constexpr double kAmount = 7.5;

// The fields of a moment as the step writes them ("In" or "Out"): the day, then the time to the
// minute.
Writes fields(const std::string& side, Date day, Date time) {
    return {{"Date " + side, Variant(day)}, {"Time " + side, Variant(time)}};
}
const Writes kInAtPunch = fields("In", at(2026, 12, 4), clock_time(12, 7));
const Writes kOutAtPunch = fields("Out", at(2026, 12, 4), clock_time(12, 7));
const Writes kInAtEnteredIn = fields("In", at(2026, 12, 3), clock_time(8, 15));
const Writes kOutAtEnteredIn = fields("Out", at(2026, 12, 3), clock_time(8, 15));
const Writes kInAtEnteredOut = fields("In", at(2026, 12, 3), clock_time(17, 45));
const Writes kOutAtEnteredOut = fields("Out", at(2026, 12, 3), clock_time(17, 45));

Writes punch_type(const char* type) {
    return {{"Punch Type", Variant(type)}};
}
Writes amount(const char* field) {
    return {{field, Variant(kAmount)}};
}
Writes join(std::initializer_list<Writes> parts) {
    Writes all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A punch's writes: its type, the notes if any, its moment, then the amount if any.
Writes typed(const char* type, const Writes& moment, const char* amount_field = nullptr,
             const char* notes = nullptr) {
    return join({punch_type(type), notes ? Writes{{"Notes", Variant(notes)}} : Writes{}, moment,
                 amount_field ? amount(amount_field) : Writes{}});
}

class StepRecords : public ::testing::Test {
  protected:
    void SetUp() override {
        m_step->InitProperties();
        m_step->AttachDateTime(std::make_shared<orvane::PunchDateTime>(kPunch));
        m_step->SetDateTimeIn(kEnteredIn);
        m_step->SetDateTimeOut(kEnteredOut);
        m_step->SetAmount(kAmount);
    }

    void manager_mode(bool on) {
        m_step->ReceiveMessage(orvane::MakeMessage("manager mode", Variant(on)));
    }

    Writes write(const std::string& value, const std::string& record_name = "") {
        m_step->SetValue(Variant(value));
        auto record = std::make_shared<orvane::PunchRecord>(record_name);
        m_step->WriteValue(nullptr, record_name, record);
        return record->writes();
    }

    platform::FakeServices m_services{kPunch};
    platform::ServicesScope m_scope{m_services};
    std::shared_ptr<stampkind::clsStep> m_step = std::make_shared<stampkind::clsStep>();
};

// The fields each code writes into the punch's own record (no record name), and what an extra
// record of a lunch or a switch holds whatever the value (here "H"): employees punch at the punch
// moment, managers at the moments they entered.
TEST_F(StepRecords, WritesTheFieldsOfTheCodeInOrder) {
    const struct Row {
        const char* value;
        const char* record_name;
        bool manager;
        Writes expected;
    } rows[] = {
        {"I", "", false, typed("I", kInAtPunch)},
        {"O", "", false, typed("O", kOutAtPunch)},
        {"BO", "", false, typed("BO", kInAtPunch)},
        {"BI", "", false, typed("BI", kOutAtPunch)},
        {"SW", "", false, typed("O", kOutAtPunch)},  // no sick amount
        {"Status", "", false, {}},
        {"lo", "", false, {}},
        {"X", "", false, typed("X", kInAtPunch, "Other")},
        {"FL", "", false, typed("P", kInAtPunch, "Personal", "Funeral Leave")},
        {"C", "", false, typed("E", join({kInAtEnteredIn, kOutAtEnteredOut}))},
        {"F", "", false, amount("Personal")},
        {"O", "", true, typed("O", kOutAtEnteredOut)},
        {"SW", "", true, typed("O", kOutAtEnteredOut)},
        {"BO", "", true, typed("BO", kInAtEnteredOut)},  // the leave opens the break
        {"BI", "", true, typed("BI", kOutAtEnteredIn)},  // the return closes it
        {"H", "", true, typed("H", kInAtEnteredIn, "Holiday")},
        {"C", "", true, typed("E", join({kInAtEnteredIn, kOutAtEnteredOut}))},
        {"H", "I", false, typed("I", kInAtPunch)},
        {"H", "lo", false, typed("LO", kInAtPunch)},
        {"H", "X", false, {}},
        {"H", "LI", true, typed("LI", kOutAtEnteredIn)},
        {"H", "LO", true, typed("LO", kInAtEnteredOut)},
        {"H", "I", true, typed("I", kInAtEnteredIn)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.value) + " " + row.record_name +
                     (row.manager ? " manager" : ""));
        manager_mode(row.manager);
        EXPECT_EQ(write(row.value, row.record_name), row.expected);
    }
}

// The real clock carries milliseconds. The records hold the minute of a moment, the fraction
// dropped, never rounded into the next minute or the next day: from the punch moment and from the
// entered ones alike.
TEST_F(StepRecords, FractionsOfASecondAreCutToTheMinute) {
    const struct {
        int hour, minute;
        double seconds;
    } rows[] = {{14, 7, 59.5}, {14, 7, 59.999}, {23, 59, 59.7}, {11, 59, 59.7}};
    for (const auto& row : rows) {
        const Date moment{at(2026, 3, 2, row.hour, row.minute).days + row.seconds / 86400.0};
        m_step->AttachDateTime(std::make_shared<orvane::PunchDateTime>(moment));
        m_step->SetDateTimeIn(moment);
        m_step->SetDateTimeOut(moment);
        const Date day = at(2026, 3, 2), time = clock_time(row.hour, row.minute);
        EXPECT_EQ(write("I"), typed("I", fields("In", day, time))) << row.hour;
        manager_mode(true);
        EXPECT_EQ(write("C"), typed("E", join({fields("In", day, time), fields("Out", day, time)})))
            << row.hour;
        manager_mode(false);
    }
}

// A punch date-time whose parts add up past the last moment the date type holds.
class FarPunchDateTime final : public framework::IPunchDateTime {
  public:
    Variant Date() const override { return Variant(at(9999, 12, 31)); }
    Variant Time() const override { return Variant(platform::Date{1.5}); }
};

// A new step completes with day zero and needs no punch date-time for it. A write that fails
// raises after the fields written so far: without a punch date-time, with a punch moment past the
// date range, into a record without the amount's field.
TEST_F(StepRecords, FailedWritesRaiseAfterTheFieldsBefore) {
    auto fresh = std::make_shared<stampkind::clsStep>();
    fresh->SetValue(Variant("C"));
    auto record = std::make_shared<orvane::PunchRecord>();
    fresh->WriteValue(nullptr, "", record);
    const Date zero{0.0};
    EXPECT_EQ(record->writes(),
              typed("E", join({fields("In", zero, zero), fields("Out", zero, zero)})));

    fresh->SetValue(Variant("I"));
    record = std::make_shared<orvane::PunchRecord>();
    EXPECT_EQ(ErrorNumberOf([&] { fresh->WriteValue(nullptr, "", record); }),
              platform::err::kObjectVariableNotSet);
    EXPECT_EQ(record->writes(), punch_type("I"));

    m_step->SetValue(Variant("H"));
    record = std::make_shared<orvane::PunchRecord>(
        "", std::vector<std::string>{"Punch Type", "Date In", "Time In"});
    EXPECT_EQ(ErrorNumberOf([&] { m_step->WriteValue(nullptr, "", record); }),
              platform::err::kSubscriptOutOfRange);
    EXPECT_EQ(record->writes(), typed("H", kInAtPunch));

    m_step->AttachDateTime(std::make_shared<FarPunchDateTime>());
    EXPECT_THROW(write("O"), platform::RaisedError);
}

TEST_F(StepRecords, ValidateValueSearchesTheCodeListIgnoringCaseAndRefusesNull) {
    for (const char* accepted : {"", "I", "lo", "C", "Status", "GLP", "SW", "W", "I,O"})
        EXPECT_EQ(m_step->ValidateValue(Variant(accepted)), VBool::True) << accepted;
    for (const char* refused : {"FL", "Z", "IN", " I", "I,"})
        EXPECT_EQ(m_step->ValidateValue(Variant(refused)), VBool::False) << refused;
    EXPECT_EQ(m_step->ValidateValue(Variant(int32_t{5})), VBool::False);
    EXPECT_EQ(ErrorNumberOf([&] { m_step->ValidateValue(Variant::null()); }),
              platform::err::kInvalidUseOfNull);
}

TEST_F(StepRecords, RegisterRecordNamesAddsTheExtraRecordOfLunchAndSwitch) {
    const std::vector<std::pair<const char*, std::vector<std::string>>> cases{
        {"LI", {"LI"}}, {"LO", {"LO"}}, {"SW", {"I"}}, {"I", {}}, {"lo", {}}, {"", {}}};
    for (const auto& [value, names] : cases) {
        m_step->SetValue(Variant(value));
        auto list = std::make_shared<orvane::RecordNameList>();
        m_step->RegisterRecordNames(list);
        EXPECT_EQ(list->names(), names) << value;
    }
}

// The automatic punch: Skip, and the lookup of the last punch in a real clock database file.
constexpr int32_t kCard = 1204;

// The step as the records' tests have it, with the automatic punch on, behind an Employee ID step,
// and a clock database file installed as the lookup's database.
class AutoPunch : public StepRecords {
  protected:
    void SetUp() override {
        StepRecords::SetUp();
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

    TempFolder m_folder;
    std::filesystem::path m_file = m_folder / "clock.db";
    orvane::ClockDatabase m_clock{m_file};
    // The test's own connection to the clock's file, through which it lays out the rows.
    orvane::sqlite::ConnectionPtr m_rows =
        orvane::sqlite::Open(m_file, orvane::sqlite::OpenMode::Existing);
    std::shared_ptr<orvane::SqliteDatabase> m_database = std::make_shared<orvane::SqliteDatabase>();
    orvane::GlobalDatabaseScope m_installed{m_database};
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
        {"LastMomentOfTheWindow", 18.0, {{kCard, "LO", {}, kPunch}}, "LI"},
        {"ZeroSpanMissesASecondAgo", 0.0, {{kCard, "BO", at(2026, 12, 4, 12, 7, 58), {}}}, "I"},
        {"ZeroSpanFindsThisMoment", 0.0, {{kCard, "LO", kPunch, {}}}, "LI"},
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

// The step's settings, value, clone and messages.
std::shared_ptr<IStep> NewStep() {
    auto step = stampkind::clsStep::Create();
    step->InitProperties();
    return step;
}

std::shared_ptr<IStep> RestoredStep(platform::PropertyBag& bag) {
    auto step = stampkind::clsStep::Create();
    step->ReadProperties(bag);
    return step;
}

Variant Setting(const IStep& step, const char* name) {
    return step.Properties()->Item(name)->Value();
}

// A new step, and one restored without saved settings, hold the three defaults; saved settings
// come back through the stored text, and a setting an older step did not save gets its default.
// Exact equality: the kind of each value matters as much as the value.
TEST(StepSettingsTest, DefaultsAndSavedSettingsComeBackWithTheirKinds) {
    auto older = framework::NewPropertyCollection();
    older->Add("AllowedStampkinds", "0110000001");
    older->Add("IsGlidepass", true);
    platform::PropertyBag nothing, bag;
    bag.WriteProperty("Props", older);
    auto stored = platform::PropertyBag::from_text(bag.to_text());
    const std::vector<Variant> defaults{Variant("1111111111"), Variant(false), Variant(18.0)};
    const std::pair<std::shared_ptr<IStep>, std::vector<Variant>> rows[] = {
        {NewStep(), defaults},
        {RestoredStep(nothing), defaults},
        {RestoredStep(stored), {Variant("0110000001"), Variant(true), Variant(18.0)}},
    };
    for (const auto& [step, values] : rows) {
        ASSERT_NE(step->Properties(), nullptr);
        EXPECT_EQ(step->Properties()->Count(), 3);
        EXPECT_EQ(Setting(*step, "AllowedStampkinds"), values[0]);
        EXPECT_EQ(Setting(*step, "IsGlidepass"), values[1]);
        EXPECT_EQ(Setting(*step, "GlidepassSpan"), values[2]);
    }
    // Not yet initialised: no settings, and neither has its clone.
    auto step = stampkind::clsStep::Create();
    EXPECT_EQ(step->Properties(), nullptr);
    EXPECT_EQ(step->Clone()->Properties(), nullptr);
}

// A saved count of settings that is a text, or Props that holds no collection, is raised and
// leaves the step's settings as they were.
TEST(StepSettingsTest, DamagedStoredSettingsRaiseAndOverwriteNothing) {
    platform::PropertyBag bag;
    std::dynamic_pointer_cast<platform::Persistable>(NewStep())->WriteProperties(bag);
    nlohmann::json damaged = bag.to_json();
    auto& saved = damaged["Props"]["properties"];
    ASSERT_TRUE(saved.contains("Count") && saved.contains("Name1")) << damaged;
    saved["Count"] = saved["Name1"];
    platform::PropertyBag no_collection;
    no_collection.WriteProperty("Props", "1111111111");

    const std::pair<platform::PropertyBag, int32_t> rows[] = {
        {platform::PropertyBag::from_json(damaged), platform::err::kBadFileFormat},
        {no_collection, platform::err::kObjectRequired}};
    for (auto [stored, number] : rows) {
        auto step = NewStep();
        step->Properties()->Item("IsGlidepass")->SetValue(true);
        const auto settings = step->Properties();
        EXPECT_EQ(
            ErrorNumberOf([&] {
                std::dynamic_pointer_cast<platform::Persistable>(step)->ReadProperties(stored);
            }),
            number);
        EXPECT_EQ(step->Properties(), settings);
        EXPECT_EQ(Setting(*step, "IsGlidepass"), Variant(true));
    }
}

TEST(StepValueTest, NewStepHoldsAnEmptyTextAndIsValidAsksOnlyForSomeText) {
    const std::vector<std::pair<Variant, VBool>> cases{
        {Variant(""), VBool::False}, {Variant("nonsense"), VBool::True},
        {Variant(" "), VBool::True}, {Variant(int32_t{0}), VBool::True},
        {Variant(), VBool::False},
    };
    auto step = NewStep();
    for (const auto& [value, valid] : cases) {
        step->SetValue(value);
        EXPECT_EQ(step->IsValid(), valid) << step->Value().to_text();
        EXPECT_TRUE(step->Value().is_text());
    }
    // Null is raised and keeps the old value.
    step->SetValue("LO");
    EXPECT_EQ(ErrorNumberOf([&] { step->SetValue(Variant::null()); }), 94);
    EXPECT_EQ(step->Value(), Variant("LO"));
}

// A clone has its own copy of the settings and the values of a new step.
TEST(StepCloneTest, CloneHasItsOwnEqualSettingsAndANewStepsValues) {
    auto original = std::dynamic_pointer_cast<stampkind::clsStep>(NewStep());
    original->Properties()->Item("GlidepassSpan")->SetValue(6.0);
    original->SetValue("SW");
    original->SetAmount(7.5);
    original->ReceiveMessage(orvane::MakeMessage("manager mode", true));
    auto clone = std::dynamic_pointer_cast<stampkind::clsStep>(original->Clone());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(Setting(*clone, "GlidepassSpan"), Variant(6.0));
    EXPECT_TRUE(clone->Value() == Variant("") && clone->Amount() == 0.0 && !clone->ManagerMode());
    clone->Properties()->Item("IsGlidepass")->SetValue(true);
    EXPECT_EQ(Setting(*original, "IsGlidepass"), Variant(false));
}

// Message names are matched after lower-casing only; a value of the wrong kind is raised and
// attaches nothing.
TEST(StepMessageTest, NamesAreMatchedAfterLowerCasingOnlyAndWrongKindsRaise) {
    auto moment = std::make_shared<orvane::PunchDateTime>(platform::Date{46360.5});
    const struct Case {
        const char* name;
        Variant value;
        bool attaches;
        bool manager;
        int32_t error;
    } cases[] = {
        {"DateTime", moment, true, false, 0},
        {"MANAGER MODE", int32_t{-1}, false, true, 0},
        {"managermode", true, false, false, 0},
        {"manager mode", Variant::null(), false, false, 94},
        {"manager mode", "perhaps", false, false, 13},
        {"datetime", "12/4/2026", false, false, 424},
        {"datetime", std::make_shared<orvane::ErrorCollection>(), false, false, 13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto step = stampkind::clsStep::Create();
        EXPECT_EQ(
            ErrorNumberOf([&] { step->ReceiveMessage(orvane::MakeMessage(c.name, c.value)); }),
            c.error);
        EXPECT_EQ(step->DateTime() != nullptr, c.attaches);
        EXPECT_EQ(step->ManagerMode(), c.manager);
    }
    // The later entry of the same name wins.
    orvane::MessageBuilder builder;
    builder.Add("manager mode", true);
    builder.Add("Manager Mode", false);
    auto step = stampkind::clsStep::Create();
    step->ReceiveMessage(builder.Message());
    EXPECT_FALSE(step->ManagerMode());
}

}  // namespace
