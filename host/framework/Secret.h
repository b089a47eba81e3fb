#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Api.h"

namespace orvane {

// Slow, salted hashes of the clock's secrets (manager PINs, kiosk keys, the administrator's
// password): Argon2id with libsodium's interactive limits. Only the hash is ever stored; the
// secret itself is never kept, logged or printed. Comparison takes constant time.
//
// The hash is the algorithm's own encoded text ("$argon2id$v=19$m=...,t=...,p=...$salt$hash"),
// so the limits travel with each hash and may be raised later without breaking old ones.

// Hashes a secret. Raises "Out of memory" (7) when the hash cannot be computed.
PLATFORM_API std::string HashSecret(std::string_view secret);

// True when the secret matches a hash made by HashSecret; false for any other secret and for a
// hash that is empty or not of that form.
PLATFORM_API bool VerifySecret(const std::string& hash, std::string_view secret);

// `bytes` random bytes from the system's secure source, in lower-case hex: session tokens and
// the identities of punches. Raises "Out of memory" (7) when the library cannot start.
PLATFORM_API std::string RandomHex(size_t bytes);

}  // namespace orvane
