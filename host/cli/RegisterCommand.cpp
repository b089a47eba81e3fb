#include <iostream>

#include "host/cli/CommandSupport.h"
#include "host/cli/Commands.h"
#include "host/clock/ComponentLibrary.h"
#include "platform/Services.h"

namespace timeclock {

namespace {

void AddEntryPointCommand(CLI::App& app, int& exit_status, const char* name, const char* help,
                          bool do_register) {
    auto* command = app.add_subcommand(name, help);
    command->callback([&exit_status, do_register] {
        const auto library = ComponentLibrary::BesideProgram();
        try {
            do_register ? library.Register() : library.Unregister();
            std::cout << (do_register ? "Registered " : "Unregistered ") << library.file().string()
                      << (do_register ? " in " : " from ")
                      << platform::services().RegistryFile().string() << '\n';
            exit_status = kExitOk;
        } catch (const platform::RaisedError& error) {
            PrintError(error);
            exit_status = kExitError;
        }
    });
}

}  // namespace

void AddRegisterCommands(CLI::App& app, int& exit_status) {
    AddEntryPointCommand(app, exit_status, "register",
                         "Records the component library's classes in the component registry", true);
    AddEntryPointCommand(app, exit_status, "unregister",
                         "Removes the component library's classes from the component registry",
                         false);
}

}  // namespace timeclock
