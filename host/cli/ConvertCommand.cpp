#include "host/cli/Commands.h"

namespace timeclock {

void AddConvertCommand(CLI::App&, int&) {}

}  // namespace timeclock
