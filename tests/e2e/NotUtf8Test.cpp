// Bytes that are not UTF-8 at the doors of the timeclock command: a name written straight into
// the database file by another program, and a configuration file edited by hand. Nothing aborts;
// the name is printed with U+FFFD for its broken byte, and the configuration is refused with its
// key named and none of its bytes repeated.
#include <sqlite3.h>

#include "tests/e2e/Timeclock.h"

namespace {

constexpr const char* kBrokenName = "Zo\xEB Smith";
constexpr const char* kShownName = "Zo\xEF\xBF\xBD Smith";

class NotUtf8Test : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        if (HasFatalFailure())
            return;
        if (m_server)
            GTEST_SKIP() << "the name is written straight into the database file";
        std::ofstream(Config()) << R"({"steps": ["Employee ID", "Punch Entry"]})";
        ASSERT_TRUE(AddEmployee(1001, "Zoe Smith"));
        const auto in = Punch("2026-12-04 08:00:00", "1 ENTER", {"--card", "1001"});
        ASSERT_EQ(in.status, 0) << in.out << in.err;
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(Database().c_str(), &db), SQLITE_OK);
        const std::string update =
            std::string("UPDATE \"Employees\" SET \"Name\" = '") + kBrokenName + "'";
        EXPECT_EQ(sqlite3_exec(db, update.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
};

TEST_F(NotUtf8Test, NameFromTheDatabaseIsPrintedRepaired) {
    // Each on the test's database.
    const struct {
        const char* name;
        std::vector<std::string> arguments;
    } cases[] = {
        {"PunchWithStatistics",
         {"punch", "--config", Config().string(), "--card", "1001", "--statistics", "--now",
          "2026-12-04 12:00:00", "--no-pause", "--keys", "3 ENTER"}},
        {"EmployeeList", {"employee", "list"}},
        {"Report", {"report", "--from", "2026-12-01", "--to", "2026-12-07", "--format", "json"}},
        {"WhosIn", {"whos-in", "--now", "2026-12-04 12:00:00", "--format", "json"}},
        {"Exceptions",
         {"exceptions", "--from", "2026-12-01", "--to", "2026-12-07", "--now",
          "2026-12-06 12:00:00", "--format", "json"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = RunOnDb(c.arguments);
        EXPECT_EQ(result.signal, 0);
        EXPECT_EQ(result.status, 0) << result.err;
        // The JSON reader refuses text that is not well-formed UTF-8.
        EXPECT_NE(result.out.find(kShownName), std::string::npos) << result.out;
        EXPECT_NO_THROW(result.json()) << result.out;
    }
}

// The configuration is read before anything else: each command that reads it refuses it with the
// key that holds the bytes, and says where, without repeating them.
TEST_F(NotUtf8Test, ConfigurationIsRefusedWithTheKeyNamed) {
    const std::string config = Config().string();
    const struct {
        const char* name;
        std::string text;
        std::string named;
    } files[] = {
        {"ClockName", R"({"clock_name": "front )" + std::string("\xFF") + R"(desk"})",
         "\"clock_name\" holds bytes that are not UTF-8 text (at byte 23)"},
        {"KioskName",
         R"({"idle_seconds": 45, "kiosks": {"do)" + std::string("\xC3\x28") + R"(": "x"}})",
         "\"kiosks\" holds bytes that are not UTF-8 text"},
        {"KeyName", R"({"steps": ["Punch Entry"], "bad)" + std::string("\xE9") + R"(": 1})",
         "a key's name holds bytes that are not UTF-8 text"},
        {"OutsideAText", R"({"idle_seconds": )" + std::string("\xFF") + "}",
         "syntax error while parsing value - invalid literal"},
    };
    const std::vector<std::vector<std::string>> commands{
        {"punch", "--db", Database().string(), "--config", config, "--card", "1001", "--now",
         "2026-12-04 12:00:00", "--no-pause", "--keys", "2 ENTER"},
        {"setup", "--config", config, "--show"},
        {"queue", "--config", config},
        {"report", "--db", Database().string(), "--config", config, "--from", "2026-12-01", "--to",
         "2026-12-07"},
    };
    for (const auto& file : files) {
        std::ofstream(Config(), std::ios::trunc) << file.text;
        for (const auto& command : commands) {
            SCOPED_TRACE(std::string(file.name) + " " + command.front());
            const auto result = Run(command);
            EXPECT_EQ(result.signal, 0);
            EXPECT_EQ(result.status, 1) << result.out << result.err;
            EXPECT_NO_THROW(static_cast<void>(nlohmann::json(result.out + result.err).dump()))
                << result.out << result.err;
            // The punch says it in its JSON, the others on standard error.
            const std::string said = command.front() == "punch"
                                         ? result.json()["error"]["description"].get<std::string>()
                                         : result.err;
            EXPECT_NE(said.find(file.named), std::string::npos) << said;
            EXPECT_NE(said.find("Bad file format: " + config), std::string::npos) << said;
        }
    }
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
}

}  // namespace
