#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/ClassFactory.h"
#include "platform/Error.h"
#include "platform/FakeServices.h"
#include "tests/support/Raised.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using platform::ClassRegistration;
using platform::ComponentRegistry;
using platform::TypeLibraryRegistration;

// Each test gets its own registry file in a folder of its own, named by the services.
class RegistryTest : public testing::Test {
  protected:
    RegistryTest() { m_fake.registry_file = m_folder / "sub" / "registry.json"; }

    const fs::path& file() const { return m_fake.registry_file; }

    TempFolder m_folder;
    platform::FakeServices m_fake;
    platform::ServicesScope m_scope{m_fake};
};

ClassRegistration keypad_entry(std::string library) {
    return {.prog_id = "Stampkind.StampkindKeypad",
            .class_id = "{AAAA0000-0000-4000-8000-000000000002}",
            .library = std::move(library),
            .control = true,
            .activate_when_visible = true,
            .set_client_site_first = true,
            .simple_frame = true,
            .type_library = "{AAAA0000-0000-4000-8000-0000000000FF}",
            .type_library_version = "1.0"};
}

TEST_F(RegistryTest, RegistersFindsReplacesAndRemovesWholeEntries) {
    ComponentRegistry registry(file());
    const TypeLibraryRegistration type_library{"{AAAA0000-0000-4000-8000-0000000000FF}",
                                               "Stampkind", "1.0", "/opt/libstampkind.so"};
    ClassRegistration step;
    step.prog_id = "Stampkind.clsStep";
    step.class_id = "{AAAA0000-0000-4000-8000-000000000001}";
    step.library = "/opt/libstampkind.so";
    registry.Register({step, keypad_entry("/opt/libstampkind.so")}, type_library);

    EXPECT_EQ(registry.FindClass("stampkind.STAMPKINDKEYPAD"),
              keypad_entry("/opt/libstampkind.so"));
    EXPECT_EQ(registry.FindClass("{aaaa0000-0000-4000-8000-000000000001}"), step);
    EXPECT_EQ(registry.TypeLibraries(), std::vector<TypeLibraryRegistration>{type_library});

    // A second registration replaces by identifier instead of adding.
    registry.Register({keypad_entry("/srv/libstampkind.so")}, type_library);
    ASSERT_EQ(registry.Classes().size(), 2u);
    EXPECT_EQ(registry.FindClass("Stampkind.StampkindKeypad")->library, "/srv/libstampkind.so");

    ClassRegistration other;
    other.prog_id = "Other.Thing";
    other.library = "/opt/libother.so";
    registry.Register({other}, {});
    registry.Unregister({"Stampkind.clsStep", "Stampkind.StampkindKeypad"}, type_library.id);
    EXPECT_EQ(registry.Classes(), std::vector<ClassRegistration>{other});
    EXPECT_TRUE(registry.TypeLibraries().empty());
    // Written whole: no temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(file().parent_path()), fs::directory_iterator()),
              1);
}

// A damaged file is named in the error, never overwritten, and makes creation fail with the
// reason.
TEST_F(RegistryTest, DamagedFileRaisesBadFileFormatAndIsNeverOverwritten) {
    for (const char* damaged :
         {"not json", "{\"classes\": [", "[]", R"({"classes": {}})",
          R"({"classes": [{"library": "/opt/x.so"}]})",
          R"({"classes": [{"prog_id": "A.B", "library": "/x", "control": "yes"}]})"}) {
        SCOPED_TRACE(damaged);
        fs::create_directories(file().parent_path());
        std::ofstream(file()) << damaged;
        ComponentRegistry registry(file());
        std::string description;
        EXPECT_EQ(ErrorNumberOf([&] { registry.Classes(); }, &description),
                  platform::err::kBadFileFormat);
        EXPECT_NE(description.find(file().string()), std::string::npos) << description;
        EXPECT_EQ(ErrorNumberOf([&] { registry.Register({keypad_entry("/x")}, {}); }),
                  platform::err::kBadFileFormat);
        EXPECT_EQ(ErrorNumberOf([] { platform::CreateObject("Stampkind.clsStep"); }, &description),
                  platform::err::kCannotCreateObject);
        EXPECT_NE(description.find("Bad file format"), std::string::npos) << description;
        EXPECT_EQ(ReadText(file()), damaged);
    }
}

// Creation keeps what it read of the file, but must see every registration made since.
TEST_F(RegistryTest, CreationSeesEveryChangeOfTheFile) {
    const auto reason = [] {
        std::string description;
        ErrorNumberOf([] { platform::CreateObject("Stampkind.StampkindKeypad"); }, &description);
        return description;
    };
    // A missing file holds nothing, and removing from it makes no file.
    ComponentRegistry registry(file());
    EXPECT_TRUE(registry.Classes().empty());
    registry.Unregister({"Stampkind.StampkindKeypad"}, "{x}");
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_NE(reason().find("not registered"), std::string::npos);
    for (const char* library : {"/nowhere/libstampkind.so", "/elsewhere/libstampkind.so"}) {
        registry.Register({keypad_entry(library)}, {});
        EXPECT_NE(reason().find(library), std::string::npos) << library;
    }
    registry.Unregister({"Stampkind.StampkindKeypad"}, "");
    EXPECT_NE(reason().find("not registered"), std::string::npos);
}

}  // namespace
