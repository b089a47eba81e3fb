#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "framework/Factories.h"
#include "framework/IKeypadControl.h"
#include "framework/IStep.h"
#include "host/framework/PunchDateTime.h"
#include "platform/ClassFactory.h"
#include "platform/Controls.h"
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

// The host creates the step by programmatic identifier, starts it through the persistence
// protocol and drives it as a step; its own objects reach the step built in this library.
TEST_F(LibraryTest, StepIsCreatedByProgrammaticIdentifierAndDrivenThroughIStep) {
    ASSERT_EQ(Register(), platform::hr::kOk);
    auto step = platform::CreateObjectAs<framework::IStep>("Stampkind.clsStep");
    ASSERT_NE(step, nullptr);
    platform::query_or_raise<platform::Persistable>(step)->InitProperties();
    EXPECT_EQ(step->KeypadControlID(), "Stampkind.StampkindKeypad");
    EXPECT_EQ(step->Properties()->Item("GlidepassSpan")->Value(), platform::Variant(18.0));

    auto message = framework::NewMessageBuilder();
    message->Add("manager mode", true);
    step->ReceiveMessage(message->Message());
    step->AttachDateTime(std::make_shared<orvane::PunchDateTime>(platform::Date{46360.5}));
    step->SetValue("I");
    EXPECT_EQ(step->IsValid(), framework::VBool::True);
}

TEST_F(LibraryTest, RegistrationRecordsTheClassesAndTheTypeLibraryAndUnregistrationRemovesThem) {
    ASSERT_EQ(Register(), platform::hr::kOk);
    const auto step = Registry().FindClass("Stampkind.clsStep");
    ASSERT_TRUE(step.has_value());
    EXPECT_EQ(step->threading, "Apartment");
    EXPECT_FALSE(step->control);
    EXPECT_EQ(step->type_library_version, "1.0");
    EXPECT_EQ(fs::path(step->library), fs::canonical(LibraryFile()));
    EXPECT_EQ(Registry().FindClass(step->class_id), step);

    // Every registered class is a control except the step, and only the punch-type keypad
    // contains other controls.
    for (const auto& entry : Registry().Classes()) {
        SCOPED_TRACE(entry.prog_id);
        EXPECT_EQ(entry.prog_id.rfind("Stampkind.", 0), 0u);
        EXPECT_EQ(entry.threading, "Apartment");
        const bool is_step = entry.prog_id == "Stampkind.clsStep";
        EXPECT_EQ(entry.control, !is_step);
        EXPECT_EQ(entry.activate_when_visible, !is_step);
        EXPECT_EQ(entry.set_client_site_first, !is_step);
        EXPECT_EQ(entry.simple_frame, entry.prog_id == "Stampkind.StampkindKeypad");
    }
    const auto libraries = Registry().TypeLibraries();
    ASSERT_EQ(libraries.size(), 1u);
    EXPECT_EQ(libraries[0].version, "1.0");
    EXPECT_EQ(libraries[0].id, step->type_library);

    ASSERT_EQ(Unregister(), platform::hr::kOk);
    EXPECT_FALSE(Registry().FindClass("Stampkind.clsStep").has_value());
    EXPECT_TRUE(Registry().Classes().empty());
    EXPECT_TRUE(Registry().TypeLibraries().empty());
}

// The keypads as the host meets them: created by programmatic identifier, each with its buttons
// and its two events.
TEST_F(LibraryTest, EveryKeypadIsCreatableWithItsButtonsAndEvents) {
    ASSERT_EQ(Register(), platform::hr::kOk);
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

TEST_F(LibraryTest, DamagedRegistryIsReportedAndLeftAsItWas) {
    std::ofstream(m_fake.registry_file) << "{ damaged";
    EXPECT_NE(Register(), platform::hr::kOk);
    EXPECT_NE(Unregister(), platform::hr::kOk);
    EXPECT_EQ(ReadText(m_fake.registry_file), "{ damaged");
}

TEST_F(LibraryTest, ClassFactoriesAreFoundByClassIdOrProgrammaticIdentifier) {
    ASSERT_EQ(Register(), platform::hr::kOk);
    const auto registered = Registry().FindClass("Stampkind.clsStep");
    ASSERT_TRUE(registered.has_value());

    platform::ClassFactory* by_name = nullptr;
    platform::ClassFactory* by_id = nullptr;
    EXPECT_EQ(GetClassObject("stampkind.clsstep", &by_name), platform::hr::kOk);
    EXPECT_EQ(GetClassObject(registered->class_id.c_str(), &by_id), platform::hr::kOk);
    EXPECT_NE(by_name, nullptr);
    EXPECT_EQ(by_name, by_id);

    platform::ClassFactory* none = by_name;
    EXPECT_EQ(GetClassObject("Stampkind.Nothing", &none), platform::hr::kClassNotAvailable);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(GetClassObject(nullptr, &none), platform::hr::kInvalidArgument);
    EXPECT_EQ(GetClassObject("Stampkind.clsStep", nullptr), platform::hr::kInvalidArgument);
}

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

// A saved object of a class other than the default one is created through the registry and
// restored from what was stored.
TEST_F(LibraryTest, StoredObjectIsCreatedByItsClassAndRestored) {
    ASSERT_EQ(Register(), platform::hr::kOk);
    auto step = platform::CreateObjectAs<framework::IStep>("Stampkind.clsStep");
    platform::query_or_raise<platform::Persistable>(step)->InitProperties();
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
    platform::ClassRegistration missing_library;
    missing_library.prog_id = "Broken.NoLibrary";
    missing_library.library = (m_folder / "absent.so").string();
    platform::ClassRegistration no_entry_point;
    no_entry_point.prog_id = "Broken.NoEntryPoint";
    no_entry_point.library = platform_library.dli_fname;
    platform::ClassRegistration not_served;
    not_served.prog_id = "Broken.NotServed";
    not_served.class_id = "{BBBB0000-0000-4000-8000-000000000009}";
    not_served.library = LibraryFile().string();
    Registry().Register({missing_library, no_entry_point, not_served}, {});

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

// The names the library exports, demangled.
std::set<std::string> ExportedFunctions() {
    const std::string command = "nm -D -C --defined-only '" + LibraryFile().string() + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::set<std::string> names;
    if (!pipe)
        return names;
    std::array<char, 4096> line{};
    while (fgets(line.data(), line.size(), pipe.get())) {
        std::istringstream fields(line.data());
        std::string address, kind, name;
        fields >> address >> kind;
        std::getline(fields >> std::ws, name);
        if (kind == "T" || kind == "W" || kind == "i")
            names.insert(name);
    }
    return names;
}

TEST(LibraryExportsTest, OnlyTheFourEntryPointsAreExportedOfOurOwnFunctions) {
    const auto exported = ExportedFunctions();
    ASSERT_FALSE(exported.empty()) << "nm gave nothing for " << LibraryFile();
    for (const char* entry :
         {"DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow"}) {
        EXPECT_TRUE(exported.contains(entry)) << entry;
    }
    for (const auto& name : exported) {
        const bool plain_c =
            name.find("::") == std::string::npos && name.find('(') == std::string::npos;
        const bool ours = name.find("stampkind") != std::string::npos;
        if (plain_c && name.rfind("Dll", 0) == 0)
            continue;
        EXPECT_FALSE(ours) << name;
        EXPECT_FALSE(plain_c && name.front() != '_') << name;
    }
}

}  // namespace
