#pragma once

#include <cstdint>

namespace framework {

// A boolean as it crosses a host interface: 16 bits, -1 for true and 0 for false.
enum class VBool : int16_t { False = 0, True = -1 };

constexpr VBool ToVBool(bool value) {
    return value ? VBool::True : VBool::False;
}
// Any value other than 0 counts as true, as the platform reads a boolean.
constexpr bool FromVBool(VBool value) {
    return value != VBool::False;
}

}  // namespace framework
