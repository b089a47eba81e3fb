#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "platform/Date.h"

namespace orvane {
class ClockDatabase;
}

namespace timeclock {

// The lockout of manager cards: five wrong PINs in a row lock a card for five minutes at every
// clock of the database, and a restart does not clear it; a right PIN starts the count again.
// The counts are the database's. While a clock cannot reach its server, it counts on its own
// until the server answers again. Time comes from the caller (the clock's own time), so the
// policy is tested without waiting. It checks no PIN itself.
class PinLock {
  public:
    static constexpr int kTries = 5;
    static constexpr int kLockSeconds = 5 * 60;

    explicit PinLock(orvane::ClockDatabase& database) : m_database(database) {}

    // Until when the card is locked at `now`; none when it is not.
    std::optional<platform::Date> LockedUntil(int32_t card, platform::Date now) const;
    // Counts a wrong PIN; answers the end of the lock when this one locks the card.
    std::optional<platform::Date> Wrong(int32_t card, platform::Date now);
    void Right(int32_t card);

  private:
    orvane::ClockDatabase& m_database;
    // This clock's own counts, while its server is away.
    std::map<int32_t, int> m_wrong;
    std::map<int32_t, platform::Date> m_until;
};

}  // namespace timeclock
