#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/Convert.h"
#include "platform/Error.h"
#include "platform/TextScan.h"

namespace platform {

using text::is_blank;
using text::is_digit;
using text::to_lower;
using text::trim_blanks;

namespace {

// The decimal digits of a magnitude at fifteen significant digits (the precision the platform
// shows), as a digit string and the power of ten of its first digit.
struct Decimal {
    std::string digits;  // no leading zeros unless the value is zero ("0")
    int exponent = 0;    // value = 0.d1d2d3... * 10^(exponent)
};

Decimal to_decimal(double magnitude) {
    Decimal result;
    if (magnitude == 0.0 || !std::isfinite(magnitude)) {
        result.digits = "0";
        result.exponent = 1;
        return result;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", magnitude);
    // d.dddddddddddddde[+-]xx
    std::string_view text(buffer);
    const size_t e = text.find('e');
    for (size_t i = 0; i < e; ++i) {
        if (is_digit(text[i])) {
            result.digits.push_back(text[i]);
        }
    }
    int exp10 = 0;
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    exp10);
    result.exponent = exp10 + 1;
    return result;
}

// The integer digits and `decimals` fraction digits of a magnitude, rounded half away from zero
// on its decimal digits.
void round_decimal(double magnitude, int decimals, std::string& integer, std::string& fraction) {
    const Decimal d = to_decimal(magnitude);
    // Place the digits on a fixed grid: positions before the point, then after it.
    std::string grid;
    int point = 0;  // digits before the point in the grid
    if (d.exponent > 0) {
        grid = d.digits;
        if (static_cast<int>(grid.size()) < d.exponent) {
            grid.append(static_cast<size_t>(d.exponent) - grid.size(), '0');
        }
        point = d.exponent;
    } else {
        grid = std::string(static_cast<size_t>(-d.exponent), '0') + d.digits;
        point = 0;
    }
    const size_t keep = static_cast<size_t>(point + decimals);
    if (grid.size() < keep) {
        grid.append(keep - grid.size(), '0');
    }
    const bool round_up = grid.size() > keep && grid[keep] >= '5';
    grid.resize(keep);
    if (round_up) {
        int i = static_cast<int>(keep) - 1;
        while (i >= 0 && grid[static_cast<size_t>(i)] == '9') {
            grid[static_cast<size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++grid[static_cast<size_t>(i)];
        } else {
            grid.insert(grid.begin(), '1');
            ++point;
        }
    }
    integer = grid.substr(0, static_cast<size_t>(point));
    fraction = grid.substr(static_cast<size_t>(point));
    const size_t first = integer.find_first_not_of('0');
    integer = first == std::string::npos ? "" : integer.substr(first);
}

std::vector<std::string_view> split_sections(std::string_view format) {
    std::vector<std::string_view> sections;
    size_t start = 0;
    bool quoted = false;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '"') {
            quoted = !quoted;
        } else if (format[i] == '\\') {
            ++i;
        } else if (format[i] == ';' && !quoted) {
            sections.push_back(format.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(format.substr(start));
    return sections;
}

// One element of a number format: a digit placeholder ('0' or '#'), the decimal point, or a
// literal text.
struct FormatItem {
    enum Kind { Zero, Digit, Point, Literal } kind;
    std::string text;
};

std::string apply_number_section(double magnitude, std::string_view section, bool negative) {
    std::vector<FormatItem> items;
    bool thousands = false;
    bool percent = false;
    bool seen_point = false;
    for (size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (c == '0' || c == '#') {
            items.push_back({c == '0' ? FormatItem::Zero : FormatItem::Digit, {}});
        } else if (c == '.' && !seen_point) {
            seen_point = true;
            items.push_back({FormatItem::Point, {}});
        } else if (c == ',' && !seen_point) {
            thousands = true;
        } else if (c == '%') {
            percent = true;
            items.push_back({FormatItem::Literal, "%"});
        } else if (c == '\\' && i + 1 < section.size()) {
            items.push_back({FormatItem::Literal, std::string(1, section[++i])});
        } else if (c == '"') {
            const size_t end = section.find('"', i + 1);
            const size_t stop = end == std::string_view::npos ? section.size() : end;
            items.push_back(
                {FormatItem::Literal, std::string(section.substr(i + 1, stop - i - 1))});
            i = stop;
        } else {
            items.push_back({FormatItem::Literal, std::string(1, c)});
        }
    }
    if (percent) {
        magnitude *= 100.0;
    }
    size_t point_at = items.size();
    int decimals = 0;
    int integer_zeros = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].kind == FormatItem::Point) {
            point_at = i;
        } else if (items[i].kind == FormatItem::Zero || items[i].kind == FormatItem::Digit) {
            if (i > point_at) {
                ++decimals;
            } else if (items[i].kind == FormatItem::Zero) {
                ++integer_zeros;
            }
        }
    }
    std::string integer;
    std::string fraction;
    round_decimal(magnitude, decimals, integer, fraction);
    if (static_cast<int>(integer.size()) < integer_zeros) {
        integer.insert(0, static_cast<size_t>(integer_zeros) - integer.size(), '0');
    }
    if (thousands) {
        std::string grouped;
        for (size_t i = 0; i < integer.size(); ++i) {
            if (i > 0 && (integer.size() - i) % 3 == 0) {
                grouped.push_back(',');
            }
            grouped.push_back(integer[i]);
        }
        integer = std::move(grouped);
    }
    // The integer digits fill the placeholders before the point from the right; what does not
    // fit goes to the leftmost placeholder.
    std::vector<std::string> before(point_at);
    size_t remaining = integer.size();
    size_t leftmost = point_at;
    for (size_t i = point_at; i-- > 0;) {
        const FormatItem& item = items[i];
        if (item.kind == FormatItem::Literal) {
            before[i] = item.text;
        } else if (item.kind == FormatItem::Zero || item.kind == FormatItem::Digit) {
            leftmost = i;
            if (remaining > 0) {
                before[i] = integer.substr(remaining - 1, 1);
                --remaining;
            }
        }
    }
    std::string out;
    for (size_t i = 0; i < point_at; ++i) {
        if (i == leftmost && remaining > 0) {
            out += integer.substr(0, remaining);
        }
        out += before[i];
    }
    if (leftmost == point_at) {
        out += integer;  // no placeholder before the point
    }
    if (point_at < items.size()) {
        // Optional trailing digits are dropped when they are zeros.
        size_t shown = fraction.size();
        {
            size_t position = fraction.size();
            for (size_t i = items.size(); i-- > point_at + 1;) {
                if (items[i].kind == FormatItem::Zero) {
                    break;
                }
                if (items[i].kind == FormatItem::Digit) {
                    --position;
                    if (fraction[position] != '0') {
                        break;
                    }
                    shown = position;
                }
            }
        }
        out += '.';
        size_t position = 0;
        for (size_t i = point_at + 1; i < items.size(); ++i) {
            if (items[i].kind == FormatItem::Literal) {
                out += items[i].text;
            } else if (items[i].kind != FormatItem::Point) {
                if (position < shown) {
                    out += fraction[position];
                }
                ++position;
            }
        }
    }
    const bool all_zero = integer.find_first_not_of("0,") == std::string::npos &&
                          fraction.find_first_not_of('0') == std::string::npos;
    if (negative && !all_zero) {
        out.insert(0, "-");
    }
    return out;
}

// A whole number written after "&H" (hexadecimal) or "&O" (octal): the digits of the base from
// `i` on, stopping at the first other character. What fits in 16 bits is a 16-bit integer and
// what fits in 32 bits a 32-bit one, so "&HFFFF" is -1 and "&H10000" is 65536; nothing when the
// digits pass 32 bits.
std::optional<double> read_radix(std::string_view text, size_t& i, int base) {
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = to_lower(text[i]);
        int digit = -1;
        if (is_digit(c)) {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        }
        if (digit < 0 || digit >= base) {
            break;
        }
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFu) {
            return std::nullopt;
        }
    }
    if (value <= 0xFFFFu) {
        return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(value)));
    }
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(value)));
}

}  // namespace

std::string format_number(double value, std::string_view format) {
    if (!std::isfinite(value)) {
        raise(err::kOverflow);
    }
    if (format.empty()) {
        return number_to_text(value);
    }
    const auto sections = split_sections(format);
    const bool negative = std::signbit(value) && value != 0.0;
    const double magnitude = std::fabs(value);
    if (negative && sections.size() >= 2 && !sections[1].empty()) {
        return apply_number_section(magnitude, sections[1], false);
    }
    if (value == 0.0 && sections.size() >= 3 && !sections[2].empty()) {
        return apply_number_section(magnitude, sections[2], false);
    }
    return apply_number_section(magnitude, sections[0], negative);
}

double leading_number(std::string_view text) {
    // Blanks are skipped wherever they stand ("1 2" reads as 12), as the platform does.
    std::string number;
    size_t i = 0;
    auto skip_blanks = [&] {
        while (i < text.size() && is_blank(text[i])) {
            ++i;
        }
    };
    skip_blanks();
    // "&H" and "&O" introduce hexadecimal and octal whole numbers.
    if (i + 1 < text.size() && text[i] == '&' &&
        (to_lower(text[i + 1]) == 'h' || to_lower(text[i + 1]) == 'o')) {
        const int base = to_lower(text[i + 1]) == 'h' ? 16 : 8;
        i += 2;
        const auto value = read_radix(text, i, base);
        if (!value) {
            raise(err::kOverflow);
        }
        return *value;
    }
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        if (text[i] == '-') {
            number.push_back('-');
        }
        ++i;
    }
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (is_blank(c)) {
            continue;
        }
        if (is_digit(c)) {
            number.push_back(c);
            digits = true;
        } else if (c == '.' && !point) {
            number.push_back(c);
            point = true;
        } else {
            break;
        }
    }
    if (!digits) {
        return 0.0;
    }
    // An exponent counts only when digits follow its letter and sign.
    if (i < text.size() && (to_lower(text[i]) == 'e' || to_lower(text[i]) == 'd')) {
        size_t j = i + 1;
        std::string exponent = "e";
        while (j < text.size() && is_blank(text[j])) {
            ++j;
        }
        if (j < text.size() && (text[j] == '-' || text[j] == '+')) {
            exponent.push_back(text[j]);
            ++j;
        }
        bool exponent_digits = false;
        for (; j < text.size(); ++j) {
            if (is_blank(text[j])) {
                continue;
            }
            if (!is_digit(text[j])) {
                break;
            }
            exponent.push_back(text[j]);
            exponent_digits = true;
        }
        if (exponent_digits) {
            if (exponent[1] == '+') {
                exponent.erase(1, 1);
            }
            number += exponent;
        }
    }
    double result = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), result);
    if (ec == std::errc::result_out_of_range) {
        // Too small a magnitude reads as zero; too large one is an overflow.
        if (std::fabs(result) > 1.0 || number.find("e-") == std::string::npos) {
            raise(err::kOverflow);
        }
        return 0.0;
    }
    (void)end;
    return result;
}

std::optional<double> parse_number(std::string_view text, const RegionalSettings&) {
    text = trim_blanks(text);
    if (text.empty()) {
        return std::nullopt;
    }
    std::string number;
    size_t i = 0;
    if (text[i] == '-' || text[i] == '+') {
        if (text[i] == '-') {
            number.push_back('-');
        }
        ++i;
        while (i < text.size() && is_blank(text[i])) {
            ++i;
        }
    }
    if (i + 1 < text.size() && text[i] == '&' &&
        (to_lower(text[i + 1]) == 'h' || to_lower(text[i + 1]) == 'o')) {
        const int base = to_lower(text[i + 1]) == 'h' ? 16 : 8;
        i += 2;
        const size_t start = i;
        const auto value = read_radix(text, i, base);
        if (!value || i == start || i != text.size()) {
            return std::nullopt;
        }
        return number.empty() ? *value : -*value;
    }
    bool integer_digits = false;
    bool fraction_digits = false;
    // Thousands separators may stand between the digits of the whole part.
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (is_digit(c)) {
            number.push_back(c);
            integer_digits = true;
        } else if (c == ',' && integer_digits && i + 1 < text.size() && is_digit(text[i + 1])) {
            continue;
        } else {
            break;
        }
    }
    if (i < text.size() && text[i] == '.') {
        number.push_back('.');
        ++i;
        for (; i < text.size() && is_digit(text[i]); ++i) {
            number.push_back(text[i]);
            fraction_digits = true;
        }
    }
    if (!integer_digits && !fraction_digits) {
        return std::nullopt;
    }
    if (i < text.size() && (to_lower(text[i]) == 'e' || to_lower(text[i]) == 'd')) {
        ++i;
        number.push_back('e');
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
            if (text[i] == '-') {
                number.push_back('-');
            }
            ++i;
        }
        const size_t start = i;
        for (; i < text.size() && is_digit(text[i]); ++i) {
            number.push_back(text[i]);
        }
        if (i == start) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    double result = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), result);
    if (ec == std::errc::result_out_of_range) {
        if (number.find("e-") == std::string::npos) {
            return std::nullopt;
        }
        return 0.0;
    }
    if (ec != std::errc() || end != number.data() + number.size()) {
        return std::nullopt;
    }
    return result;
}

std::string number_to_text(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "Infinity" : "-Infinity";
    }
    if (value == 0.0) {
        return "0";
    }
    // The fifteen significant digits the platform shows, unless they do not read back; then the
    // shortest digits that do.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", value);
    double check = 0.0;
    std::from_chars(buffer, buffer + std::char_traits<char>::length(buffer), check);
    if (check != value) {
        const auto [end, ec] =
            std::to_chars(buffer, buffer + sizeof buffer - 1, value, std::chars_format::scientific);
        (void)ec;
        *end = '\0';
    }
    std::string_view sci(buffer);
    const bool negative = sci.front() == '-';
    if (negative) {
        sci.remove_prefix(1);
    }
    const size_t e = sci.find('e');
    std::string digits;
    for (size_t i = 0; i < e; ++i) {
        if (is_digit(sci[i])) {
            digits.push_back(sci[i]);
        }
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    int exp10 = 0;
    std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exp10);
    std::string out = negative ? "-" : "";
    if (exp10 >= 15 || exp10 < -5) {
        // Scientific form: "1E+16", "1.5E-07".
        out += digits.substr(0, 1);
        if (digits.size() > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += exp10 < 0 ? "E-" : "E+";
        const int magnitude = exp10 < 0 ? -exp10 : exp10;
        out += magnitude < 10 ? "0" + std::to_string(magnitude) : std::to_string(magnitude);
        return out;
    }
    if (exp10 < 0) {
        out += "0.";
        out.append(static_cast<size_t>(-exp10 - 1), '0');
        out += digits;
        return out;
    }
    const auto whole = static_cast<size_t>(exp10 + 1);
    if (digits.size() <= whole) {
        out += digits;
        out.append(whole - digits.size(), '0');
    } else {
        out += digits.substr(0, whole);
        out += '.';
        out += digits.substr(whole);
    }
    return out;
}

}  // namespace platform
