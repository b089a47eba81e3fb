#include "tests/e2e/Timeclock.h"

namespace {

class SetupTest : public TimeclockTest {
  protected:
    Result Setup(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"setup", "--config", Config().string()});
        return Run(arguments);
    }
};

// `--show` alone changes nothing: a file written by hand stays the same byte for byte, where
// saving it would write it out in full. Edits are saved, and shown as saved.
TEST_F(SetupTest, ShowChangesNothingAndEditsAreSavedAndShown) {
    const std::string by_hand = R"({"steps": ["Employee ID", "Punch Entry"], "idle_seconds": 20})";
    std::ofstream(Config()) << by_hand;
    const auto settings = [this](const char* allowed, bool glidepass, double span) {
        return nlohmann::json{{"AllowedStampkinds", allowed},
                              {"IsGlidepass", glidepass},
                              {"GlidepassSpan", span},
                              {"config", Config().string()}};
    };
    EXPECT_EQ(Setup({"--show"}).json(), settings("1111111111", false, 18));
    EXPECT_EQ(ReadText(Config()), by_hand);

    const auto edited =
        Setup({"--allowed", "1000000001", "--glidepass", "on", "--span", "12.5", "--show"});
    ASSERT_EQ(edited.status, 0) << edited.err;
    EXPECT_EQ(edited.json(), settings("1000000001", true, 12.5));
    EXPECT_EQ(Setup({"--show"}).json(), settings("1000000001", true, 12.5));

    // The span box reads the leading number, as the page does.
    ASSERT_EQ(Setup({"--span", "7 days"}).status, 0);
    EXPECT_EQ(Setup({"--show"}).json(), settings("1000000001", true, 7));
}

// Without --config the configuration is where the XDG layout puts it: below XDG_CONFIG_HOME, else
// below the home folder, else, for a service with no home at all, below the working folder.
TEST_F(SetupTest, WithoutAConfigFileItIsWhereTheEnvironmentSays) {
    const std::pair<const char*, const char*> cases[] = {
        {"XDG_CONFIG_HOME=/srv/conf HOME=/home/avery", "/srv/conf/stampkind/timeclock.json"},
        {"XDG_CONFIG_HOME= HOME=/home/avery", "/home/avery/.config/stampkind/timeclock.json"},
        {"-u XDG_CONFIG_HOME -u HOME", "./.config/stampkind/timeclock.json"},
        {"-u XDG_CONFIG_HOME HOME=", "./.config/stampkind/timeclock.json"},
    };
    for (const auto& [environment, config] : cases) {
        const auto shown = Run({"setup", "--show"}, std::string("env ") + environment);
        ASSERT_EQ(shown.status, 0) << environment << ": " << shown.err;
        EXPECT_EQ(shown.json()["config"], config) << environment;
    }
}

}  // namespace
