#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace timeclock::web {

// One try of a secret: which door (the administrator's password, a kiosk's key), which account
// behind it (the administrator, a kiosk's name) and the client's address.
struct SecretTry {
    std::string door;
    std::string account;
    std::string address;
};

// Keeps the counts of wrong secrets by client address and by account, and says when a client
// must wait before its next try. A try is counted as wrong when it is admitted, before its secret
// is checked, so that tries made at the same moment cannot pass the limit together; a right
// secret then clears the counts. A client with no wrong try of its own is always admitted, so
// that someone else's guessing never locks the right person out.
//
// This is the contract of the keeper; the server keeps its counts in memory (MemoryTryKeeper),
// and a keeper on the clock database can take its place so that the counts outlive a restart.
// Every operation may be called from any thread.
class TryKeeper {
  public:
    using Time = std::chrono::steady_clock::time_point;
    virtual ~TryKeeper() = default;

    // Admits the try and counts it as wrong (none), or says how long the client must still wait.
    virtual std::optional<std::chrono::seconds> Admit(const SecretTry& attempt, Time now) = 0;
    // The admitted try's secret was right: its address and its account start again.
    virtual void Succeeded(const SecretTry& attempt) = 0;
};

}  // namespace timeclock::web
