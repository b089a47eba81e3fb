#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Error.h"

// The number of the error an action raises, 0 when it raises none; the description is kept when
// asked for.
inline int32_t ErrorNumberOf(const std::function<void()>& action,
                             std::string* description = nullptr) {
    try {
        action();
    } catch (const platform::RaisedError& error) {
        if (description)
            *description = error.description();
        return error.number();
    }
    return 0;
}
