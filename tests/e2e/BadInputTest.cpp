// Damaged or wrong input at each door of the time clock: the configuration, the component
// registry, the database file and the card number. Each ends the punch with a raised error
// that names the problem, or is repaired; none crashes the clock or loses a stored punch.
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
        ASSERT_TRUE(AddEmployee(kCard, "Avery Stone"));
        // The day's in punch, which no failed punch after it may lose.
        const auto in = Punch(kIn, "1 ENTER", {"--card", std::to_string(kCard)});
        ASSERT_EQ(in.status, 0) << in.out << in.err;
        ASSERT_EQ(StoredTypes(), std::vector<std::string>{"I"});
    }

    static void Write(const std::filesystem::path& file, const std::string& text) {
        std::ofstream(file, std::ios::trunc) << text;
    }

    // An out punch of `card` into `database` that must end with the raised error, naming `named`
    // in its description.
    void ExpectRefusedOut(int32_t number, const std::string& named,
                          const std::filesystem::path& database,
                          const std::string& card = std::to_string(kCard)) const {
        const auto result = Run({"punch", "--db", database.string(), "--config", Config().string(),
                                 "--card", card, "--now", kOut, "--no-pause", "--keys", "2 ENTER"});
        ASSERT_EQ(result.status, 1) << result.out << result.err;
        const auto report = result.json();
        ASSERT_TRUE(report.contains("error")) << result.out;
        EXPECT_EQ(report["error"]["number"], number) << report["error"];
        EXPECT_NE(report["error"]["description"].get<std::string>().find(named), std::string::npos)
            << report["error"];
    }
};

// The configuration, the step's own saved settings inside good JSON, and the registry. (Values of
// a kind a setting cannot use are no damage: the step keeps them and punching goes on.)
TEST_F(BadInputTest, DamagedFileIsNamedKeptAndStoresNothing) {
    ASSERT_EQ(Run({"setup", "--config", Config().string(), "--glidepass", "on"}).status, 0);
    const std::string saved = ReadText(Config());
    const std::string registry = ReadText(Registry());
    const auto edited = [&saved](const std::string& good, const std::string& bad) {
        std::string text = saved;
        const auto at = text.find(good);
        EXPECT_NE(at, std::string::npos) << good << " not in " << text;
        return at == std::string::npos ? text : text.replace(at, good.size(), bad);
    };
    const std::string config = Config().filename().string();
    const struct {
        const char* name;
        std::filesystem::path file;
        std::string text;
        std::string named;
    } cases[] = {
        {"NotJson", Config(), "{\"steps\": [\"Punch Entry\"", config},
        {"NumberBeyondDouble", Config(), "{\"button color\": 1e400}", config},
        {"Binary", Config(), std::string("\x00\xff\xfe\x01", 4), config},
        {"SettingOfNoType", Config(), edited("\"type\": \"Boolean\"", "\"type\": \"Blob\""),
         config},
        {"MoreSettingsThanNames", Config(), edited("\"value\": 3\n", "\"value\": 300\n"), config},
        {"Registry", Registry(), "{\"classes\": [{\"prog_id\": ", "registry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Write(c.file, c.text);
        ExpectRefusedOut(321, c.named, Database());
        EXPECT_EQ(ReadText(c.file), c.text) << "the damaged file was written over";
        EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
        Write(Config(), saved);
        Write(Registry(), registry);
    }
}

TEST_F(BadInputTest, RegistryNamingAMissingLibraryIsRepaired) {
    std::string text = ReadText(Registry());
    const std::string library = (m_bin / "libstampkind.so").string();
    ASSERT_NE(text.find(library), std::string::npos) << text;
    for (size_t at = text.find(library); at != std::string::npos; at = text.find(library, at))
        text.replace(at, library.size(), "/nowhere/libstampkind.so");
    Write(Registry(), text);

    const auto out = Punch(kOut, "2 ENTER", {"--card", std::to_string(kCard)});
    ASSERT_EQ(out.status, 0) << out.out << out.err;
    EXPECT_EQ(ReadText(Registry()).find("/nowhere/"), std::string::npos);
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
        ExpectRefusedOut(c.number, c.file.string(), c.file);
    }
    EXPECT_EQ(ReadText(junk), std::string(4096, 'x'));
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
}

// A database that may only be read: the punch names it and the stored punches stay as they were.
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
    ExpectRefusedOut(3027, Database().string(), Database());
    set_write_version(was);
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
}

// Refused before the punch begins: the report holds the error and nothing of a punch.
TEST_F(BadInputTest, CardFarOutOfRangeStoresNothing) {
    for (const std::string card : {"99999999999", "-99999999999", "2147483648"}) {
        const auto result = Punch(kOut, "2 ENTER", {"--card", card});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.json(), nlohmann::json::parse(R"({"skipped": false, "value": null,
            "finished": false, "valid": false, "events": [], "display": [], "messages": [],
            "pauses": [], "records": [], "step": null, "ignored_clicks": [], "error": {"number": 6,
            "description": "Overflow: card )" + card +
                                                       R"( is outside the range of card numbers, )"
                                                       R"(-2147483648 to 2147483647."}})"));
        EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"});
    }
}

}  // namespace
