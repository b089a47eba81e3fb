#include "host/cli/Commands.h"

namespace timeclock {

void AddEmployeeCommand(CLI::App&, int&) {}

}  // namespace timeclock
