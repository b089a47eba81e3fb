#include "common/LiveObjects.h"

#include <atomic>

namespace stampkind {

namespace {

struct Counts {
    std::atomic<long> objects{0};
    std::atomic<long> locks{0};
};

Counts& AllCounts() {
    static Counts instance;
    return instance;
}

}  // namespace

void LiveObjects::Add() {
    ++AllCounts().objects;
}
void LiveObjects::Remove() {
    --AllCounts().objects;
}
void LiveObjects::Lock() {
    ++AllCounts().locks;
}
void LiveObjects::Unlock() {
    // An unlock without a lock is the caller's mistake; the count never goes below zero.
    long locks = AllCounts().locks.load();
    while (locks > 0 && !AllCounts().locks.compare_exchange_weak(locks, locks - 1)) {
    }
}
bool LiveObjects::None() {
    return AllCounts().objects.load() == 0 && AllCounts().locks.load() == 0;
}

}  // namespace stampkind
