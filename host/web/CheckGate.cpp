#include "host/web/CheckGate.h"

namespace timeclock::web {

std::optional<CheckGate::Pass> CheckGate::Enter() {
    std::unique_lock lock(m_mutex);
    if (m_closed || (m_running >= m_running_limit && m_waiting >= m_waiting_limit))
        return std::nullopt;
    ++m_waiting;
    m_turn.wait(lock, [this] { return m_closed || m_running < m_running_limit; });
    --m_waiting;
    if (m_closed)
        return std::nullopt;
    ++m_running;
    return std::optional<Pass>(std::in_place, *this);
}

void CheckGate::Close() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    m_turn.notify_all();
}

int CheckGate::Waiting() {
    std::lock_guard lock(m_mutex);
    return m_waiting;
}

void CheckGate::Leave() {
    {
        std::lock_guard lock(m_mutex);
        --m_running;
    }
    m_turn.notify_one();
}

}  // namespace timeclock::web
