#include "tests/e2e/Timeclock.h"

namespace {

class SetupTest : public TimeclockTest {
  protected:
    Result Setup(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"setup", "--config", Config().string()});
        return Run(arguments);
    }
};

TEST_F(SetupTest, EditsAreSavedAndShown) {
    const auto edited =
        Setup({"--allowed", "1000000001", "--glidepass", "on", "--span", "12.5", "--show"});
    ASSERT_EQ(edited.status, 0) << edited.err;

    const auto shown = Setup({"--show"}).json();
    EXPECT_EQ(shown["AllowedStampkinds"], "1000000001");
    EXPECT_EQ(shown["IsGlidepass"], true);
    EXPECT_EQ(shown["GlidepassSpan"], 12.5);

    // The span box reads the leading number, as the page does.
    ASSERT_EQ(Setup({"--span", "7 days"}).status, 0);
    EXPECT_EQ(Setup({"--show"}).json()["GlidepassSpan"], 7.0);
}

TEST_F(SetupTest, DamagedConfigurationIsNamedAndKept) {
    const std::string damaged = "{\"steps\": [\"Punch Entry\"], \"saved\": ";
    std::ofstream(Config()) << damaged;
    const auto result = Setup({"--glidepass", "on"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(Config().string()), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("321"), std::string::npos) << result.err;
    EXPECT_EQ(ReadText(Config()), damaged);
}

}  // namespace
