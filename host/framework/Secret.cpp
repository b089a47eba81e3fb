#include "host/framework/Secret.h"

#include <sodium.h>

#include <vector>

#include "platform/Error.h"

namespace orvane {

namespace {

void ensure_sodium() {
    // sodium_init may be called from several threads and more than once; -1 means the library
    // could not start (no source of randomness), and no salt could then be drawn.
    if (sodium_init() < 0)
        platform::raise(platform::err::kOutOfMemory, "Cannot start the password hashing library.");
}

}  // namespace

std::string HashSecret(std::string_view secret) {
    ensure_sodium();
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, secret.data(), secret.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
        platform::raise(platform::err::kOutOfMemory, "Cannot hash the secret: out of memory.");
    }
    return hash;
}

bool VerifySecret(const std::string& hash, std::string_view secret) {
    if (hash.empty() || hash.size() >= crypto_pwhash_STRBYTES)
        return false;
    ensure_sodium();
    return crypto_pwhash_str_verify(hash.c_str(), secret.data(), secret.size()) == 0;
}

std::string RandomHex(size_t bytes) {
    ensure_sodium();
    std::vector<unsigned char> random(bytes);
    randombytes_buf(random.data(), random.size());
    std::string hex(bytes * 2 + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), random.data(), random.size());
    hex.pop_back();
    return hex;
}

}  // namespace orvane
