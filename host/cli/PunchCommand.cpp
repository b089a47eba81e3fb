#include "host/cli/Commands.h"

namespace timeclock {

void AddPunchCommand(CLI::App&, int&) {}

}  // namespace timeclock
