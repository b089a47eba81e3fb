#include "common/LiveObjects.h"

#include <atomic>

namespace stampkind {

namespace {

struct Counts {
    std::atomic<long> objects{0};
    std::atomic<long> locks{0};
};

Counts& counts() {
    static Counts instance;
    return instance;
}

}  // namespace

void LiveObjects::Add() {
    ++counts().objects;
}
void LiveObjects::Remove() {
    --counts().objects;
}
void LiveObjects::Lock() {
    ++counts().locks;
}
void LiveObjects::Unlock() {
    // An unlock without a lock is the caller's mistake; the count never goes below zero.
    long locks = counts().locks.load();
    while (locks > 0 && !counts().locks.compare_exchange_weak(locks, locks - 1)) {
    }
}
bool LiveObjects::None() {
    return counts().objects.load() == 0 && counts().locks.load() == 0;
}

}  // namespace stampkind
