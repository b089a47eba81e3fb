#include <iostream>

#include "framework/Version.h"
#include "host/cli/Commands.h"

int main(int argc, char** argv) {
    CLI::App app{"timeclock: the Stampkind time clock"};
    app.set_version_flag("--version", "timeclock " STAMPKIND_VERSION,
                         "Prints the version of the time clock and exits");
    app.require_subcommand(1);
    int exit_status = timeclock::kExitOk;
    timeclock::AddConvertCommand(app, exit_status);
    timeclock::AddKioskCommand(app, exit_status);
    timeclock::AddPunchCommand(app, exit_status);
    timeclock::AddSetupCommand(app, exit_status);
    timeclock::AddEmployeeCommand(app, exit_status);
    timeclock::AddRegisterCommands(app, exit_status);
    timeclock::AddQueueCommand(app, exit_status);
    timeclock::AddReportCommand(app, exit_status);
    timeclock::AddExportCommand(app, exit_status);
    timeclock::AddAuditCommand(app, exit_status);
    timeclock::AddPunchesCommand(app, exit_status);
    timeclock::AddApproveCommands(app, exit_status);
    timeclock::AddServeCommand(app, exit_status);
    timeclock::AddKioskKeyCommand(app, exit_status);
    timeclock::AddAdminPasswordCommand(app, exit_status);
    timeclock::AddExceptionsCommand(app, exit_status);
    timeclock::AddWhosInCommand(app, exit_status);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return timeclock::kExitUsage;
    }
    return exit_status;
}
