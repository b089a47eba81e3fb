#include "host/cli/Commands.h"

namespace timeclock {

void AddKioskCommand(CLI::App&, int&) {}

}  // namespace timeclock
