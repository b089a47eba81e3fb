#include "host/web/TryKeeper.h"

#include <algorithm>

namespace timeclock::web {

namespace {

constexpr int64_t kFreeTries = 5;
constexpr int64_t kFreeAccountTries = 20;
constexpr auto kFirstWait = std::chrono::seconds(15);

// What is left of the wait after `count`'s last wrong try; none when it is over or when the
// count is still within its free tries. Each wrong try past them doubles the wait.
std::optional<std::chrono::seconds> Remaining(const auto& count, int64_t free, auto now,
                                              std::chrono::seconds longest) {
    if (count.wrong < free)
        return std::nullopt;
    const auto doublings = static_cast<int>(std::min<int64_t>(count.wrong - free, 6));
    const auto until =
        count.last + std::min<std::chrono::seconds>(longest, kFirstWait * (1 << doublings));
    if (now >= until)
        return std::nullopt;
    return std::chrono::ceil<std::chrono::seconds>(until - now);
}

}  // namespace

std::optional<std::chrono::seconds> TryKeeper::WaitBefore(const Count& address,
                                                          const Count& account, Time now) {
    if (const auto wait = Remaining(address, kFreeTries, now, kLongestWait))
        return wait;
    if (address.wrong > 0)
        return Remaining(account, kFreeAccountTries, now, kLongestWait);
    return std::nullopt;
}

}  // namespace timeclock::web
