#include "host/web/MemoryTryKeeper.h"

#include <algorithm>

namespace timeclock::web {

namespace {

constexpr int kFreeTries = 5;
constexpr int kFreeAccountTries = 20;
constexpr auto kFirstWait = std::chrono::seconds(15);
constexpr auto kLongestWait = std::chrono::seconds(900);
constexpr size_t kMostCounts = 4096;

// How long after its last wrong try a count of `wrong` tries must wait; zero within the free ones.
std::chrono::seconds Wait(int wrong, int free) {
    if (wrong < free)
        return std::chrono::seconds(0);
    return std::min<std::chrono::seconds>(kLongestWait,
                                          kFirstWait * (1 << std::min(wrong - free, 6)));
}

// What is left of the wait of `count`; none when it is over.
std::optional<std::chrono::seconds> Remaining(const auto& count, int free, auto now) {
    const auto until = count.last + Wait(count.wrong, free);
    if (count.wrong < free || now >= until)
        return std::nullopt;
    return std::chrono::ceil<std::chrono::seconds>(until - now);
}

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
    if (const auto wait = Remaining(address, kFreeTries, now))
        return wait;
    if (address.wrong > 0) {
        if (const auto wait = Remaining(account, kFreeAccountTries, now))
            return wait;
    }
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
