#include "host/clock/ScriptedServices.h"

namespace timeclock {

ScriptedServices::ScriptedServices(std::optional<platform::Date> fixed_now, bool wait_on_sleep)
    : m_fixed_now(fixed_now), m_wait_on_sleep(wait_on_sleep) {}

platform::Date ScriptedServices::Now() {
    return m_fixed_now ? *m_fixed_now : m_system.Now();
}

void ScriptedServices::Sleep(uint32_t milliseconds) {
    m_pauses.push_back(milliseconds);
    if (m_wait_on_sleep)
        m_system.Sleep(milliseconds);
}

void ScriptedServices::MessageBox(std::string_view text) {
    m_messages.emplace_back(text);
}

}  // namespace timeclock
