#include "host/cli/Commands.h"

namespace timeclock {

void AddRegisterCommands(CLI::App&, int&) {}

}  // namespace timeclock
