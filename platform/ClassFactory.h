#pragma once

#include <cstdint>
#include <memory>

#include "platform/Api.h"
#include "platform/Object.h"

namespace platform {

// Result codes of the library entry points (nothing is thrown across them).
namespace hr {
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kFalse = 1;
inline constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t kClassNotAvailable = static_cast<int32_t>(0x80040111u);
inline constexpr int32_t kInvalidArgument = static_cast<int32_t>(0x80070057u);
inline constexpr int32_t kCannotWriteRegistry = static_cast<int32_t>(0x80040201u);
}  // namespace hr

// Creates the objects of one class of a component library. A library hands out its factories
// from DllGetClassObject; the factory lives as long as the library is loaded.
class PLATFORM_API ClassFactory {
  public:
    // A new object of the class; raises a platform error when it cannot be made.
    virtual std::shared_ptr<Object> CreateInstance() = 0;
    // Keeps the library loaded while locked (counts, as the platform does).
    virtual void LockServer(bool lock) = 0;

  protected:
    ~ClassFactory() = default;
};

}  // namespace platform

// The four entry points of an in-process component library, as the platform calls them.
extern "C" {
// Records the library's classes in the component registry; 0 on success.
using DllRegisterServerFn = int32_t (*)();
// Removes them; 0 on success.
using DllUnregisterServerFn = int32_t (*)();
// The class factory of a class named by its class id (or programmatic identifier); 0 on
// success, CLASS_E_CLASSNOTAVAILABLE for a class the library does not have.
using DllGetClassObjectFn = int32_t (*)(const char* class_id, platform::ClassFactory** factory);
// 0 (S_OK) when no object of the library is alive and no factory is locked, 1 (S_FALSE) else.
using DllCanUnloadNowFn = int32_t (*)();
}
