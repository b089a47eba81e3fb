#include <cstdint>

#include "platform/ClassFactory.h"

extern "C" {
__attribute__((visibility("default"))) int32_t DllRegisterServer() { return platform::hr::kFail; }
__attribute__((visibility("default"))) int32_t DllUnregisterServer() { return platform::hr::kFail; }
__attribute__((visibility("default"))) int32_t DllGetClassObject(const char*,
                                                                 platform::ClassFactory**) {
    return platform::hr::kClassNotAvailable;
}
__attribute__((visibility("default"))) int32_t DllCanUnloadNow() { return platform::hr::kOk; }
}
