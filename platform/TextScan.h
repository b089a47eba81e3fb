#pragma once

// Character tests shared by the readers of date and number text. The platform reads ASCII
// letters, digits and blanks only; other bytes (UTF-8 included) are never part of a number or a
// date, so no locale is consulted.

#include <string>
#include <string_view>

namespace platform::text {

inline bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
inline bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
inline bool is_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline char to_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline char to_upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
// The text with its ASCII letters in upper case; other bytes unchanged.
inline std::string to_upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        c = to_upper(c);
    return upper;
}

// True when the texts are equal once their ASCII letters are in one case, as the platform
// compares names.
inline bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (to_lower(a[i]) != to_lower(b[i])) {
            return false;
        }
    }
    return true;
}

inline std::string_view trim_blanks(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace platform::text
