#pragma once

#include <map>
#include <mutex>
#include <tuple>
#include <utility>

#include "host/web/TryKeeper.h"

namespace timeclock::web {

// The counts of wrong secrets in the server's memory, for tests, benches and a server whose
// database cannot be reached: a restart clears them. The counts are bounded: beyond a few
// thousand addresses the oldest are forgotten.
class MemoryTryKeeper final : public TryKeeper {
  public:
    std::optional<std::chrono::seconds> Admit(const SecretTry& attempt, Time now) override;
    void Succeeded(const SecretTry& attempt) override;

  private:
    using AddressKey = std::tuple<std::string, std::string, std::string>;
    using AccountKey = std::pair<std::string, std::string>;
    template <typename Key>
    static Count& Find(std::map<Key, Count>& counts, const Key& key, Time now);

    std::mutex m_mutex;
    std::map<AddressKey, Count> m_addresses;
    std::map<AccountKey, Count> m_accounts;
};

}  // namespace timeclock::web
