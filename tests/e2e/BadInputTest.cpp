// Damaged or wrong input at each door of the time clock: the configuration, the component
// registry, the database file and the card number. Each ends the punch with a raised error
// that names the problem, or is repaired; none crashes the clock or loses a stored punch.
#include <sqlite3.h>
#include <unistd.h>

#include <fstream>

#include "host/database/ClockDatabase.h"
#include "tests/e2e/Timeclock.h"

namespace {

constexpr int32_t kCard = 1001;
constexpr const char* kIn = "2026-12-04 08:00:00";
constexpr const char* kOut = "2026-12-04 16:00:00";

class BadInputTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        ASSERT_EQ(Run({"employee", "add", "--db", Database().string(), "--card",
                       std::to_string(kCard), "--name", "Avery Stone"})
                      .status,
                  0);
        // The day's in punch, which no failed punch after it may lose.
        const auto in = Punch(kIn, "1 ENTER", {"--card", std::to_string(kCard)});
        ASSERT_EQ(in.status, 0) << in.out << in.err;
        ASSERT_EQ(StoredTypes(), std::vector<std::string>{"I"});
    }

    std::vector<std::string> StoredTypes() const {
        std::vector<std::string> types;
        for (const auto& row : orvane::ClockDatabase(Database()).Rows())
            types.push_back(row.punch_type);
        return types;
    }

    static void Write(const std::filesystem::path& file, const std::string& text) {
        std::ofstream(file, std::ios::trunc) << text;
    }
    static std::string Read(const std::filesystem::path& file) {
        std::stringstream text;
        text << std::ifstream(file).rdbuf();
        return text.str();
    }

    // An out punch that must end with the raised error, naming `named` in its description.
    void ExpectRefusedOut(const std::vector<std::string>& extra, int32_t number,
                          const std::string& named) const {
        std::vector<std::string> arguments{"--card", std::to_string(kCard)};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const auto result = Punch(kOut, "2 ENTER", arguments);
        ASSERT_EQ(result.status, 1) << result.out << result.err;
        const auto report = result.json();
        ASSERT_TRUE(report.contains("error")) << result.out;
        EXPECT_EQ(report["error"]["number"], number) << report["error"];
        EXPECT_NE(report["error"]["description"].get<std::string>().find(named), std::string::npos)
            << report["error"];
    }
};

TEST_F(BadInputTest, DamagedConfigurationIsNamedKeptAndStoresNothing) {
    const std::vector<std::pair<std::string, std::string>> damaged{
        {"NotJson", "{\"steps\": [\"Punch Entry\""},
        {"NumberBeyondDouble", "{\"button color\": 1e400}"},
        {"NotAnObject", "[1, 2, 3]"},
        {"Binary", std::string("\x00\xff\xfe\x01", 4)},
    };
    for (const auto& [name, text] : damaged) {
        SCOPED_TRACE(name);
        Write(Config(), text);
        ExpectRefusedOut({}, 321, Config().filename().string());
        EXPECT_EQ(Read(Config()), text) << "the damaged file was written over";
        EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
    }
}

// The step's own saved settings, damaged inside a configuration file that is good JSON. (Values of
// a kind a setting cannot use are no damage: the step keeps them and punching goes on.)
TEST_F(BadInputTest, DamagedStepSettingsAreNamedKeptAndStoreNothing) {
    ASSERT_EQ(Run({"setup", "--config", Config().string(), "--glidepass", "on"}).status, 0);
    const std::string saved = Read(Config());
    const std::vector<std::pair<std::string, std::string>> damages{
        {"\"type\": \"Boolean\"", "\"type\": \"Blob\""},  // a type no setting has
        {"\"value\": 3\n", "\"value\": 300\n"},           // more settings than are named
    };
    for (const auto& [good, bad] : damages) {
        SCOPED_TRACE(bad);
        std::string text = saved;
        const auto at = text.find(good);
        ASSERT_NE(at, std::string::npos) << text;
        text.replace(at, good.size(), bad);
        Write(Config(), text);
        ExpectRefusedOut({}, 321, Config().filename().string());
        EXPECT_EQ(Read(Config()), text) << "the damaged file was written over";
        EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
    }
}

TEST_F(BadInputTest, DamagedRegistryIsNamedAndKept) {
    const std::string damaged = "{\"classes\": [{\"prog_id\": ";
    Write(Registry(), damaged);
    ExpectRefusedOut({}, 321, "registry");
    EXPECT_EQ(Read(Registry()), damaged);
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
}

TEST_F(BadInputTest, RegistryNamingAMissingLibraryIsRepaired) {
    std::string text = Read(Registry());
    const std::string library = (m_bin / "libstampkind.so").string();
    ASSERT_NE(text.find(library), std::string::npos) << text;
    for (size_t at = text.find(library); at != std::string::npos; at = text.find(library, at))
        text.replace(at, library.size(), "/nowhere/libstampkind.so");
    Write(Registry(), text);

    const auto out = Punch(kOut, "2 ENTER", {"--card", std::to_string(kCard)});
    ASSERT_EQ(out.status, 0) << out.out << out.err;
    EXPECT_EQ(Read(Registry()).find("/nowhere/"), std::string::npos);
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"O"});
}

TEST_F(BadInputTest, UnusableDatabaseIsNamed) {
    const auto junk = m_folder / "junk.db";
    Write(junk, std::string(4096, 'x'));
    std::filesystem::create_directories(m_folder / "folder.db");
    const struct {
        const char* name;
        std::filesystem::path file;
        int32_t number;
    } cases[] = {
        {"NotADatabase", junk, 3343},
        {"AFolder", m_folder / "folder.db", 3000},
        {"MissingFolder", m_folder / "no" / "such" / "clock.db", 3000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result =
            Run({"punch", "--db", c.file.string(), "--config", Config().string(), "--card",
                 std::to_string(kCard), "--now", kOut, "--no-pause", "--keys", "2 ENTER"});
        ASSERT_EQ(result.status, 1) << result.out << result.err;
        const auto report = result.json();
        EXPECT_EQ(report["error"]["number"], c.number) << report["error"];
        EXPECT_NE(report["error"]["description"].get<std::string>().find(c.file.string()),
                  std::string::npos)
            << report["error"];
    }
    EXPECT_EQ(Read(junk), std::string(4096, 'x'));
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
}

// A database another program holds locked: the punch says so once the configured wait is over,
// stores nothing, and the next punch after the lock is let go is stored.
TEST_F(BadInputTest, LockedDatabaseIsNamedAndTheNextPunchIsStored) {
    Write(Config(), "{\"database_wait\": 0}");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(Database().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    ExpectRefusedOut({}, 3218, Database().string());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
    const auto out = Punch(kOut, "2 ENTER", {"--card", std::to_string(kCard)});
    ASSERT_EQ(out.status, 0) << out.out << out.err;
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"O"});
}

// A database that may only be read, whether its file's permissions say so or its own header
// does: the punch names it and the stored punches stay as they were.
TEST_F(BadInputTest, ReadOnlyDatabaseIsNamedAndKept) {
    // The header's write version (byte 18) above 2 makes the engine open the file read-only;
    // unlike the file's permissions, this holds for the superuser too.
    constexpr std::streamoff kWriteVersion = 18;
    const auto set_write_version = [this](char version) {
        std::fstream file(Database(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekg(kWriteVersion);
        const char was = static_cast<char>(file.get());
        file.seekp(kWriteVersion);
        file.put(version);
        return was;
    };
    const char was = set_write_version(3);
    ExpectRefusedOut({}, 3027, Database().string());
    set_write_version(was);
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});

    if (geteuid() != 0) {
        std::filesystem::permissions(Database(), std::filesystem::perms::owner_read);
        ExpectRefusedOut({}, 3027, Database().string());
        std::filesystem::permissions(
            Database(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
    }
}

TEST_F(BadInputTest, CardFarOutOfRangeStoresNothing) {
    for (const char* card : {"99999999999", "-99999999999", "2147483648"}) {
        SCOPED_TRACE(card);
        const auto result = Punch(kOut, "2 ENTER", {"--card", card});
        EXPECT_EQ(result.status, 1) << result.out << result.err;
        const auto report = result.json();
        EXPECT_EQ(report["error"]["number"], 6) << result.out;
        EXPECT_NE(report["error"]["description"].get<std::string>().find(card), std::string::npos)
            << result.out;
        EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
    }
}

}  // namespace
