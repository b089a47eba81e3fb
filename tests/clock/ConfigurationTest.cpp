#include "host/clock/Configuration.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "platform/Error.h"
#include "tests/support/Raised.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using timeclock::Configuration;

class ConfigurationTest : public ::testing::Test {
  protected:
    fs::path File() const { return m_folder / "timeclock.json"; }
    void Write(const std::string& text) const { std::ofstream(File()) << text; }

    TempFolder m_folder;
};

TEST_F(ConfigurationTest, MissingFileGivesTheDefaults) {
    const auto config = Configuration::Load(File());
    EXPECT_EQ(config.steps, Configuration::DefaultSteps());
    EXPECT_EQ(config.button_color, Configuration::kDefaultButtonColor);
    EXPECT_TRUE(config.database.empty());
    EXPECT_EQ(config.week_starts, 0);
    EXPECT_FALSE(fs::exists(File()));
}

TEST_F(ConfigurationTest, SavedSettingsReadBack) {
    Configuration config;
    config.database = m_folder / "clock.db";
    config.button_color = 0x00FF00;
    config.database_wait = 0;
    config.regional = platform::RegionalSettings::british_english();
    config.steps = {"Punch Entry", "Employee Statistics"};
    config.week_starts = 6;
    config.kiosk_sounds = false;
    config.Save(File());

    const auto read = Configuration::Load(File());
    EXPECT_EQ(read.database, config.database);
    EXPECT_EQ(read.button_color, 0x00FF00);
    EXPECT_EQ(read.database_wait, 0);
    EXPECT_EQ(read.regional.name, "en-GB");
    EXPECT_EQ(read.regional.order, platform::DateOrder::DayMonthYear);
    EXPECT_EQ(read.steps, config.steps);
    EXPECT_EQ(read.week_starts, 6);
    EXPECT_FALSE(read.kiosk_sounds);
    EXPECT_FALSE(read.HasStep("Employee ID"));
    EXPECT_FALSE(fs::exists(File().string() + ".tmp"));
}

TEST_F(ConfigurationTest, RelativeDatabaseIsBesideTheFileAndTheWeekStartsOnADayByName) {
    Write(R"({"database": "data/clock.db", "week_starts": "Monday", "clock_name": "door"})");
    const auto config = Configuration::Load(File());
    EXPECT_EQ(config.database, m_folder / "data/clock.db");
    EXPECT_EQ(config.week_starts, 1);
    EXPECT_EQ(config.ClockName(), "door");
}

// Every key of the table, set alone to a value other than its default, is read and saved back as
// it was: a key that is not read, not saved or saved under another name fails here.
TEST_F(ConfigurationTest, EveryKeyReadsAndSavesBack) {
    const auto keys = Configuration::Keys();
    ASSERT_FALSE(keys.empty());
    const auto defaults = [&] {
        Configuration{}.Save(File());
        return nlohmann::json::parse(ReadText(File()));
    }();
    for (const auto& key : keys) {
        const auto example = nlohmann::json::parse(key.example);
        EXPECT_NE(defaults.value(key.name, nlohmann::json()), example) << key.name;
        Write(nlohmann::json{{key.name, example}}.dump());
        Configuration::Load(File()).Save(File());
        const auto saved = nlohmann::json::parse(ReadText(File()));
        EXPECT_EQ(saved.value(key.name, nlohmann::json()), example) << key.name;
    }
}

// The user guide lists the keys as the table gives them.
TEST(ConfigurationKeys, UserGuideListsThemAll) {
    const auto guide = ReadText(fs::path(STAMPKIND_SOURCE_DIR) / "docs/user-guide.md");
    EXPECT_NE(guide.find(Configuration::KeysTable()), std::string::npos)
        << "docs/user-guide.md should hold this table:\n"
        << Configuration::KeysTable();
}

struct DamageCase {
    const char* name;
    const char* text;
    const char* problem;
};

class DamagedConfiguration : public ConfigurationTest,
                             public ::testing::WithParamInterface<DamageCase> {};

// A damaged file is named with its problem and stays as it was.
TEST_P(DamagedConfiguration, IsReportedAndKept) {
    Write(GetParam().text);
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { Configuration::Load(File()); }, &description),
              platform::err::kBadFileFormat);
    EXPECT_NE(description.find(File().string()), std::string::npos) << description;
    EXPECT_NE(description.find(GetParam().problem), std::string::npos) << description;
    EXPECT_EQ(ReadText(File()), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Configuration, DamagedConfiguration,
    ::testing::Values(
        DamageCase{"NotJson", R"({"database": "clock.db",)", "parse error"},
        DamageCase{"NoObject", R"(["Punch Entry"])", "no JSON object"},
        DamageCase{"DatabaseNumber", R"({"database": 7})", "\"database\""},
        DamageCase{"RegionalUnknown", R"({"regional": "fr-FR"})", "\"regional\""},
        DamageCase{"ColorText", R"({"button_color": "red"})", "\"button_color\""},
        DamageCase{"ColorTooLarge", R"({"button_color": 99999999999})", "-2147483648 to"},
        DamageCase{"ColorPastSixtyFourBits", R"({"button_color": 18446744073709551615})",
                   "\"button_color\""},
        DamageCase{"WaitNegative", R"({"database_wait": -1})", "\"database_wait\""},
        DamageCase{"WaitBeyondAnHour", R"({"database_wait": 3601})", "0 to 3600"},
        DamageCase{"WaitFraction", R"({"database_wait": 1.5})", "\"database_wait\""},
        DamageCase{"SoundsText", R"({"kiosk_sounds": "off"})", "\"kiosk_sounds\""},
        DamageCase{"WeekStartsNoDay", R"({"week_starts": "Funday"})", "\"week_starts\""},
        DamageCase{"StepsNoList", R"({"steps": "Punch Entry"})", "\"steps\""},
        DamageCase{"UnknownStep", R"({"steps": ["Punch Entry", "Coffee"]})", "Coffee"},
        DamageCase{"NoPunchEntry", R"({"steps": ["Employee ID"]})", "lacks \"Punch Entry\""},
        DamageCase{"SavedStepsDamaged", R"({"saved": 12})", "\"saved\""},
        DamageCase{"KioskKeyNumber", R"({"kiosks": {"door": 7}})", "\"door\""},
        DamageCase{"ClockNameNumber", R"({"clock_name": 7})", "\"clock_name\" is not a text"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
