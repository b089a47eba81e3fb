#pragma once

#include <functional>
#include <string_view>

#include "host/database/ClockDatabase.h"
#include "platform/Date.h"

namespace timeclock {

// When a clock on a server sends the punches it kept while the server was away, and reads every
// employee into its copy. Asked at the idle card prompt only, so that nobody waits for it: now
// and then it sends the kept punches, in order, and then, less often, refreshes the copy; a
// server still away costs one failed connection each time.
class QueueSchedule {
  public:
    static constexpr double kSendEverySeconds = 30;
    // How often a clock whose server answers reads every employee into its copy.
    static constexpr double kRefreshEverySeconds = 300;

    using Log = std::function<void(std::string_view)>;

    // A punch was kept on the clock at `now`: the next try comes one sending interval later.
    void Kept(platform::Date now);
    // The card prompt is idle at `now`. A punch the server refuses for good is kept aside for an
    // administrator (`timeclock queue`) and the others are sent; what the server said goes to the
    // log, never to the person.
    void AtIdlePrompt(orvane::ClockDatabase& database, platform::Date now, const Log& log);

  private:
    platform::Date m_next_send{};
    platform::Date m_next_refresh{};
};

}  // namespace timeclock
