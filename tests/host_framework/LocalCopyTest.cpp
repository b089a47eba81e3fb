// The clock's copy of what it read of its server: rows replaced by later reads, its own punches
// kept until read back, old rows let go, employees and PIN hashes. No server needed.
#include "host/database/LocalCopy.h"

#include <gtest/gtest.h>

#include "host/database/EngineDatabase.h"
#include "tests/support/StoredRows.h"
#include "tests/support/TempFolder.h"

namespace {

constexpr double kDay = 46360;

orvane::ClockDatabase::Row ServerRow(int64_t id, const char* type, double in, double out = -1) {
    orvane::ClockDatabase::Row row;
    row.id = id;
    row.card = 7;
    row.punch_type = type;
    row.date_in = platform::Date{kDay};
    row.time_in = platform::Date{in};
    if (out >= 0) {
        row.date_out = platform::Date{kDay};
        row.time_out = platform::Date{out};
    }
    return row;
}

class LocalCopyTest : public ::testing::Test {
  protected:
    // Card 7's rows as "type" or "type*" for a row of the clock's own punch, in the copy's order.
    std::string Kept() const {
        std::string kept;
        for (const auto& row : m_copy.Rows(7))
            kept += (kept.empty() ? "" : " ") + row.punch_type + (row.id == 0 ? "*" : "");
        return kept;
    }

    TempFolder m_folder;
    orvane::LocalCopy m_copy{m_folder / "punch-queue.db"};
};

TEST_F(LocalCopyTest, ReadsReplaceWhatTheyCoverAndOwnPunchesStayUntilReadBack) {
    m_copy.KeepRows(7, {ServerRow(1, "O", 0.25, 0.5), ServerRow(2, "I", 0.6)});
    m_copy.AddPunch("sent", OnePunch(7, "O", false, kDay, 0.7), true);
    m_copy.AddPunch("queued", OnePunch(7, "I", true, kDay, 0.8), false);
    EXPECT_EQ(Kept(), "O I O* I*");
    EXPECT_EQ(m_copy.Unsent(), std::vector<std::string>{"queued"});

    // A read of the afternoon covers row 2 and the sent punch: the server's rows now say it all.
    m_copy.KeepRows(7, {ServerRow(2, "O", 0.6, 0.7)},
                    orvane::LocalCopy::Window{kDay + 0.55, kDay + 0.75});
    EXPECT_EQ(Kept(), "O O I*");

    // The queued punch reaches the server, and a read of the whole history then replaces it.
    m_copy.MarkSent("queued");
    EXPECT_TRUE(m_copy.Unsent().empty());
    m_copy.KeepRows(
        7, {ServerRow(1, "O", 0.25, 0.5), ServerRow(2, "O", 0.6, 0.7), ServerRow(3, "I", 0.8)});
    EXPECT_EQ(Kept(), "O O I");
}

TEST_F(LocalCopyTest, KeepsOnlyTheRecentDaysOfACard) {
    auto old = ServerRow(1, "O", 0.25, 0.5);
    old.date_in = old.date_out = platform::Date{kDay - orvane::LocalCopy::kKeptDays - 1};
    m_copy.KeepRows(7, {old, ServerRow(2, "I", 0.25)});
    EXPECT_EQ(Kept(), "I");
}

TEST_F(LocalCopyTest, EmployeesAndPinHashesFollowTheServer) {
    m_copy.KeepEmployees(
        {{{9001, "Mina Hart", true}, "$argon2id$hash"}, {{1001, "Avery Stone", false}, ""}});
    EXPECT_EQ(m_copy.FindEmployee(1001), (orvane::Employee{1001, "Avery Stone", false}));
    EXPECT_EQ(m_copy.PinHash(9001), "$argon2id$hash");
    // One employee read again keeps the hash it was not given; a manager no longer one has none.
    m_copy.KeepEmployee({9001, "Mina Hart-Stone", true});
    EXPECT_EQ(m_copy.PinHash(9001), "$argon2id$hash");
    m_copy.KeepEmployee({9001, "Mina Hart-Stone", false});
    EXPECT_EQ(m_copy.PinHash(9001), "");
    m_copy.ForgetEmployee(1001);
    EXPECT_FALSE(m_copy.FindEmployee(1001));
    // A whole list replaces whoever is not on it.
    m_copy.KeepEmployees({{{42, "New Hire", false}, ""}});
    EXPECT_EQ(m_copy.Employees(),
              (std::vector<orvane::KnownEmployee>{{{42, "New Hire", false}, ""}}));
}

// The automatic punch's query text runs on the copy as it does on the clock database.
TEST_F(LocalCopyTest, AutomaticPunchLookupRunsOnTheCopy) {
    m_copy.KeepRows(7, {ServerRow(1, "I", 0.25)});
    m_copy.AddPunch("queued", OnePunch(7, "BO", true, kDay, 0.4), false);
    orvane::EngineDatabase database;
    database.Open((m_folder / "punch-queue.db").string());
    const auto rows = database.Execute(AutomaticPunchLookup(7));
    EXPECT_EQ(rows->Fields("Punch Type")->Value().to_text(), "BO");
}

}  // namespace
