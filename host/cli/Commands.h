#pragma once

#include <CLI/CLI.hpp>

// The subcommands of the timeclock command. Each adds itself to the application and runs from
// its callback; the exit status it wants is set through the returned reference.
namespace timeclock {

// Exit statuses: 0 the command ran to its end, 1 a raised error ended it, 2 a usage error.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

void AddConvertCommand(CLI::App& app, int& exit_status);
void AddKioskCommand(CLI::App& app, int& exit_status);
void AddPunchCommand(CLI::App& app, int& exit_status);
void AddSetupCommand(CLI::App& app, int& exit_status);
void AddEmployeeCommand(CLI::App& app, int& exit_status);
void AddRegisterCommands(CLI::App& app, int& exit_status);
void AddQueueCommand(CLI::App& app, int& exit_status);
void AddReportCommand(CLI::App& app, int& exit_status);
void AddExportCommand(CLI::App& app, int& exit_status);
void AddAuditCommand(CLI::App& app, int& exit_status);
void AddPunchesCommand(CLI::App& app, int& exit_status);
void AddApproveCommands(CLI::App& app, int& exit_status);
void AddServeCommand(CLI::App& app, int& exit_status);
void AddKioskKeyCommand(CLI::App& app, int& exit_status);
void AddAdminPasswordCommand(CLI::App& app, int& exit_status);
void AddExceptionsCommand(CLI::App& app, int& exit_status);
void AddWhosInCommand(CLI::App& app, int& exit_status);

}  // namespace timeclock
