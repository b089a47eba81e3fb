// The database object the component queries, against real SQLite files.
#include <sqlite3.h>

#include <fstream>

#include <gtest/gtest.h>

#include "host/database/ClockDatabase.h"
#include "host/database/DatabaseError.h"
#include "host/database/QueryDatabase.h"
#include "platform/Error.h"
#include "tests/support/Raised.h"
#include "tests/support/TempFolder.h"

namespace {

using framework::FromVBool;

void exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK) << message;
}

class SqliteDatabaseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        orvane::ClockDatabase clock(m_file);
        exec(orvane::sqlite::Open(m_file, orvane::sqlite::OpenMode::Existing).get(), R"sql(
            INSERT INTO "Clock Data Table" ("Card ID", "Date In", "Time In", "Punch Type")
                VALUES (7, 46360, 0.5, 'I'), (7, 46361, 0.25, 'BO'), (9, 46361, 0.3, 'O');
            INSERT INTO "Clock Data Table" ("Card ID", "Date Out", "Time Out", "Punch Type")
                VALUES (8, 46362, 0.75, 'O');)sql");
    }

    TempFolder m_folder;
    std::filesystem::path m_file = m_folder / "clock.db";
    orvane::SqliteDatabase m_db;
};

TEST_F(SqliteDatabaseTest, ReadsRowsInOrderByColumnNameWithTheirKinds) {
    m_db.Open("sqlite:" + m_file.string());
    ASSERT_TRUE(FromVBool(m_db.IsOpen()));
    auto rows = m_db.Execute(
        "SELECT [Clock Data Table].[Card ID], [Punch Type], [Date In]+[Time In] AS Moment, "
        "[Date Out] FROM [Clock Data Table] WHERE [Card ID]=7 ORDER BY [Date In] DESC;");

    ASSERT_FALSE(FromVBool(rows->Eof()));
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { rows->Fields("Notes"); }, &description),
              orvane::dberr::kItemNotFound);
    EXPECT_NE(description.find("Notes"), std::string::npos);
    EXPECT_EQ(rows->Fields("punch type")->Value(), platform::Variant("BO"));
    EXPECT_EQ(rows->Fields("Card ID")->Value(), platform::Variant(int32_t{7}));
    EXPECT_EQ(rows->Fields("Moment")->Value(), platform::Variant(46361.25));
    EXPECT_TRUE(rows->Fields("Date Out")->Value().is_null());
    rows->MoveNext();
    ASSERT_FALSE(FromVBool(rows->Eof()));
    EXPECT_EQ(rows->Fields("Punch Type")->Value(), platform::Variant("I"));
    rows->MoveNext();
    EXPECT_TRUE(FromVBool(rows->Eof()));

    EXPECT_EQ(ErrorNumberOf([&] { rows->Fields("Punch Type"); }), orvane::dberr::kNoCurrentRecord);
    rows->Close();
    EXPECT_EQ(ErrorNumberOf([&] { rows->Eof(); }), orvane::dberr::kNotOpen);
}

TEST_F(SqliteDatabaseTest, ReusesOneStatementForLookupsThatDifferInValues) {
    m_db.Open(m_file.string());
    const auto punch_of = [&](int card, const char* from) {
        auto rows = m_db.Execute(std::string("SELECT [Punch Type] FROM [Clock Data Table] WHERE "
                                             "[Card ID]=") +
                                 std::to_string(card) + " AND [Date In] >= #" + from +
                                 "# ORDER BY [Date In] DESC");
        std::string punch =
            FromVBool(rows->Eof()) ? "" : rows->Fields("Punch Type")->Value().to_text();
        rows->Close();
        return punch;
    };
    EXPECT_EQ(punch_of(9, "12/4/2026"), "O");
    EXPECT_EQ(punch_of(7, "12/4/2026"), "BO");
    EXPECT_EQ(punch_of(7, "1/1/2030"), "");
    EXPECT_EQ(m_db.cached_statements(), 1u);
}

// Two open recordsets of one text read their own rows, and a recordset held past the close of
// the database stays readable.
TEST_F(SqliteDatabaseTest, RecordsetsReadTheirOwnRows) {
    m_db.Open(m_file.string());
    const std::string query = "SELECT [Punch Type] FROM [Clock Data Table] WHERE [Card ID]=";
    auto first = m_db.Execute(query + "9");
    auto second = m_db.Execute(query + "8");
    EXPECT_EQ(first->Fields("Punch Type")->Value().to_text(), "O");
    EXPECT_EQ(second->Fields("Punch Type")->Value().to_text(), "O");
    first->MoveNext();
    EXPECT_TRUE(FromVBool(first->Eof()));
    second->Close();
    auto third = m_db.Execute(query + "7");
    m_db.Close();
    EXPECT_FALSE(FromVBool(m_db.IsOpen()));
    EXPECT_EQ(third->Fields("Punch Type")->Value().to_text(), "I");
    third->MoveNext();
    third->Close();
}

// A database that is not open refuses its work, and opening a missing file never creates it.
TEST_F(SqliteDatabaseTest, NotOpenRaisesAndAMissingFileIsNeverCreated) {
    EXPECT_EQ(ErrorNumberOf([&] { m_db.Execute("SELECT 1"); }), orvane::dberr::kNotOpen);
    EXPECT_EQ(ErrorNumberOf([&] { m_db.Close(); }), orvane::dberr::kNotOpen);
    EXPECT_EQ(ErrorNumberOf([&] { m_db.Open((m_folder / "none.db").string()); }),
              orvane::dberr::kFileNotFound);
    EXPECT_FALSE(std::filesystem::exists(m_folder / "none.db"));
    EXPECT_FALSE(FromVBool(m_db.IsOpen()));
}

TEST_F(SqliteDatabaseTest, ActionQueriesRunAndGiveAnEmptyRecordset) {
    m_db.Open(m_file.string());
    auto result = m_db.Execute("UPDATE [Clock Data Table] SET [Notes]=\"late\" WHERE [Card ID]=8");
    EXPECT_TRUE(FromVBool(result->Eof()));
    auto rows = m_db.Execute("SELECT [Notes] FROM [Clock Data Table] WHERE [Card ID]=8");
    EXPECT_EQ(rows->Fields("Notes")->Value().to_text(), "late");
}

// A bad database never crashes: each failure is a raised error that says what is wrong.
TEST_F(SqliteDatabaseTest, BadDatabaseRaisesAnErrorThatExplainsIt) {
    std::ofstream(m_folder / "notes.txt") << "this is no database, only words\n"
                                          << std::string(2000, 'x');
    sqlite3* old = nullptr;
    ASSERT_EQ(sqlite3_open((m_folder / "old.db").c_str(), &old), SQLITE_OK);
    exec(old, "CREATE TABLE \"Clock Data Table\" (x)");
    sqlite3_close(old);
    const struct {
        std::string connect;
        const char* query;
        int32_t number;
        const char* says;
    } cases[] = {
        {(m_folder / "none.db").string(), "SELECT 1", orvane::dberr::kFileNotFound,
         "Could not find file"},
        {"", "SELECT 1", orvane::dberr::kFileNotFound, "connection text"},
        {"sqlite:" + (m_folder / "notes.txt").string(), "SELECT 1",
         orvane::dberr::kUnrecognizedFormat, "Unrecognized database format"},
        {(m_folder / "old.db").string(), "SELECT [Punch Type] FROM [Clock Data Table]",
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
    }
}

}  // namespace
