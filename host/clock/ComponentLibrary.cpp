#include "host/clock/ComponentLibrary.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ClassFactory.h"
#include "platform/Error.h"
#include "platform/Registry.h"
#include "platform/Services.h"

namespace timeclock {

namespace fs = std::filesystem;

namespace {

// A base folder of the XDG layout: the variable's value, or the fallback below the home folder.
fs::path XdgBase(const char* variable, const char* fallback_below_home) {
    if (const char* value = std::getenv(variable); value && *value)
        return value;
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / fallback_below_home;
}

}  // namespace

ComponentLibrary ComponentLibrary::BesideProgram() {
    std::error_code ec;
    const auto program = fs::read_symlink("/proc/self/exe", ec);
    const auto folder = ec ? fs::current_path() : program.parent_path();
    auto beside = folder / "libstampkind.so";
#ifdef STAMPKIND_INSTALLED_COMPONENT
    // An installed program keeps the component in the private folder of its libraries.
    if (!fs::exists(beside, ec))
        return ComponentLibrary((folder / STAMPKIND_INSTALLED_COMPONENT).lexically_normal());
#endif
    return ComponentLibrary(std::move(beside));
}

void ComponentLibrary::Register() const {
    Call("DllRegisterServer");
}

void ComponentLibrary::Unregister() const {
    Call("DllUnregisterServer");
}

void ComponentLibrary::EnsureRegistered() const {
    platform::ComponentRegistry registry(platform::services().RegistryFile());
    const auto found = registry.FindClass("Stampkind.clsStep");
    std::error_code ec;
    if (found && fs::exists(found->library, ec))
        return;
    Register();
}

void ComponentLibrary::Call(const char* entry_point) const {
    void* library = dlopen(m_file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        platform::raise(platform::err::kCannotCreateObject,
                        "ActiveX component can't create object: " + m_file.string() + ": " +
                            (reason ? reason : "cannot be loaded"));
    }
    auto* function = reinterpret_cast<DllRegisterServerFn>(dlsym(library, entry_point));
    if (!function) {
        dlclose(library);
        platform::raise(
            platform::err::kCannotCreateObject,
            "ActiveX component can't create object: " + m_file.string() + " has no " + entry_point);
    }
    const int32_t result = function();
    dlclose(library);
    if (result != platform::hr::kOk) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
        platform::raise(platform::err::kHostBase + 2, std::string(entry_point) + " of " +
                                                          m_file.string() + " failed with " + code);
    }
}

fs::path DefaultConfigFile() {
    return XdgBase("XDG_CONFIG_HOME", ".config") / "stampkind" / "timeclock.json";
}

fs::path DefaultDatabaseFile() {
    return XdgBase("XDG_DATA_HOME", ".local/share") / "stampkind" / "clock.db";
}

}  // namespace timeclock
