// Reads arbitrary bytes as the clock's configuration file. A file that does not read raises
// "Bad file format" (321) and nothing else, and stays as it was so that an administrator can
// repair it. A file that reads saves to a file that reads back to the same configuration: the
// database, the button colour, the database wait, the steps and the step's saved settings. When the
// saved step can be created (a damaged one may raise an error, which the clock shows), the step
// stored again and saved restores once more, and the file it saves is the same.
//
// The step is created as the clock creates it: through the component registry, from the
// component library built beside this program, registered in a registry of a per-process temp
// folder.
#include <dlfcn.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "framework/IPropertyPage.h"
#include "host/clock/ComponentLibrary.h"
#include "host/clock/Configuration.h"
#include "platform/Error.h"
#include "platform/FakeServices.h"
#include "platform/Registry.h"
#include "platform/Services.h"

namespace {

namespace fs = std::filesystem;
using timeclock::Configuration;

[[noreturn]] void Fault() {
    std::abort();
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& file, std::string_view text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out)
        Fault();
}

// The folder of this process's files, removed when the process ends normally.
struct Folder {
    Folder()
        : path(fs::temp_directory_path() / ("stampkind-fuzz-config-" + std::to_string(getpid()))) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

struct Fixture {
    Fixture() {
        fake.registry_file = folder.path / "registry.json";
        const auto library = timeclock::ComponentLibrary::BesideProgram();
        // Loaded for the life of the process before registering (which loads and unloads it):
        // the fuzzer keeps counting coverage in the library's memory.
        if (!dlopen(library.file().c_str(), RTLD_NOW | RTLD_GLOBAL))
            Fault();
        library.Register();
    }
    Folder folder;
    platform::FakeServices fake;
    platform::ServicesScope scope{fake};
};

Fixture& Setup() {
    static Fixture fixture;
    return fixture;
}

// The same configuration: the public parts compared, the step's saved settings by the files
// both save to.
void ExpectSame(const Configuration& a, const Configuration& b, const fs::path& folder) {
    if (a.database != b.database || a.button_color != b.button_color ||
        a.database_wait != b.database_wait || a.steps != b.steps) {
        Fault();
    }
    a.Save(folder / "a.json");
    b.Save(folder / "b.json");
    if (ReadFile(folder / "a.json") != ReadFile(folder / "b.json"))
        Fault();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path& folder = Setup().folder.path;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const fs::path file = folder / "timeclock.json";
    WriteFile(file, text);

    Configuration config;
    try {
        config = Configuration::Load(file);
    } catch (const platform::RaisedError& error) {
        if (error.number() != platform::err::kBadFileFormat)
            Fault();
        if (ReadFile(file) != text)
            Fault();  // a file that does not read was changed
        return 0;
    }

    const fs::path saved = folder / "saved.json";
    config.Save(saved);
    Configuration again;
    try {
        again = Configuration::Load(saved);
    } catch (const platform::RaisedError&) {
        Fault();  // the clock saved a file it cannot read
    }
    ExpectSame(config, again, folder);

    std::shared_ptr<framework::IStep> step;
    try {
        step = config.CreateStep();
    } catch (const platform::RaisedError&) {
        return 0;  // a saved step that cannot be restored; the clock shows the error
    }
    if (!step)
        Fault();
    try {
        config.StoreStep(step);
        config.Save(saved);
        Configuration stored = Configuration::Load(saved);
        const auto restored = stored.CreateStep();
        stored.StoreStep(restored);
        ExpectSame(config, stored, folder);
    } catch (const platform::RaisedError&) {
        Fault();  // a step the clock stored does not restore
    }

    // The setup page shows the settings (settings of the wrong kind may be refused with an
    // error) and applies them unchanged; the step then saves and restores as before.
    std::shared_ptr<framework::IPropertyPage> page;
    try {
        page = platform::CreateObjectAs<framework::IPropertyPage>(step->PropertyPageID());
        page->AttachStep(step);
    } catch (const platform::RaisedError&) {
        return 0;
    }
    try {
        page->ApplyChanges();
        config.StoreStep(step);
        config.Save(saved);
        Configuration stored = Configuration::Load(saved);
        stored.StoreStep(stored.CreateStep());
        ExpectSame(config, stored, folder);
    } catch (const platform::RaisedError&) {
        Fault();  // the settings the page showed do not apply or do not restore
    }
    return 0;
}
