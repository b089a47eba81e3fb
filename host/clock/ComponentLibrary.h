#pragma once

#include <filesystem>

namespace timeclock {

// The component library that the clock hosts, libstampkind.so, found beside the running
// program. It is registered in the component registry of the platform services, from where the
// clock creates the step, its keypad and its setup page by programmatic identifier.
class ComponentLibrary {
  public:
    // The library beside the running program, or in its installed place.
    static ComponentLibrary BesideProgram();
    explicit ComponentLibrary(std::filesystem::path file) : m_file(std::move(file)) {}

    const std::filesystem::path& file() const { return m_file; }

    // Calls the library's DllRegisterServer or DllUnregisterServer; raises "ActiveX component
    // can't create object" (429) when the library cannot be loaded, and an error naming the
    // entry point and its result code when the entry point fails.
    void Register() const;
    void Unregister() const;

    // Registers the library unless the registry already names an existing library for the step.
    void EnsureRegistered() const;

  private:
    void Call(const char* entry_point) const;

    std::filesystem::path m_file;
};

// Where the clock keeps its files unless told otherwise: $XDG_CONFIG_HOME/stampkind/timeclock.json
// (~/.config/...) and $XDG_DATA_HOME/stampkind/clock.db (~/.local/share/...).
std::filesystem::path DefaultConfigFile();
std::filesystem::path DefaultDatabaseFile();

}  // namespace timeclock
