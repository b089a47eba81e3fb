#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Api.h"
#include "platform/Object.h"

namespace platform {

// What the component registry records of one creatable class.
struct PLATFORM_API ClassRegistration {
    std::string prog_id;   // "Stampkind.clsStep"
    std::string class_id;  // the class's unique id, "{...}"
    std::string library;   // absolute path of the shared library that serves the class
    std::string threading = "Apartment";
    bool control = false;                // a control: the flags below apply
    bool activate_when_visible = false;  // OLEMISC_ACTIVATEWHENVISIBLE
    bool set_client_site_first = false;  // OLEMISC_SETCLIENTSITEFIRST
    bool simple_frame = false;           // contains other controls (OLEMISC_SIMPLEFRAME)
    std::string type_library;            // the type library's id
    std::string type_library_version;    // "1.0"

    friend bool operator==(const ClassRegistration&, const ClassRegistration&) = default;
};

// What the component registry records of one type library.
struct PLATFORM_API TypeLibraryRegistration {
    std::string id;
    std::string name;
    std::string version;  // "1.0"
    std::string library;

    friend bool operator==(const TypeLibraryRegistration&,
                           const TypeLibraryRegistration&) = default;
};

// The component registry: a JSON file, at the place the platform services name, that maps
// programmatic identifiers to classes and their libraries. Every operation reads the file
// anew; changes are written whole through a temporary file, so a reader never sees half a file.
// A damaged file raises "Bad file format" (321) with its path and is never overwritten.
class PLATFORM_API ComponentRegistry {
  public:
    explicit ComponentRegistry(std::filesystem::path file);

    const std::filesystem::path& file() const { return m_file; }

    std::optional<ClassRegistration> FindClass(std::string_view prog_id_or_class_id) const;
    std::vector<ClassRegistration> Classes() const;
    std::vector<TypeLibraryRegistration> TypeLibraries() const;

    // Adds or replaces the entries (by programmatic identifier, by type library id).
    void Register(const std::vector<ClassRegistration>& classes,
                  const TypeLibraryRegistration& type_library);
    // Removes the classes and the type library that the given library serves.
    void Unregister(const std::vector<std::string>& prog_ids, std::string_view type_library_id);

  private:
    std::filesystem::path m_file;
};

// Creates an object by programmatic identifier: looks the class up in the registry of the
// platform services, loads the library named there, asks its DllGetClassObject for the class
// factory and creates through it. Raises "ActiveX component can't create object" (429), naming
// the identifier and the reason, when the class is not registered, the library cannot be loaded
// or does not serve the class.
PLATFORM_API ObjectRef CreateObject(std::string_view prog_id);

// The same, asked for the interface I; raises "Type mismatch" (13) when the object lacks it.
template <class I>
std::shared_ptr<I> CreateObjectAs(std::string_view prog_id) {
    return query_or_raise<I>(CreateObject(prog_id));
}

}  // namespace platform
