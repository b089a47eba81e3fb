#include "host/web/DatabaseTryKeeper.h"

#include <algorithm>

#include "host/database/ClockDatabase.h"
#include "platform/Error.h"

namespace timeclock::web {

namespace {

using Days = std::chrono::duration<double, std::ratio<86400>>;

// Counts whose last wrong try is older than this are forgotten, once an hour, so that addresses
// seen once do not fill the table.
constexpr auto kRemembered = std::chrono::hours(24);
constexpr auto kForgettingInterval = std::chrono::hours(1);

}  // namespace

DatabaseTryKeeper::DatabaseTryKeeper(Open open, Log log, Time steady_now, platform::Date clock_now)
    : m_open(std::move(open)),
      m_log(std::move(log)),
      m_steady_then(steady_now),
      m_clock_then(clock_now) {}

DatabaseTryKeeper::~DatabaseTryKeeper() = default;

orvane::ClockDatabase* DatabaseTryKeeper::Database() {
    if (!m_database) {
        try {
            m_database = m_open();
        } catch (const platform::RaisedError& error) {
            Lost(error.description());
        }
    }
    return m_database.get();
}

void DatabaseTryKeeper::Lost(const std::string& cause) {
    if (!m_lost)
        m_log(
            "cannot keep the wrong tries of secrets in the clock database; they are counted in "
            "memory until it answers: " +
            cause);
    m_lost = true;
    m_database.reset();
}

platform::Date DatabaseTryKeeper::DateOf(Time moment) const {
    return platform::Date{m_clock_then.days + Days(moment - m_steady_then).count()};
}

TryKeeper::Count DatabaseTryKeeper::CountOf(int64_t wrong, platform::Date last, Time now) const {
    // To the millisecond: a moment kept in days carries a few nanoseconds of rounding.
    const auto since_then =
        std::chrono::round<std::chrono::milliseconds>(Days(last.days - m_clock_then.days));
    return {wrong, std::min(now, m_steady_then + since_then)};
}

std::optional<std::chrono::seconds> DatabaseTryKeeper::Admit(const SecretTry& attempt, Time now) {
    std::lock_guard lock(m_mutex);
    if (auto* database = Database()) {
        try {
            if (now >= m_next_forgetting) {
                database->ForgetSecretTries(DateOf(now - kRemembered));
                m_next_forgetting = now + kForgettingInterval;
            }
            std::optional<std::chrono::seconds> wait;
            database->CountSecretTry(attempt.door, attempt.account, attempt.address, DateOf(now),
                                     [&](const auto& address, const auto& account) {
                                         wait = WaitBefore(
                                             CountOf(address.wrong, address.last, now),
                                             CountOf(account.wrong, account.last, now), now);
                                         return !wait;
                                     });
            m_lost = false;
            return wait;
        } catch (const platform::RaisedError& error) {
            Lost(error.description());
        }
    }
    return m_away.Admit(attempt, now);
}

void DatabaseTryKeeper::Succeeded(const SecretTry& attempt) {
    std::lock_guard lock(m_mutex);
    m_away.Succeeded(attempt);
    if (auto* database = Database()) {
        try {
            database->ClearSecretTries(attempt.door, attempt.account, attempt.address);
        } catch (const platform::RaisedError& error) {
            Lost(error.description());
        }
    }
}

}  // namespace timeclock::web
