// The "Punch Entry" step restored from a configuration file, through the component registry and
// the component library beside the tests, as the clock restores it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/clock/ComponentLibrary.h"
#include "host/clock/Configuration.h"
#include "platform/Error.h"
#include "platform/FakeServices.h"
#include "platform/Services.h"
#include "tests/support/Raised.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using timeclock::Configuration;

// A saved step whose settings collection claims `count` settings and holds one.
std::string SavedStep(const std::string& count) {
    return R"({"steps": ["Punch Entry"], "saved": {"Punch Entry": {"type": "Object",
        "class": "Stampkind.clsStep", "properties": {"Props": {"type": "Object",
        "class": "OrvaneFramework.PropertyCollection", "properties": {
        "Count": )" +
           count + R"(, "Name1": {"type": "String", "value": "GlidepassSpan"},
        "Value1": {"type": "Double", "value": 7.0}}}}}}})";
}

class SavedStepTest : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        m_fake.registry_file = m_folder / "registry.json";
        const char* bin = std::getenv("STAMPKIND_BIN");
        timeclock::ComponentLibrary(fs::path(bin ? bin : ".") / "libstampkind.so").Register();
    }

    Configuration Load(const std::string& text) const {
        std::ofstream(m_folder / "timeclock.json") << text;
        return Configuration::Load(m_folder / "timeclock.json");
    }

    TempFolder m_folder;
    platform::FakeServices m_fake;
    platform::ServicesScope m_scope{m_fake};
};

TEST_F(SavedStepTest, RestoresItsSettings) {
    const auto step = Load(SavedStep(R"({"type": "Long", "value": 1})")).CreateStep();
    EXPECT_EQ(step->Properties()->Item(platform::Variant("GlidepassSpan"))->Value().to_double(),
              7.0);
}

// A count no collection can hold is refused before it is converted to a whole number (converting
// 1E+300 is undefined; clang's undefined-behaviour sanitizer reports it in the configuration fuzz
// target).
TEST_P(SavedStepTest, CountBeyondTheSettingsIsRefused) {
    const Configuration config = Load(SavedStep(GetParam()));
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { config.CreateStep(); }, &description),
              platform::err::kBadFileFormat);
    EXPECT_NE(description.find("no whole number of settings"), std::string::npos) << description;
}

INSTANTIATE_TEST_SUITE_P(DamagedCount, SavedStepTest,
                         ::testing::Values(R"({"type": "Double", "value": 1e300})",
                                           R"({"type": "Double", "value": -1e300})",
                                           R"({"type": "Double", "value": 4294967296.0})",
                                           R"({"type": "Double", "value": 0.5})"));

}  // namespace
