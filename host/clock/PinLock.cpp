#include "host/clock/PinLock.h"

namespace timeclock {

std::optional<platform::Date> PinLock::LockedUntil(int32_t card, platform::Date now) const {
    const auto it = m_until.find(card);
    if (it == m_until.end() || !(now < it->second))
        return std::nullopt;
    return it->second;
}

std::optional<platform::Date> PinLock::Wrong(int32_t card, platform::Date now) {
    if (++m_wrong[card] < kTries)
        return std::nullopt;
    m_wrong.erase(card);
    const platform::Date until{now.days + kLockSeconds / 86400.0};
    m_until[card] = until;
    return until;
}

}  // namespace timeclock
