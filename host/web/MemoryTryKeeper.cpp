#include "host/web/MemoryTryKeeper.h"

#include <algorithm>

namespace timeclock::web {

namespace {

constexpr size_t kMostCounts = 4096;

}  // namespace

template <typename Key>
MemoryTryKeeper::Count& MemoryTryKeeper::Find(std::map<Key, Count>& counts, const Key& key,
                                              Time now) {
    if (counts.size() >= kMostCounts && !counts.contains(key)) {
        // Counts whose longest wait is over say nothing any more; failing that, the oldest goes.
        std::erase_if(counts,
                      [&](const auto& entry) { return now - entry.second.last > kLongestWait; });
        if (counts.size() >= kMostCounts)
            counts.erase(std::min_element(
                counts.begin(), counts.end(),
                [](const auto& a, const auto& b) { return a.second.last < b.second.last; }));
    }
    return counts[key];
}

std::optional<std::chrono::seconds> MemoryTryKeeper::Admit(const SecretTry& attempt, Time now) {
    std::lock_guard lock(m_mutex);
    auto& address = Find(m_addresses, {attempt.door, attempt.account, attempt.address}, now);
    auto& account = Find(m_accounts, {attempt.door, attempt.account}, now);
    if (const auto wait = WaitBefore(address, account, now))
        return wait;
    for (auto* count : {&address, &account}) {
        ++count->wrong;
        count->last = now;
    }
    return std::nullopt;
}

void MemoryTryKeeper::Succeeded(const SecretTry& attempt) {
    std::lock_guard lock(m_mutex);
    m_addresses.erase({attempt.door, attempt.account, attempt.address});
    m_accounts.erase({attempt.door, attempt.account});
}

}  // namespace timeclock::web
