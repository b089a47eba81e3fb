#include "entry/DateTimeEntry.h"

namespace stampkind {

std::string DateTimeEntry::FormatDateTime(std::string_view digits, bool is_pm) {
    std::string s(digits.substr(0, kMaxDigits));
    s.resize(kMaxDigits, ' ');

    std::string text;
    text.reserve(18);
    text.append(s, 0, 2).append("/").append(s, 2, 2).append("/").append(s, 4, 2);
    text.append(" ").append(s, 6, 2).append(":").append(s, 8, 2);

    // The hour as a number, blanks skipped; an hour not typed yet counts as 0.
    int hour = 0;
    for (char c : s.substr(6, 2)) {
        if (c != ' ')
            hour = hour * 10 + (c - '0');
    }
    if (hour <= 12)
        text.append(is_pm ? "  PM" : "  AM");
    return text;
}

}  // namespace stampkind
