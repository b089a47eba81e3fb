#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Services.h"

namespace timeclock {

// The platform services of a scripted punch: the real computer's services, except that the
// clock may stand still at a given moment and a pause may be recorded instead of waited. Every
// pause and every message box text is recorded for the punch's report; a message box needs no
// one to close it.
class ScriptedServices final : public platform::Services {
  public:
    ScriptedServices(std::optional<platform::Date> fixed_now, bool wait_on_sleep);

    platform::Date Now() override;
    void Sleep(uint32_t milliseconds) override;
    void DoEvents() override {}
    void MessageBox(std::string_view text) override;
    const platform::RegionalSettings& Regional() const override { return m_system.Regional(); }
    std::filesystem::path RegistryFile() const override { return m_system.RegistryFile(); }

    // The computer's services, whose regional settings the configuration puts in force.
    platform::SystemServices& System() { return m_system; }
    const std::vector<uint32_t>& pauses() const { return m_pauses; }
    const std::vector<std::string>& messages() const { return m_messages; }

  private:
    platform::SystemServices m_system;
    std::optional<platform::Date> m_fixed_now;
    bool m_wait_on_sleep;
    std::vector<uint32_t> m_pauses;
    std::vector<std::string> m_messages;
};

}  // namespace timeclock
