#include "host/clock/ConfigurationWatch.h"

#include <system_error>

namespace timeclock {

ConfigurationWatch::ConfigurationWatch(std::filesystem::path file) : m_file(std::move(file)) {
    std::error_code ec;
    if (!m_file.empty())
        m_time = std::filesystem::last_write_time(m_file, ec);
}

std::optional<Configuration> ConfigurationWatch::Changed() {
    if (m_file.empty())
        return std::nullopt;
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(m_file, ec);
    if (ec || time == m_time)
        return std::nullopt;
    m_time = time;
    return Configuration::Load(m_file);
}

}  // namespace timeclock
