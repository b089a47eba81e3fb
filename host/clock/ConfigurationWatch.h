#pragma once

#include <filesystem>
#include <optional>

#include "host/clock/Configuration.h"

namespace timeclock {

// The configuration file of a running clock, watched so that `timeclock setup` reaches the clock
// without a restart: a file written since it was last read is read again, once per change.
class ConfigurationWatch {
  public:
    // No file: nothing is watched.
    explicit ConfigurationWatch(std::filesystem::path file = {});

    // The configuration as the file holds it now, when it was written since the last read;
    // none when it was not (or cannot be looked at). Raises what reading it raises; the change
    // then counts as seen, so a damaged file is reported once.
    std::optional<Configuration> Changed();

  private:
    std::filesystem::path m_file;
    std::filesystem::file_time_type m_time{};
};

}  // namespace timeclock
