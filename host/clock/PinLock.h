#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "platform/Date.h"

namespace timeclock {

// The lockout of manager cards at a clock: five wrong PINs in a row lock a card for five
// minutes; a right PIN starts the count again. Time comes from the caller (the clock's own
// time), so the policy is tested without waiting. It checks no PIN itself.
class PinLock {
  public:
    static constexpr int kTries = 5;
    static constexpr int kLockSeconds = 5 * 60;

    // Until when the card is locked at `now`; none when it is not.
    std::optional<platform::Date> LockedUntil(int32_t card, platform::Date now) const;
    // Counts a wrong PIN; answers the end of the lock when this one locks the card.
    std::optional<platform::Date> Wrong(int32_t card, platform::Date now);
    void Right(int32_t card) { m_wrong.erase(card); }

  private:
    std::map<int32_t, int> m_wrong;
    std::map<int32_t, platform::Date> m_until;
};

}  // namespace timeclock
