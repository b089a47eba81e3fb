#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/IKeypadControl.h"
#include "framework/IStep.h"
#include "host/framework/Message.h"
#include "host/framework/RecordingDisplay.h"
#include "host/framework/StepSequence.h"
#include "platform/ClassFactory.h"
#include "platform/Controls.h"
#include "platform/Events.h"
#include "platform/FakeServices.h"
#include "platform/PropertyBag.h"
#include "platform/Registry.h"
#include "platform/Services.h"

namespace {

namespace fs = std::filesystem;

// The keypads as the host meets them: the library registered in a registry of the test's own,
// each keypad created by its programmatic identifier and driven through IKeypadControl.
class KeypadLibraryTest : public testing::Test {
  protected:
    void SetUp() override {
        const char* bin = std::getenv("STAMPKIND_BIN");
        m_folder = fs::temp_directory_path() / ("stampkind-keypads-" + std::to_string(::getpid()));
        fs::create_directories(m_folder);
        m_fake.registry_file = m_folder / "registry.json";
        m_handle = dlopen((fs::path(bin ? bin : ".") / "libstampkind.so").c_str(), RTLD_NOW);
        ASSERT_NE(m_handle, nullptr) << dlerror();
        auto register_server =
            reinterpret_cast<DllRegisterServerFn>(dlsym(m_handle, "DllRegisterServer"));
        ASSERT_EQ(register_server(), platform::hr::kOk);
    }
    void TearDown() override {
        if (m_handle)
            dlclose(m_handle);
        fs::remove_all(m_folder);
    }

    fs::path m_folder;
    platform::FakeServices m_fake;
    platform::ServicesScope m_scope{m_fake};
    void* m_handle = nullptr;
};

TEST_F(KeypadLibraryTest, EveryKeypadIsCreatableAndDrawsItsButtons) {
    const std::vector<std::pair<std::string, std::size_t>> keypads{
        {"Stampkind.StampkindKeypad", 25}, {"Stampkind.TimeIn", 11},   {"Stampkind.TimeOut", 11},
        {"Stampkind.Hours", 11},           {"Stampkind.Currency", 11},
    };
    for (const auto& [prog_id, controls] : keypads) {
        auto keypad = platform::CreateObjectAs<framework::IKeypadControl>(prog_id);
        ASSERT_NE(keypad, nullptr) << prog_id;
        EXPECT_EQ(keypad->Finalize(), framework::VBool::False) << prog_id;
        auto form = platform::query_or_raise<platform::UserControl>(keypad);
        EXPECT_EQ(form->Controls().size(), controls) << prog_id;
        auto events = platform::query_or_raise<platform::EventSource>(keypad);
        EXPECT_EQ(events->DispatchId("Finished"), prog_id == "Stampkind.StampkindKeypad" ? 1 : 2);
        EXPECT_EQ(events->DispatchId("Click"), prog_id == "Stampkind.StampkindKeypad" ? 2 : 1);
    }
}

TEST_F(KeypadLibraryTest, PunchTypeKeypadPutsTheChosenCodeIntoTheStep) {
    auto step = platform::CreateObjectAs<framework::IStep>("Stampkind.clsStep");
    platform::query_or_raise<platform::Persistable>(step)->InitProperties();
    step->Skip(std::make_shared<orvane::StepSequence>());
    auto keypad = platform::CreateObjectAs<framework::IKeypadControl>(step->KeypadControlID());
    auto display = std::make_shared<orvane::RecordingDisplay>();
    int finished = 0;
    platform::query_or_raise<platform::EventSource>(keypad)->Connect("Finished",
                                                                     [&] { ++finished; });

    keypad->Attach(step, display);
    keypad->ReceiveMessage(orvane::MakeMessage("manager mode", false));
    keypad->Reset();
    keypad->ProcessKeyPress('2');
    keypad->ProcessKeyPress(13);

    EXPECT_EQ(step->Value().to_text(), "O");
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(display->user_input(), "OUT");
}

TEST_F(KeypadLibraryTest, AttachRefusesAStepFromElsewhere) {
    auto keypad = platform::CreateObjectAs<framework::IKeypadControl>("Stampkind.Hours");
    auto foreign = std::dynamic_pointer_cast<framework::IStep>(
        orvane::MakeValueStep("Employee ID", platform::Variant(17)));
    try {
        keypad->Attach(foreign, std::make_shared<orvane::RecordingDisplay>());
        FAIL() << "no error raised";
    } catch (const platform::RaisedError& error) {
        EXPECT_EQ(error.number(), 13);
    }
}

}  // namespace
