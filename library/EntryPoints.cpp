// The library's four entry points, the only functions it exports. The platform calls them to
// register and unregister the library's classes, to get a class factory and to ask whether the
// library may be unloaded. Nothing is thrown across them: every failure becomes a result code.
#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/LiveObjects.h"
#include "library/ClassTable.h"
#include "platform/ClassFactory.h"
#include "platform/Error.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "platform/TextScan.h"

namespace stampkind {

namespace {

constexpr std::string_view kProject = "Stampkind";
constexpr std::string_view kTypeLibraryId = "{5A0F3C71-2D94-4B8E-A6C3-9E17D2B4F8FF}";
constexpr std::string_view kTypeLibraryVersion = "1.0";

std::string ProgId(const ComponentClass& entry) {
    return std::string(kProject) + "." + std::string(entry.name);
}

// The class factory of one class of the table; it lives as long as the library.
class TableFactory final : public platform::ClassFactory {
  public:
    explicit TableFactory(const ComponentClass& entry) : m_entry(&entry) {}

    std::shared_ptr<platform::Object> CreateInstance() override { return m_entry->create(); }
    void LockServer(bool lock) override { lock ? LiveObjects::Lock() : LiveObjects::Unlock(); }

    const ComponentClass& Entry() const { return *m_entry; }

  private:
    const ComponentClass* m_entry;
};

std::vector<TableFactory>& Factories() {
    static std::vector<TableFactory> factories = [] {
        std::vector<TableFactory> made;
        for (const auto& entry : ClassTable())
            made.emplace_back(entry);
        return made;
    }();
    return factories;
}

// The absolute path of this library, as the registry names the file that serves its classes.
std::string LibraryPath() {
    Dl_info info{};
    if (dladdr(&ClassTable(), &info) == 0 || info.dli_fname == nullptr) {
        platform::raise(platform::err::kFileNotFound, "The component library cannot find itself");
    }
    return std::filesystem::weakly_canonical(std::filesystem::absolute(info.dli_fname)).string();
}

std::vector<std::string> ProgIds() {
    std::vector<std::string> ids;
    for (const auto& entry : ClassTable())
        ids.push_back(ProgId(entry));
    return ids;
}

int32_t Register() {
    const std::string library = LibraryPath();
    std::vector<platform::ClassRegistration> classes;
    for (const auto& entry : ClassTable()) {
        platform::ClassRegistration registration;
        registration.prog_id = ProgId(entry);
        registration.class_id = std::string(entry.class_id);
        registration.library = library;
        registration.threading = "Apartment";
        registration.control = entry.control;
        registration.activate_when_visible = entry.control;
        registration.set_client_site_first = entry.control;
        registration.simple_frame = entry.simple_frame;
        registration.type_library = std::string(kTypeLibraryId);
        registration.type_library_version = std::string(kTypeLibraryVersion);
        classes.push_back(std::move(registration));
    }
    const platform::TypeLibraryRegistration type_library{std::string(kTypeLibraryId),
                                                         std::string(kProject),
                                                         std::string(kTypeLibraryVersion), library};
    platform::ComponentRegistry(platform::services().RegistryFile())
        .Register(classes, type_library);
    return platform::hr::kOk;
}

int32_t Unregister() {
    platform::ComponentRegistry(platform::services().RegistryFile())
        .Unregister(ProgIds(), kTypeLibraryId);
    return platform::hr::kOk;
}

int32_t GetClassObject(const char* class_id, platform::ClassFactory** factory) {
    if (class_id == nullptr || factory == nullptr)
        return platform::hr::kInvalidArgument;
    *factory = nullptr;
    for (auto& candidate : Factories()) {
        const ComponentClass& entry = candidate.Entry();
        if (platform::text::iequals(class_id, entry.class_id) ||
            platform::text::iequals(class_id, ProgId(entry))) {
            *factory = &candidate;
            return platform::hr::kOk;
        }
    }
    return platform::hr::kClassNotAvailable;
}

// Runs an entry point's work and turns whatever it raises into a result code.
template <class Work>
int32_t Guarded(Work work, int32_t on_failure) noexcept {
    try {
        return work();
    } catch (...) {
        return on_failure;
    }
}

}  // namespace

}  // namespace stampkind

extern "C" {

__attribute__((visibility("default"))) int32_t DllRegisterServer() {
    return stampkind::Guarded(stampkind::Register, platform::hr::kCannotWriteRegistry);
}

__attribute__((visibility("default"))) int32_t DllUnregisterServer() {
    return stampkind::Guarded(stampkind::Unregister, platform::hr::kCannotWriteRegistry);
}

__attribute__((visibility("default"))) int32_t DllGetClassObject(const char* class_id,
                                                                 platform::ClassFactory** factory) {
    return stampkind::Guarded([&] { return stampkind::GetClassObject(class_id, factory); },
                              platform::hr::kFail);
}

__attribute__((visibility("default"))) int32_t DllCanUnloadNow() {
    return stampkind::LiveObjects::None() ? platform::hr::kOk : platform::hr::kFalse;
}
}
