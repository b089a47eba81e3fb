// The database object the component queries, against real SQLite files, and the translation of
// the host's query dialect for the engine.
#include <fstream>

#include <gtest/gtest.h>

#include "host/database/ClockDatabase.h"
#include "host/database/DatabaseError.h"
#include "host/database/QueryDatabase.h"
#include "host/database/SqlDialect.h"
#include "platform/Error.h"
#include "tests/support/Raised.h"
#include "tests/support/TempFolder.h"

namespace {

using framework::FromVBool;
using orvane::sql::Parameter;
using orvane::sql::ParseDateLiteral;
using orvane::sql::Target;
using orvane::sql::Translate;

// A bad database never crashes: each failure is a raised error that says what is wrong. Only a
// database that opened is open afterwards; one never opened refuses its work, and a missing file
// is never made.
TEST(SqliteDatabaseTest, BadDatabaseRaisesAnErrorThatExplainsIt) {
    TempFolder folder;
    orvane::SqliteDatabase never_opened;
    EXPECT_EQ(ErrorNumberOf([&] { never_opened.Execute("SELECT 1"); }), orvane::dberr::kNotOpen);
    EXPECT_EQ(ErrorNumberOf([&] { never_opened.Close(); }), orvane::dberr::kNotOpen);
    std::ofstream(folder / "notes.txt") << "this is no database, only words\n"
                                        << std::string(2000, 'x');
    const auto old =
        orvane::sqlite::Open(folder / "old.db", orvane::sqlite::OpenMode::CreateWhenMissing);
    orvane::sqlite::Exec(old.get(), "CREATE TABLE \"Clock Data Table\" (x)");
    const struct {
        std::string connect;
        const char* query;
        int32_t number;
        const char* says;
    } cases[] = {
        {(folder / "none.db").string(), "SELECT 1", orvane::dberr::kFileNotFound,
         "Could not find file"},
        {"", "SELECT 1", orvane::dberr::kFileNotFound, "connection text"},
        {"sqlite:" + (folder / "notes.txt").string(), "SELECT 1",
         orvane::dberr::kUnrecognizedFormat, "Unrecognized database format"},
        {(folder / "old.db").string(), "SELECT [Punch Type] FROM [Clock Data Table]",
         orvane::dberr::kEngine, "no such column: Punch Type"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connect);
        orvane::SqliteDatabase db;
        std::string description;
        EXPECT_EQ(ErrorNumberOf(
                      [&] {
                          db.Open(c.connect);
                          db.Execute(c.query);
                      },
                      &description),
                  c.number)
            << description;
        EXPECT_NE(description.find(c.says), std::string::npos) << description;
        EXPECT_EQ(FromVBool(db.IsOpen()), c.number == orvane::dberr::kEngine);
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "none.db"));
}

double moment(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return platform::make_date_time({year, month, day, hour, minute, second})->days;
}

struct TranslationCase {
    const char* name;
    const char* query;
    const char* text;
    std::vector<Parameter> parameters;
    Target target = Target::Sqlite;
};

class Translation : public ::testing::TestWithParam<TranslationCase> {};

TEST_P(Translation, GivesEngineTextAndParameters) {
    const auto& row = GetParam();
    const auto result = Translate(row.query, row.target);
    EXPECT_EQ(result.text, row.text);
    EXPECT_EQ(result.parameters, row.parameters);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Dialect, Translation, ::testing::Values(
    TranslationCase{"QualifiedBracketedNames",
        "SELECT [Clock Data Table].[Card ID] FROM [Clock Data Table]",
        R"(SELECT "Clock Data Table"."Card ID" FROM "Clock Data Table")", {}},
    TranslationCase{"DoubleQuotedTextsInList", R"([Punch Type] IN ("I","O"))",
        R"("Punch Type" IN (?,?))", {std::string("I"), std::string("O")}},
    TranslationCase{"DoubledQuoteInsideText", R"([Notes]="say ""hi""" OR [Notes]='it''s')",
        R"("Notes"=? OR "Notes"=?)", {std::string("say \"hi\""), std::string("it's")}},
    TranslationCase{"DateLiteralWithTime",
        "[Date In] BETWEEN #12/4/2026 4:51:10 PM# AND #12/5/2026#", R"("Date In" BETWEEN ? AND ?)",
        {moment(2026, 12, 4, 16, 51, 10), moment(2026, 12, 5)}},
    TranslationCase{"IIfAndIsNull",
        "IIf(IsNull([Date In]),[Date Out]+[Time Out],[Date In]+[Time In])",
        R"(iif((("Date In") IS NULL),"Date Out"+"Time Out","Date In"+"Time In"))", {}},
    TranslationCase{"NumbersBecomeParameters", "[Card ID]=-1234 AND [Sick]>=2.5",
        R"("Card ID"=-? AND "Sick">=?)", {int64_t{1234}, 2.5}},
    TranslationCase{"TopBecomesLimit", "SELECT TOP 1 [Punch Type] FROM [Clock Data Table];",
        R"(SELECT "Punch Type" FROM "Clock Data Table" LIMIT ?)", {int64_t{1}}},
    // A TOP n between two operators writes nothing: they must not meet as a comment's start.
    TranslationCase{"TopBetweenOperatorsStartsNoComment", "SELECT [a]-TOP 1-[b]/TOP 2*[c] FROM [t]",
        R"(SELECT "a"- -"b"/ *"c" FROM "t" LIMIT ?)", {int64_t{2}}},
    TranslationCase{"BooleansJoinAndBareNames",
        "select Notes & 'x' from Employees where Manager = True or Manager<>False",
        R"(SELECT "Notes" || ? FROM "Employees" WHERE "Manager" = 1 OR "Manager"<>0)",
        {std::string("x")}},
    TranslationCase{"QuoteInsideName", R"(SELECT [Say "Hi"] FROM [t])",
        R"(SELECT "Say ""Hi""" FROM "t")", {}},
    TranslationCase{"BlanksCollapse", "SELECT\n\t[a]  ,  [b]\r\nFROM [t]",
        R"(SELECT "a" , "b" FROM "t")", {}},
    // For the server: numbered placeholders and its own functions.
    TranslationCase{"ServerNestedIIf",
        R"(SELECT IIf(IsNull([a]),[b]+1,IIf([c]="x",2,3)) AS s FROM [t])",
        R"(SELECT (CASE WHEN (("a") IS NULL) THEN "b"+$1 ELSE )"
        R"((CASE WHEN "c"=$2 THEN $3 ELSE $4 END) END) AS "s" FROM "t")",
        {int64_t{1}, std::string("x"), int64_t{2}, int64_t{3}}, Target::Postgres},
    TranslationCase{"ServerNzAndTop", R"(SELECT TOP 1 Nz([a], 0) FROM [t] WHERE [b] IN ("I","O"))",
        R"(SELECT coalesce("a", $1) FROM "t" WHERE "b" IN ($2,$3) LIMIT $4)",
        {int64_t{0}, std::string("I"), std::string("O"), int64_t{1}}, Target::Postgres}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A SELECT reads the clock's punches as corrected wherever it names their table; what writes,
// and a name that only resembles the table's, keep their own names.
TEST(Translation, OnlyASelectReadsItsTableUnderTheAlias) {
    const orvane::sql::TableAlias corrected{"Clock Data Table", "Clock Punches"};
    EXPECT_EQ(Translate(" (select [Clock Data Table].[Card ID] FROM [Clock Data Table], "
                        "[Clock Data Tables])",
                        Target::Sqlite, corrected)
                  .text,
              R"((SELECT "Clock Punches"."Card ID" FROM "Clock Punches", "Clock Data Tables"))");
    EXPECT_EQ(
        Translate("UPDATE [Clock Data Table] SET [Notes]=1", Target::Postgres, corrected).text,
        R"(UPDATE "Clock Data Table" SET "Notes"=$1)");
}

TEST(Translation, ServerRefusesWhatItCannotWrite) {
    for (const char* query : {"SELECT max(f(1, 2)) FROM [t]", "SELECT IIf([a], 1) FROM [t]"}) {
        EXPECT_EQ(ErrorNumberOf([&] { Translate(query, Target::Postgres); }),
                  orvane::dberr::kSyntax)
            << query;
    }
}

struct UnreadableCase {
    const char* name;
    const char* query;
    const char* quoted;  // the piece the description must name
};

class Unreadable : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(Unreadable, RaisesSyntaxErrorNamingThePiece) {
    const auto& row = GetParam();
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { Translate(row.query); }, &description), orvane::dberr::kSyntax);
    EXPECT_NE(description.find(row.quoted), std::string::npos) << description;
}

INSTANTIATE_TEST_SUITE_P(
    Dialect, Unreadable,
    ::testing::Values(UnreadableCase{"UnclosedBracket", "SELECT [Card ID FROM x", "[Card ID"},
                      UnreadableCase{"UnclosedText", R"([a]="abc)", "\"abc"},
                      UnreadableCase{"ImpossibleDate", "[d]=#2/30/2026#", "#2/30/2026#"},
                      UnreadableCase{"DayFirstDate", "[d]=#25/12/2026#", "#25/12/2026#"},
                      UnreadableCase{"UnclosedDate", "[d]=#12/4/2026", "#12/4/2026"},
                      UnreadableCase{"UnknownFunction", R"(Format([d],"yyyy"))", "Format"},
                      UnreadableCase{"StrayCharacter", "[a] $ 1", "$ 1"},
                      UnreadableCase{"SecondStatement", "SELECT 1; DROP TABLE x", "; DROP"},
                      UnreadableCase{"UnopenedParenthesis", "[a]=1)", ")"},
                      UnreadableCase{"UnclosedParenthesis", "([a]=1", "\"(\""},
                      UnreadableCase{"NumberRunIntoWord", "[a]=12ab", "12ab"}),
    [](const auto& info) { return std::string(info.param.name); });

struct DateCase {
    const char* name;
    std::string_view text;
    std::optional<double> days;
};

class DateLiteral : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateLiteral, ReadsMonthFirst) {
    const auto& row = GetParam();
    const auto date = ParseDateLiteral(row.text);
    ASSERT_EQ(date.has_value(), row.days.has_value()) << row.text;
    if (date) {
        EXPECT_DOUBLE_EQ(date->days, *row.days);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dialect, DateLiteral,
    ::testing::Values(DateCase{"DateAlone", "12/4/2026", moment(2026, 12, 4)},
                      DateCase{"TwentyFourHourWithSeconds", "12/4/2026 16:51:10",
                               moment(2026, 12, 4, 16, 51, 10)},
                      DateCase{"AfternoonWithPm", "12/4/2026 4:51 PM", moment(2026, 12, 4, 16, 51)},
                      DateCase{"MidnightWithAm", "12/4/2026 12:00:00 AM", moment(2026, 12, 4)},
                      DateCase{"NoonWithPm", "1/31/2027 12:00:00 PM", moment(2027, 1, 31, 12)},
                      DateCase{"YearFirst", "2026-12-04", moment(2026, 12, 4)},
                      DateCase{"TwoDigitYearThisCentury", "12/4/26", moment(2026, 12, 4)},
                      DateCase{"TwoDigitYearLastCentury", "12/4/99", moment(1999, 12, 4)},
                      DateCase{"TimeAlone", "10:30", moment(1899, 12, 30, 10, 30)},
                      DateCase{"BlanksAround", " 12/4/2026 ", moment(2026, 12, 4)},
                      DateCase{"DayThirtyOneOfApril", "4/31/2026", std::nullopt},
                      DateCase{"MonthThirteen", "13/1/2026", std::nullopt},
                      DateCase{"HourTwentyFive", "12/4/2026 25:00", std::nullopt},
                      DateCase{"PmPastTwelve", "12/4/2026 13:00 PM", std::nullopt},
                      DateCase{"MarkerWithAZeroByte", std::string_view("12/4/2026 1:00 \0PM", 19),
                               std::nullopt},
                      DateCase{"Words", "tomorrow", std::nullopt},
                      DateCase{"Nothing", "", std::nullopt},
                      DateCase{"NoYear", "12/4", std::nullopt},
                      DateCase{"TrailingLetters", "12/4/2026x", std::nullopt},
                      DateCase{"ThreeDigitYear", "12/4/202", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
