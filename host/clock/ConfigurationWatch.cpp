#include "host/clock/ConfigurationWatch.h"

#include <fstream>
#include <iterator>

namespace timeclock {

ConfigurationWatch::ConfigurationWatch(std::filesystem::path file) : m_file(std::move(file)) {
    m_text = Text();
}

std::optional<std::string> ConfigurationWatch::Text() const {
    if (m_file.empty())
        return std::nullopt;
    std::ifstream in(m_file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return text;
}

std::optional<Configuration> ConfigurationWatch::Changed() {
    auto text = Text();
    if (!text || text == m_text)
        return std::nullopt;
    m_text = std::move(text);
    return Configuration::Load(m_file);
}

}  // namespace timeclock
