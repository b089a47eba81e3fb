// A clock killed in the middle of storing a punch: `timeclock punch` runs with a library
// preloaded that kills it at a chosen point of the write. Whatever the point, the database holds
// the punch whole or not at all, opens cleanly afterwards, and takes the same punch again.
#include <sqlite3.h>

#include <csignal>

#include "host/database/ClockDatabase.h"
#include "tests/e2e/Timeclock.h"

namespace {

constexpr const char* kCard = "1001";
constexpr const char* kInMoment = "2026-12-04 08:00:00";
constexpr const char* kLunchMoment = "2026-12-04 12:00:00";

std::string IntegrityOf(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    std::string answer = "cannot check";
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        answer = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return answer;
}

class CrashTest : public TimeclockTest {
  protected:
    Result PunchInto(const std::filesystem::path& file, const char* now, const char* keys,
                     const std::string& environment = "") const {
        return Run({"punch", "--db", file.string(), "--config", Config().string(), "--card", kCard,
                    "--now", now, "--no-pause", "--keys", keys},
                   environment);
    }
};

// The day's in, then a lunch leave, which closes the work record and writes the lunch record,
// killed after its first record, after its second (before the commit), or after the commit.
TEST_F(CrashTest, APunchIsStoredWholeOrNotAtAll) {
    const std::vector<std::string> in_only{"I"};
    const std::vector<std::string> lunch_stored{"O", "LO"};
    const struct {
        const char* crash_at;
        bool stored;  // whether the killed punch was already committed
    } cases[] = {{"after-record-1", false}, {"after-record-2", false}, {"after-commit", true}};
    const std::string preload = std::string("LD_PRELOAD=") + Quote(STAMPKIND_CRASH_LIBRARY) +
                                // Under the sanitizers the preloaded library comes before
                                // their runtime, which they would otherwise refuse.
                                " ASAN_OPTIONS=verify_asan_link_order=0";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.crash_at);
        const auto file = m_folder / (std::string(c.crash_at) + ".db");
        ASSERT_TRUE(AddEmployee(1001, "Avery Stone", "", file));
        ASSERT_EQ(PunchInto(file, kInMoment, "1 ENTER").status, 0);
        const auto killed =
            PunchInto(file, kLunchMoment, "3 ENTER", preload + " STAMPKIND_CRASH_AT=" + c.crash_at);
        ASSERT_EQ(killed.signal, SIGKILL) << "status " << killed.status << killed.out << killed.err;

        EXPECT_EQ(IntegrityOf(file), "ok");
        EXPECT_EQ(StoredTypes(file), c.stored ? lunch_stored : in_only);
        if (c.stored)
            continue;
        // The lost punch, made again, is stored whole.
        const auto again = PunchInto(file, kLunchMoment, "3 ENTER");
        ASSERT_EQ(again.status, 0) << again.out << again.err;
        EXPECT_EQ(StoredTypes(file), lunch_stored);
    }
}

}  // namespace
