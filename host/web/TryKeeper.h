#pragma once

#include <chrono>
#include <cstdint>
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
// The server keeps its counts in the clock database (DatabaseTryKeeper), so that they outlive a
// restart and every server on the database shares them; MemoryTryKeeper keeps them in memory.
// Every operation may be called from any thread.
class TryKeeper {
  public:
    using Time = std::chrono::steady_clock::time_point;
    virtual ~TryKeeper() = default;

    // Admits the try and counts it as wrong (none), or says how long the client must still wait.
    virtual std::optional<std::chrono::seconds> Admit(const SecretTry& attempt, Time now) = 0;
    // The admitted try's secret was right: its address and its account start again.
    virtual void Succeeded(const SecretTry& attempt) = 0;

  protected:
    // A count of wrong tries and the moment of the last.
    struct Count {
        int64_t wrong = 0;
        Time last{};
    };
    // The rule of every keeper. An address has five free tries at an account; each wrong try
    // after them doubles its wait, from 15 seconds up to 15 minutes. An account that has had
    // twenty wrong tries in all, from any addresses, makes every address that has been wrong at
    // it wait in the same way; an address that has not been wrong still gets its try. None: the
    // try is admitted, and the keeper counts it.
    static std::optional<std::chrono::seconds> WaitBefore(const Count& address,
                                                          const Count& account, Time now);
    static constexpr auto kLongestWait = std::chrono::seconds(900);
};

}  // namespace timeclock::web
