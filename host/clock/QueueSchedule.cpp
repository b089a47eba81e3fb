#include "host/clock/QueueSchedule.h"

#include <string>

#include "platform/Error.h"

namespace timeclock {

namespace {

platform::Date After(platform::Date moment, double seconds) {
    return platform::Date{moment.days + seconds / 86400.0};
}

}  // namespace

void QueueSchedule::Kept(platform::Date now) {
    m_next_send = After(now, kSendEverySeconds);
}

void QueueSchedule::AtIdlePrompt(orvane::ClockDatabase& database, platform::Date now,
                                 const Log& log) {
    if (now.days < m_next_send.days)
        return;
    m_next_send = After(now, kSendEverySeconds);
    try {
        const auto report = database.SendQueued();
        for (const auto& refused : report.set_aside)
            log(refused);
        if (report.sent > 0) {
            log(std::to_string(report.sent) + " punch(es) kept on this clock sent; " +
                std::to_string(report.waiting) + " waiting");
        }
        if (report.waiting == 0 && now.days >= m_next_refresh.days && database.RefreshLocalCopy())
            m_next_refresh = After(now, kRefreshEverySeconds);
    } catch (const platform::RaisedError& error) {
        log("Error " + std::to_string(error.number()) + ": " + error.description());
    }
}

}  // namespace timeclock
