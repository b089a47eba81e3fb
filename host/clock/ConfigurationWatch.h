#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "host/clock/Configuration.h"

namespace timeclock {

// The configuration file of a running clock, watched so that `timeclock setup` and the
// administrator's pages reach the clock without a restart: a file whose text differs from the
// text last read is read again, once per change. The text is compared rather than the file's
// time, so that two changes written within one tick of the file system's clock both count.
class ConfigurationWatch {
  public:
    // No file: nothing is watched.
    explicit ConfigurationWatch(std::filesystem::path file = {});

    // The configuration as the file holds it now, when its text changed since the last read;
    // none when it did not (or the file cannot be read). Raises what reading it raises; the
    // change then counts as seen, so a damaged file is reported once.
    std::optional<Configuration> Changed();

  private:
    std::optional<std::string> Text() const;

    std::filesystem::path m_file;
    std::optional<std::string> m_text;
};

}  // namespace timeclock
