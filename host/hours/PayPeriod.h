#pragma once

#include <cstdint>

#include "host/hours/PayRules.h"

namespace hours {

// A pay period: its first and last day, days since day zero.
struct PayPeriod {
    int64_t first = 0;
    int64_t last = 0;

    friend bool operator==(const PayPeriod&, const PayPeriod&) = default;
};

// The period of the rules that holds `day`.
PayPeriod PeriodHolding(int64_t day, const PayRules& rules);
// The period just before the one given.
inline PayPeriod PreviousPeriod(const PayPeriod& period, const PayRules& rules) {
    return PeriodHolding(period.first - 1, rules);
}

}  // namespace hours
