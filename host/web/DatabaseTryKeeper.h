#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "host/web/MemoryTryKeeper.h"
#include "host/web/ServerOptions.h"
#include "host/web/TryKeeper.h"
#include "platform/Date.h"

namespace orvane {
class ClockDatabase;
}

namespace timeclock::web {

// The counts of wrong secrets kept in the clock database, so that a restart keeps them and every
// server on the database shares them. Each try is read, decided and counted in one transaction of
// the database. The database is opened at the first try; while it cannot be reached, the tries
// are counted in memory and the cause is logged once.
//
// The database keeps moments of the computer's clock; the server's tries come with moments of a
// steady clock. The two are tied once, when the keeper is made, so that a clock set back or
// forward while the server runs changes no wait; a moment kept by a server before a restart that
// lies ahead of now counts as now.
class DatabaseTryKeeper final : public TryKeeper {
  public:
    using Open = std::function<std::unique_ptr<orvane::ClockDatabase>()>;

    // `steady_now` and `clock_now` are the same moment on either clock.
    DatabaseTryKeeper(Open open, Log log, Time steady_now, platform::Date clock_now);
    ~DatabaseTryKeeper() override;

    std::optional<std::chrono::seconds> Admit(const SecretTry& attempt, Time now) override;
    void Succeeded(const SecretTry& attempt) override;

  private:
    // The open database; none when it cannot be opened now. Called under `m_mutex`.
    orvane::ClockDatabase* Database();
    // Logs the first failure of an outage and lets the next try open the database anew.
    void Lost(const std::string& cause);
    platform::Date DateOf(Time moment) const;
    Count CountOf(int64_t wrong, platform::Date last, Time now) const;

    Open m_open;
    Log m_log;
    const Time m_steady_then;
    const platform::Date m_clock_then;
    std::mutex m_mutex;
    std::unique_ptr<orvane::ClockDatabase> m_database;
    bool m_lost = false;
    Time m_next_forgetting{};
    MemoryTryKeeper m_away;
};

}  // namespace timeclock::web
