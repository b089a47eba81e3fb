#include "platform/Registry.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/ClassFactory.h"
#include "platform/Error.h"
#include "platform/Services.h"
#include "platform/TextScan.h"

namespace platform {

namespace {

using json = nlohmann::json;

constexpr int32_t kPathFileAccessError = 75;

// What the registry file holds.
struct Contents {
    std::vector<ClassRegistration> classes;
    std::vector<TypeLibraryRegistration> type_libraries;
};

[[noreturn]] void bad_registry(const std::filesystem::path& file, const std::string& problem) {
    raise(err::kBadFileFormat, standard_description(err::kBadFileFormat) + ": component registry " +
                                   file.string() + ": " + problem);
}

template <class T>
T member(const json& object, const char* name, const std::filesystem::path& file,
         const std::string& where, T fallback) {
    const auto found = object.find(name);
    if (found == object.end())
        return fallback;
    try {
        return found->get<T>();
    } catch (const json::exception&) {
        bad_registry(file, where + ": \"" + name + "\" has the wrong type");
    }
}

std::string required_text(const json& object, const char* name, const std::filesystem::path& file,
                          const std::string& where) {
    auto text = member<std::string>(object, name, file, where, std::string());
    if (text.empty())
        bad_registry(file, where + " has no \"" + name + "\"");
    return text;
}

// The file's text; none when there is no file yet (nothing is registered).
std::optional<std::string> read_text(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        // The reason is taken at once: another program may rename its new registry into place
        // just after this open found none.
        const int reason = errno;
        if (reason == ENOENT || !std::filesystem::exists(file))
            return std::nullopt;
        raise(kPathFileAccessError, "Path/File access error: component registry " + file.string() +
                                        ": " + std::strerror(reason));
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Contents parse_contents(const std::filesystem::path& file, const std::optional<std::string>& text) {
    if (!text)
        return {};
    json stored;
    try {
        stored = json::parse(*text);
    } catch (const json::exception& error) {
        // Also a number beyond a double's range, which the reader reports as out of range.
        bad_registry(file, std::string("not JSON (") + error.what() + ")");
    }
    if (!stored.is_object())
        bad_registry(file, "not a JSON object");

    Contents contents;
    const auto classes = stored.find("classes");
    if (classes != stored.end()) {
        if (!classes->is_array())
            bad_registry(file, "\"classes\" is not a list");
        for (const auto& item : *classes) {
            const std::string where = "class entry " + std::to_string(contents.classes.size() + 1);
            if (!item.is_object())
                bad_registry(file, where + " is not a JSON object");
            ClassRegistration entry;
            entry.prog_id = required_text(item, "prog_id", file, where);
            entry.class_id = member<std::string>(item, "class_id", file, where, "");
            entry.library = required_text(item, "library", file, where);
            entry.threading = member<std::string>(item, "threading", file, where, "Apartment");
            entry.control = member<bool>(item, "control", file, where, false);
            entry.activate_when_visible =
                member<bool>(item, "activate_when_visible", file, where, false);
            entry.set_client_site_first =
                member<bool>(item, "set_client_site_first", file, where, false);
            entry.simple_frame = member<bool>(item, "simple_frame", file, where, false);
            entry.type_library = member<std::string>(item, "type_library", file, where, "");
            entry.type_library_version =
                member<std::string>(item, "type_library_version", file, where, "");
            contents.classes.push_back(std::move(entry));
        }
    }
    const auto libraries = stored.find("type_libraries");
    if (libraries != stored.end()) {
        if (!libraries->is_array())
            bad_registry(file, "\"type_libraries\" is not a list");
        for (const auto& item : *libraries) {
            const std::string where =
                "type library entry " + std::to_string(contents.type_libraries.size() + 1);
            if (!item.is_object())
                bad_registry(file, where + " is not a JSON object");
            TypeLibraryRegistration entry;
            entry.id = required_text(item, "id", file, where);
            entry.name = member<std::string>(item, "name", file, where, "");
            entry.version = member<std::string>(item, "version", file, where, "");
            entry.library = member<std::string>(item, "library", file, where, "");
            contents.type_libraries.push_back(std::move(entry));
        }
    }
    return contents;
}

Contents read_contents(const std::filesystem::path& file) {
    return parse_contents(file, read_text(file));
}

[[noreturn]] void cannot_write(const std::filesystem::path& file, const std::string& reason) {
    raise(kPathFileAccessError,
          "Path/File access error: component registry " + file.string() + ": " + reason);
}

// Writes the registry whole: into a temporary file beside it, then renamed over it, so that a
// reader sees the old file or the new one and never a part.
void write_contents(const std::filesystem::path& file, const Contents& contents) {
    json classes = json::array();
    for (const auto& entry : contents.classes) {
        classes.push_back({{"prog_id", entry.prog_id},
                           {"class_id", entry.class_id},
                           {"library", entry.library},
                           {"threading", entry.threading},
                           {"control", entry.control},
                           {"activate_when_visible", entry.activate_when_visible},
                           {"set_client_site_first", entry.set_client_site_first},
                           {"simple_frame", entry.simple_frame},
                           {"type_library", entry.type_library},
                           {"type_library_version", entry.type_library_version}});
    }
    json libraries = json::array();
    for (const auto& entry : contents.type_libraries) {
        libraries.push_back({{"id", entry.id},
                             {"name", entry.name},
                             {"version", entry.version},
                             {"library", entry.library}});
    }
    const json stored = {{"classes", classes}, {"type_libraries", libraries}};

    std::error_code error;
    if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), error);
        if (error)
            cannot_write(file, error.message());
    }
    std::filesystem::path temporary = file;
    temporary += ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << stored.dump(2) << '\n';
        out.flush();
        if (!out) {
            std::filesystem::remove(temporary, error);
            cannot_write(file, "cannot write " + temporary.string());
        }
    }
    std::filesystem::rename(temporary, file, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        cannot_write(file, error.message());
    }
}

std::optional<ClassRegistration> find_in(const std::vector<ClassRegistration>& classes,
                                         std::string_view prog_id_or_class_id) {
    for (const auto& entry : classes) {
        if (platform::text::iequals(entry.prog_id, prog_id_or_class_id) ||
            (!entry.class_id.empty() &&
             platform::text::iequals(entry.class_id, prog_id_or_class_id))) {
            return entry;
        }
    }
    return std::nullopt;
}

}  // namespace

ComponentRegistry::ComponentRegistry(std::filesystem::path file) : m_file(std::move(file)) {}

std::optional<ClassRegistration> ComponentRegistry::FindClass(
    std::string_view prog_id_or_class_id) const {
    return find_in(read_contents(m_file).classes, prog_id_or_class_id);
}

std::vector<ClassRegistration> ComponentRegistry::Classes() const {
    return read_contents(m_file).classes;
}

std::vector<TypeLibraryRegistration> ComponentRegistry::TypeLibraries() const {
    return read_contents(m_file).type_libraries;
}

void ComponentRegistry::Register(const std::vector<ClassRegistration>& classes,
                                 const TypeLibraryRegistration& type_library) {
    Contents contents = read_contents(m_file);
    for (const auto& entry : classes) {
        auto it = std::find_if(
            contents.classes.begin(), contents.classes.end(),
            [&](const auto& c) { return platform::text::iequals(c.prog_id, entry.prog_id); });
        if (it != contents.classes.end()) {
            *it = entry;
        } else {
            contents.classes.push_back(entry);
        }
    }
    if (!type_library.id.empty()) {
        auto it = std::find_if(
            contents.type_libraries.begin(), contents.type_libraries.end(),
            [&](const auto& t) { return platform::text::iequals(t.id, type_library.id); });
        if (it != contents.type_libraries.end()) {
            *it = type_library;
        } else {
            contents.type_libraries.push_back(type_library);
        }
    }
    write_contents(m_file, contents);
}

void ComponentRegistry::Unregister(const std::vector<std::string>& prog_ids,
                                   std::string_view type_library_id) {
    if (!std::filesystem::exists(m_file))
        return;
    Contents contents = read_contents(m_file);
    std::erase_if(contents.classes, [&](const ClassRegistration& c) {
        return std::any_of(prog_ids.begin(), prog_ids.end(), [&](const std::string& id) {
            return platform::text::iequals(c.prog_id, id);
        });
    });
    std::erase_if(contents.type_libraries, [&](const TypeLibraryRegistration& t) {
        return !type_library_id.empty() && platform::text::iequals(t.id, type_library_id);
    });
    write_contents(m_file, contents);
}

struct RegistryMemo {
    std::filesystem::path file;
    std::optional<std::string> text;
    std::vector<ClassRegistration> classes;
};

namespace {

// The class as the registry file holds it now. The file is read at every creation, as another
// program may register or unregister at any time, but parsed again only when its text changed.
std::optional<ClassRegistration> find_registered(const std::filesystem::path& file,
                                                 std::string_view prog_id) {
    auto& memo = services().registry_memo();
    auto text = read_text(file);
    if (!memo || memo->file != file || memo->text != text) {
        memo.reset();
        auto classes = parse_contents(file, text).classes;
        memo = std::make_shared<const RegistryMemo>(
            RegistryMemo{file, std::move(text), std::move(classes)});
    }
    return find_in(memo->classes, prog_id);
}

[[noreturn]] void cannot_create(std::string_view prog_id, const std::string& reason) {
    raise(err::kCannotCreateObject, standard_description(err::kCannotCreateObject) + " \"" +
                                        std::string(prog_id) + "\": " + reason);
}

std::string hex_result(int32_t result) {
    std::ostringstream text;
    text << "0x" << std::hex << static_cast<uint32_t>(result);
    return text.str();
}

}  // namespace

ObjectRef CreateObject(std::string_view prog_id) {
    const auto file = services().RegistryFile();
    std::optional<ClassRegistration> entry;
    try {
        entry = find_registered(file, prog_id);
    } catch (const RaisedError& error) {
        cannot_create(prog_id, error.description());
    }
    if (!entry)
        cannot_create(prog_id, "the class is not registered in " + file.string());

    // The library stays loaded for the life of the process: its objects may be held anywhere.
    void* library = ::dlopen(entry->library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        cannot_create(prog_id, std::string("cannot load the library: ") + ::dlerror());
    void* symbol = ::dlsym(library, "DllGetClassObject");
    if (!symbol) {
        cannot_create(prog_id, "the library " + entry->library + " has no DllGetClassObject");
    }
    const auto get_class_object = reinterpret_cast<DllGetClassObjectFn>(symbol);

    const std::string& class_id = entry->class_id.empty() ? entry->prog_id : entry->class_id;
    ClassFactory* factory = nullptr;
    const int32_t result = get_class_object(class_id.c_str(), &factory);
    if (result != hr::kOk || !factory) {
        cannot_create(prog_id, "the library " + entry->library +
                                   " does not serve the class (result " + hex_result(result) + ")");
    }
    ObjectRef object = factory->CreateInstance();
    if (!object)
        cannot_create(prog_id, "the class factory made no object");
    return object;
}

}  // namespace platform
