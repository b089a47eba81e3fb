// A minimal host of the "Punch Entry" step: registers the installed component when the registry
// lacks it, creates the step and its keypad by programmatic identifier, types the keys given on
// the command line into the keypad and prints the records the step writes.
//
//   minimal-host 1 ENTER          an in punch (ENTER, ESC and BS name keys; other words are typed)
//
// The registry is the platform's: $STAMPKIND_REGISTRY, or ~/.local/share/stampkind/registry.json.
#include <dlfcn.h>

#include <cstdint>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "framework/IKeypadControl.h"
#include "framework/IStep.h"
#include "framework/Version.h"
#include "host/framework/PunchDateTime.h"
#include "host/framework/PunchRecord.h"
#include "host/framework/RecordNameList.h"
#include "host/framework/RecordingDisplay.h"
#include "host/framework/StepSequence.h"
#include "platform/Error.h"
#include "platform/Events.h"
#include "platform/PropertyBag.h"
#include "platform/Registry.h"
#include "platform/Services.h"

namespace {

// Records the component's classes by calling its DllRegisterServer, as `timeclock register` does.
void RegisterComponent(const char* library_file) {
    platform::ComponentRegistry registry(platform::services().RegistryFile());
    if (registry.FindClass("Stampkind.clsStep"))
        return;
    void* library = dlopen(library_file, RTLD_NOW | RTLD_LOCAL);
    auto* entry =
        library ? reinterpret_cast<int32_t (*)()>(dlsym(library, "DllRegisterServer")) : nullptr;
    const int32_t result = entry ? entry() : -1;
    if (library)
        dlclose(library);
    if (result != 0)
        throw std::runtime_error(std::string("cannot register ") + library_file);
}

// One record as "name: field=value, ..." in write order; the punch's own record is unnamed.
void PrintRecord(const orvane::PunchRecord& record) {
    std::cout << (record.Name().empty() ? "(punch)" : record.Name()) << ':';
    for (const auto& [field, value] : record.writes())
        std::cout << ' ' << field << '=' << value.to_text();
    std::cout << '\n';
}

}  // namespace

int main(int argc, char** argv) try {
    std::cout << "Stampkind " << STAMPKIND_VERSION << '\n';
    RegisterComponent(STAMPKIND_COMPONENT_LIBRARY);

    // The step, new with its default settings, in a sequence of its own.
    auto step = platform::CreateObjectAs<framework::IStep>("Stampkind.clsStep");
    platform::query_or_raise<platform::Persistable>(step)->InitProperties();
    auto steps = std::make_shared<orvane::StepSequence>();
    steps->Append("Punch Entry", step);
    step->AttachDateTime(std::make_shared<orvane::PunchDateTime>(platform::services().Now()));

    // Its keypad, created by the identifier the step names, drawn on a display that records.
    auto keypad = platform::CreateObjectAs<framework::IKeypadControl>(step->KeypadControlID());
    bool finished = false;
    platform::query_or_raise<platform::EventSource>(keypad)->Connect(
        "Finished", [&finished] { finished = true; });
    auto display = std::make_shared<orvane::RecordingDisplay>();
    keypad->Attach(step, display);
    keypad->Reset();

    for (int i = 1; i < argc && !finished; ++i) {
        const std::string word = argv[i];
        if (word == "ENTER" || word == "ESC" || word == "BS") {
            keypad->ProcessKeyPress(word == "ENTER" ? 13 : word == "ESC" ? 27 : 8);
            continue;
        }
        for (char c : word)
            keypad->ProcessKeyPress(static_cast<int16_t>(static_cast<unsigned char>(c)));
    }
    if (!finished || !framework::FromVBool(step->IsValid())) {
        std::cout << "no punch chosen; the display showed:\n";
        for (const auto& [operation, argument] : display->calls())
            std::cout << "  " << operation << ' ' << argument << '\n';
        return 1;
    }

    // The punch's own record, then each extra record the step asks for.
    auto names = std::make_shared<orvane::RecordNameList>();
    step->RegisterRecordNames(names);
    auto own = std::make_shared<orvane::PunchRecord>("");
    step->WriteValue(steps, "", own);
    PrintRecord(*own);
    for (const auto& name : names->names()) {
        auto extra = std::make_shared<orvane::PunchRecord>(name);
        step->WriteValue(steps, name, extra);
        PrintRecord(*extra);
    }
    return 0;
} catch (const platform::RaisedError& error) {
    std::cerr << "error " << error.number() << ": " << error.description() << '\n';
    return 1;
} catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
}
