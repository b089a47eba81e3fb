#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/Api.h"

namespace platform {

// Error numbers of the platform that the component and the host raise.
namespace err {
inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kBadFileFormat = 321;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kCannotCreateObject = 429;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kObjectVariableNotSet = 91;
inline constexpr int32_t kKeyAlreadyAssociated = 457;
inline constexpr int32_t kPropertyNotFound = 423;
// Errors of the host's framework library and database start here.
inline constexpr int32_t kHostBase = 3000;
}  // namespace err

// A raised error: the platform's error number and its description. It travels to the caller,
// who either handles it where the behaviour says so or lets it go further up.
class PLATFORM_API RaisedError : public std::runtime_error {
  public:
    RaisedError(int32_t number, std::string description);

    int32_t number() const noexcept { return m_number; }
    const std::string& description() const noexcept { return m_description; }

  private:
    int32_t m_number;
    std::string m_description;
};

// Raises an error with the given number and description.
[[noreturn]] PLATFORM_API void raise(int32_t number, std::string description);
// Raises one of the platform's own errors with its standard description.
[[noreturn]] PLATFORM_API void raise(int32_t number);

// The platform's standard description of an error number ("Type mismatch" for 13).
PLATFORM_API std::string standard_description(int32_t number);

}  // namespace platform
