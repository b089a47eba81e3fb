#include "host/clock/PinLock.h"

#include "host/database/ClockDatabase.h"
#include "host/database/DatabaseError.h"
#include "platform/Error.h"

namespace timeclock {

namespace {

constexpr double kLockDays = PinLock::kLockSeconds / 86400.0;

// Runs `shared` on the database; runs `own` instead when the server cannot be reached.
template <class Shared, class Own>
auto SharedOrOwn(Shared&& shared, Own&& own) {
    try {
        return shared();
    } catch (const platform::RaisedError& error) {
        if (error.number() != orvane::dberr::kConnectionFailed)
            throw;
        return own();
    }
}

}  // namespace

std::optional<platform::Date> PinLock::LockedUntil(int32_t card, platform::Date now) const {
    return SharedOrOwn([&] { return m_database.PinLockedUntil(card, now); },
                       [&]() -> std::optional<platform::Date> {
                           const auto it = m_until.find(card);
                           if (it == m_until.end() || !(now < it->second))
                               return std::nullopt;
                           return it->second;
                       });
}

std::optional<platform::Date> PinLock::Wrong(int32_t card, platform::Date now) {
    return SharedOrOwn([&] { return m_database.CountWrongPin(card, now, kTries, kLockDays); },
                       [&]() -> std::optional<platform::Date> {
                           if (++m_wrong[card] < kTries)
                               return std::nullopt;
                           m_wrong.erase(card);
                           const platform::Date until{now.days + kLockDays};
                           m_until[card] = until;
                           return until;
                       });
}

void PinLock::Right(int32_t card) {
    m_wrong.erase(card);
    SharedOrOwn([&] { m_database.ClearWrongPins(card); }, [] {});
}

}  // namespace timeclock
