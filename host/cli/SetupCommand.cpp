#include "host/cli/Commands.h"

namespace timeclock {

void AddSetupCommand(CLI::App&, int&) {}

}  // namespace timeclock
