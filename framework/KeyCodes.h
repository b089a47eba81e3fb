#pragma once

#include <cstdint>

// The key codes that keypads give a meaning to, as IKeypadControl::ProcessKeyPress receives them
// (16-bit character codes). Digits and other characters arrive as their own codes.
namespace framework::keys {

inline constexpr int16_t kBackspace = 8;
inline constexpr int16_t kEnter = 13;
// A second code that the value keypads also read as Backspace.
inline constexpr int16_t kBackspaceAlt = 20;
inline constexpr int16_t kEscape = 27;
inline constexpr int16_t kPlus = '+';
inline constexpr int16_t kMinus = '-';
inline constexpr int16_t kSlash = '/';

}  // namespace framework::keys
