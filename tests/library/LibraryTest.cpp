#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "framework/Factories.h"
#include "framework/IKeypadControl.h"
#include "framework/IStep.h"
#include "host/framework/PunchDateTime.h"
#include "platform/ClassFactory.h"
#include "platform/Error.h"
#include "platform/Events.h"
#include "platform/FakeServices.h"
#include "platform/PropertyBag.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "tests/support/Raised.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

fs::path LibraryFile() {
    const char* bin = std::getenv("STAMPKIND_BIN");
    return fs::path(bin ? bin : ".") / "libstampkind.so";
}

// The library loaded the way the host loads it, with a component registry of the test's own.
// This test program is the host: it links the host framework library, whose classes the
// component finds when it is loaded.
class LibraryTest : public testing::Test {
  protected:
    void SetUp() override {
        m_fake.registry_file = m_folder / "registry.json";
        m_handle = dlopen(LibraryFile().c_str(), RTLD_NOW);
        ASSERT_NE(m_handle, nullptr) << dlerror();
    }
    void TearDown() override {
        if (m_handle)
            dlclose(m_handle);
    }

    template <class Fn>
    Fn Entry(const char* name) {
        return reinterpret_cast<Fn>(dlsym(m_handle, name));
    }
    int32_t Register() { return Entry<DllRegisterServerFn>("DllRegisterServer")(); }
    int32_t Unregister() { return Entry<DllUnregisterServerFn>("DllUnregisterServer")(); }
    int32_t GetClassObject(const char* id, platform::ClassFactory** factory) {
        return Entry<DllGetClassObjectFn>("DllGetClassObject")(id, factory);
    }
    int32_t CanUnloadNow() { return Entry<DllCanUnloadNowFn>("DllCanUnloadNow")(); }

    platform::ComponentRegistry Registry() const {
        return platform::ComponentRegistry(m_fake.registry_file);
    }

    TempFolder m_folder;
    platform::FakeServices m_fake;
    platform::ServicesScope m_scope{m_fake};
    void* m_handle = nullptr;
};

// A damaged registry is reported and left as it was. Registration records every class and the
// type library; the class factories are found by class id or by programmatic identifier in any
// letter case. Unregistration removes them all.
TEST_F(LibraryTest, RegistrationRecordsTheClassesAndTheTypeLibraryAndUnregistrationRemovesThem) {
    std::ofstream(m_fake.registry_file) << "{ damaged";
    EXPECT_NE(Register(), platform::hr::kOk);
    EXPECT_NE(Unregister(), platform::hr::kOk);
    EXPECT_EQ(ReadText(m_fake.registry_file), "{ damaged");
    fs::remove(m_fake.registry_file);

    ASSERT_EQ(Register(), platform::hr::kOk);
    const auto step = Registry().FindClass("Stampkind.clsStep");
    ASSERT_TRUE(step.has_value());
    EXPECT_EQ(fs::path(step->library), fs::canonical(LibraryFile()));
    EXPECT_EQ(Registry().FindClass(step->class_id), step);

    // Every registered class is a control except the step, and only the punch-type keypad
    // contains other controls.
    for (const auto& entry : Registry().Classes()) {
        EXPECT_EQ(entry.control, entry.prog_id != "Stampkind.clsStep") << entry.prog_id;
        EXPECT_EQ(entry.simple_frame, entry.prog_id == "Stampkind.StampkindKeypad");
    }
    const auto libraries = Registry().TypeLibraries();
    ASSERT_EQ(libraries.size(), 1u);
    EXPECT_EQ(libraries[0].id, step->type_library);

    platform::ClassFactory* by_name = nullptr;
    platform::ClassFactory* by_id = nullptr;
    EXPECT_EQ(GetClassObject("stampkind.clsstep", &by_name), platform::hr::kOk);
    EXPECT_EQ(GetClassObject(step->class_id.c_str(), &by_id), platform::hr::kOk);
    EXPECT_NE(by_name, nullptr);
    EXPECT_EQ(by_name, by_id);
    platform::ClassFactory* none = by_name;
    EXPECT_EQ(GetClassObject("Stampkind.Nothing", &none), platform::hr::kClassNotAvailable);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(GetClassObject(nullptr, &none), platform::hr::kInvalidArgument);
    EXPECT_EQ(GetClassObject("Stampkind.clsStep", nullptr), platform::hr::kInvalidArgument);

    ASSERT_EQ(Unregister(), platform::hr::kOk);
    EXPECT_FALSE(Registry().FindClass("Stampkind.clsStep").has_value());
    EXPECT_TRUE(Registry().Classes().empty());
    EXPECT_TRUE(Registry().TypeLibraries().empty());
}

// The keypads as the host meets them: created by programmatic identifier, each with its two
// events.
TEST_F(LibraryTest, LibraryMayUnloadOnlyWithoutLiveObjectsOrLocks) {
    platform::ClassFactory* factory = nullptr;
    ASSERT_EQ(GetClassObject("Stampkind.clsStep", &factory), platform::hr::kOk);
    EXPECT_EQ(CanUnloadNow(), platform::hr::kOk);

    auto step = platform::query_or_raise<framework::IStep>(factory->CreateInstance());
    platform::query_or_raise<platform::Persistable>(step)->InitProperties();
    EXPECT_EQ(CanUnloadNow(), platform::hr::kFalse);
    auto clone = step->Clone();
    step.reset();
    EXPECT_EQ(CanUnloadNow(), platform::hr::kFalse);
    clone.reset();
    EXPECT_EQ(CanUnloadNow(), platform::hr::kOk);

    factory->LockServer(true);
    factory->LockServer(true);
    factory->LockServer(false);
    EXPECT_EQ(CanUnloadNow(), platform::hr::kFalse);
    factory->LockServer(false);
    EXPECT_EQ(CanUnloadNow(), platform::hr::kOk);
}

// The objects as the host meets them, created by programmatic identifier: each keypad with its
// two events, and the step, which takes the host's own objects. A saved step is created again
// through the registry by its class and restored from what was stored.
TEST_F(LibraryTest, ObjectsAreCreatableAndAStoredStepIsRestored) {
    ASSERT_EQ(Register(), platform::hr::kOk);
    for (const char* prog_id : {"Stampkind.StampkindKeypad", "Stampkind.TimeIn",
                                "Stampkind.TimeOut", "Stampkind.Hours", "Stampkind.Currency"}) {
        auto keypad = platform::CreateObjectAs<framework::IKeypadControl>(prog_id);
        ASSERT_NE(keypad, nullptr) << prog_id;
        auto events = platform::query_or_raise<platform::EventSource>(keypad);
        const bool punch_types = std::string_view(prog_id) == "Stampkind.StampkindKeypad";
        EXPECT_EQ(events->DispatchId("Finished"), punch_types ? 1 : 2);
        EXPECT_EQ(events->DispatchId("Click"), punch_types ? 2 : 1);
    }

    auto step = platform::CreateObjectAs<framework::IStep>("Stampkind.clsStep");
    platform::query_or_raise<platform::Persistable>(step)->InitProperties();
    EXPECT_EQ(step->KeypadControlID(), "Stampkind.StampkindKeypad");
    auto message = framework::NewMessageBuilder();
    message->Add("manager mode", true);
    step->ReceiveMessage(message->Message());
    step->AttachDateTime(std::make_shared<orvane::PunchDateTime>(platform::Date{46360.5}));
    step->Properties()->Item("GlidepassSpan")->SetValue(4.5);
    platform::PropertyBag bag;
    bag.WriteProperty("Step", platform::query_or_raise<platform::Persistable>(step));
    const auto stored = platform::PropertyBag::from_text(bag.to_text());
    auto restored = platform::query_or_raise<framework::IStep>(
        platform::PropertyBag(stored).ReadProperty("Step").to_object());
    ASSERT_NE(restored, step);
    EXPECT_EQ(restored->Properties()->Item("GlidepassSpan")->Value(), platform::Variant(4.5));
}

TEST_F(LibraryTest, CreationFailuresNameTheIdentifierAndTheReason) {
    Dl_info platform_library{};
    ASSERT_NE(::dladdr(reinterpret_cast<void*>(&platform::CreateObject), &platform_library), 0);
    const auto entry = [](const char* prog_id, std::string library, const char* class_id = "") {
        platform::ClassRegistration registration;
        registration.prog_id = prog_id;
        registration.class_id = class_id;
        registration.library = std::move(library);
        return registration;
    };
    Registry().Register({entry("Broken.NoLibrary", (m_folder / "absent.so").string()),
                         entry("Broken.NoEntryPoint", platform_library.dli_fname),
                         entry("Broken.NotServed", LibraryFile().string(),
                               "{BBBB0000-0000-4000-8000-000000000009}")},
                        {});

    const std::vector<std::pair<const char*, const char*>> rows = {
        {"Broken.Unregistered", "not registered"},
        {"Broken.NoLibrary", "cannot load the library"},
        {"Broken.NoEntryPoint", "has no DllGetClassObject"},
        {"Broken.NotServed", "does not serve the class (result 0x80040111)"},
    };
    for (const auto& [prog_id, reason] : rows) {
        SCOPED_TRACE(prog_id);
        std::string description;
        EXPECT_EQ(ErrorNumberOf([&] { platform::CreateObject(prog_id); }, &description),
                  platform::err::kCannotCreateObject);
        EXPECT_NE(description.find(prog_id), std::string::npos) << description;
        EXPECT_NE(description.find(reason), std::string::npos) << description;
    }
}

// Of the library's own functions only the entry points, which every test here calls, are
// exported; no other plain C name either.
TEST(LibraryExportsTest, OnlyTheFourEntryPointsAreExportedOfOurOwnFunctions) {
    const std::string command = "nm -D -C --defined-only '" + LibraryFile().string() + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_TRUE(pipe);
    std::array<char, 4096> line{};
    int exported = 0;
    while (fgets(line.data(), line.size(), pipe.get())) {
        std::istringstream fields(line.data());
        std::string address, kind, name;
        fields >> address >> kind;
        std::getline(fields >> std::ws, name);
        const bool plain_c = name.find("::") == std::string::npos && name.find('(') == name.npos;
        const bool code = kind == "T" || kind == "W" || kind == "i";
        const bool entry_point = plain_c && name.starts_with("Dll");
        EXPECT_FALSE(code && !entry_point &&
                     (name.find("stampkind") != name.npos || (plain_c && name[0] != '_')))
            << name;
        ++exported;
    }
    EXPECT_GT(exported, 0) << "nm gave nothing for " << LibraryFile();
}

}  // namespace
