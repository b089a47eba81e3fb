#include "host/clock/KioskKeys.h"

#include <cctype>
#include <random>

namespace timeclock {

namespace {

constexpr size_t kLongestKioskName = 40;

// A kiosk's name as it stands in its link: anything but letters, digits and "-_." percent-encoded
// (a name's blanks become %20), as the page's URLSearchParams reads it back.
std::string LinkText(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '_' || c == '.') {
            text += c;
        } else {
            text += '%';
            text += kHex[byte >> 4];
            text += kHex[byte & 0xF];
        }
    }
    return text;
}

}  // namespace

bool IsKioskName(std::string_view name) {
    if (name.empty() || name.size() > kLongestKioskName || name.front() == ' ' ||
        name.back() == ' ')
        return false;
    for (unsigned char c : name) {
        if (!std::isalnum(c) && c != ' ' && c != '-' && c != '_' && c != '.')
            return false;
    }
    return true;
}

std::string NewKioskKey() {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz234567";
    std::random_device random;
    std::string key;
    for (int i = 0; i < 26; ++i)
        key += kAlphabet[random() % 32];
    return key;
}

std::string KioskLink(std::string_view url, std::string_view name, std::string_view key) {
    return std::string(url) + "/kiosk#key=" + std::string(key) + "&kiosk=" + LinkText(name);
}

}  // namespace timeclock
