#pragma once

#include <map>
#include <mutex>
#include <tuple>
#include <utility>

#include "host/web/TryKeeper.h"

namespace timeclock::web {

// The counts of wrong secrets in the server's memory. An address has five free tries at an
// account; each wrong try after them doubles its wait, from 15 seconds up to 15 minutes. An
// account that has had twenty wrong tries in all, from any addresses, makes every address that
// has been wrong at it wait in the same way; an address that has not been wrong still gets its
// try. The counts are bounded: beyond a few thousand addresses the oldest are forgotten.
class MemoryTryKeeper final : public TryKeeper {
  public:
    std::optional<std::chrono::seconds> Admit(const SecretTry& attempt, Time now) override;
    void Succeeded(const SecretTry& attempt) override;

  private:
    struct Count {
        int wrong = 0;
        Time last{};
    };
    using AddressKey = std::tuple<std::string, std::string, std::string>;
    using AccountKey = std::pair<std::string, std::string>;
    template <typename Key>
    static Count& Find(std::map<Key, Count>& counts, const Key& key, Time now);

    std::mutex m_mutex;
    std::map<AddressKey, Count> m_addresses;
    std::map<AccountKey, Count> m_accounts;
};

}  // namespace timeclock::web
