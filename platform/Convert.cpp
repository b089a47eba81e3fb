#include "platform/Convert.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/Error.h"
#include "platform/Services.h"

namespace platform {

namespace {

constexpr std::array<std::string_view, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 7> kDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_alpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char to_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool iequals(std::string_view a, std::string_view b) {
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

std::string_view trim_blanks(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// ---------------------------------------------------------------------------------------------
// Reading date text
// ---------------------------------------------------------------------------------------------

enum class TokenKind { Number, Word, DateSeparator, TimeSeparator, Comma, Blank };

struct Token {
    TokenKind kind;
    int value = 0;   // numbers: the value
    int digits = 0;  // numbers: how many digits were written
    std::string_view text;
};

// Numbers longer than this are no part of a date; refusing them early keeps values in range.
constexpr int kMaxNumberDigits = 9;

std::optional<std::vector<Token>> tokenize(std::string_view text,
                                           const RegionalSettings& settings) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (is_digit(c)) {
            Token token{TokenKind::Number, 0, 0, {}};
            const size_t start = i;
            while (i < text.size() && is_digit(text[i])) {
                if (i - start >= kMaxNumberDigits) {
                    return std::nullopt;
                }
                token.value = token.value * 10 + (text[i] - '0');
                ++i;
            }
            token.digits = static_cast<int>(i - start);
            token.text = text.substr(start, i - start);
            tokens.push_back(token);
        } else if (is_alpha(c)) {
            const size_t start = i;
            while (i < text.size() && is_alpha(text[i])) {
                ++i;
            }
            tokens.push_back({TokenKind::Word, 0, 0, text.substr(start, i - start)});
        } else if (is_blank(c)) {
            while (i < text.size() && is_blank(text[i])) {
                ++i;
            }
            tokens.push_back({TokenKind::Blank, 0, 0, {}});
        } else if (c == settings.time_separator || (c == '.' && settings.period_separates_time)) {
            tokens.push_back({TokenKind::TimeSeparator, 0, 0, {}});
            ++i;
        } else if (c == settings.date_separator || c == '/' || c == '-') {
            tokens.push_back({TokenKind::DateSeparator, 0, 0, {}});
            ++i;
        } else if (c == ',') {
            tokens.push_back({TokenKind::Comma, 0, 0, {}});
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return tokens;
}

// The month of a month name or its three-letter abbreviation, 0 when the word is none.
int month_of_word(std::string_view word) {
    for (size_t m = 0; m < kMonthNames.size(); ++m) {
        if (iequals(word, kMonthNames[m]) || iequals(word, kMonthNames[m].substr(0, 3))) {
            return static_cast<int>(m) + 1;
        }
    }
    return 0;
}

enum class Meridiem { None, Am, Pm };

Meridiem meridiem_of_word(std::string_view word, const RegionalSettings& settings) {
    if (iequals(word, "AM") || iequals(word, "A") ||
        (!settings.am.empty() && iequals(word, settings.am))) {
        return Meridiem::Am;
    }
    if (iequals(word, "PM") || iequals(word, "P") ||
        (!settings.pm.empty() && iequals(word, settings.pm))) {
        return Meridiem::Pm;
    }
    return Meridiem::None;
}

struct DateNumber {
    int value;
    int digits;
};

// What a date text says, before the numbers are given their meaning.
struct DateText {
    std::vector<DateNumber> numbers;
    int month_name = 0;
    // Where the month name stood among the numbers (how many numbers came before it).
    size_t month_name_position = 0;
    bool has_time = false;
    int hour = 0;
    int minute = 0;
    int second = 0;
    Meridiem meridiem = Meridiem::None;
};

// Reads the shape of the text: the date elements (numbers and a month name, separated by date
// separators, commas or blanks), one time (hour, minutes and seconds joined by the time
// separator, or an hour with a designator) and one AM/PM designator after it.
std::optional<DateText> read_shape(const std::vector<Token>& tokens,
                                   const RegionalSettings& settings) {
    DateText result;
    // The separator just read: a date element must follow a date separator or a comma.
    bool pending_separator = false;
    bool date_started = false;
    bool date_ended = false;
    size_t i = 0;
    auto next_non_blank = [&](size_t from) {
        while (from < tokens.size() && tokens[from].kind == TokenKind::Blank) {
            ++from;
        }
        return from;
    };
    auto note_date_element = [&]() -> bool {
        if (date_ended) {
            return false;
        }
        date_started = true;
        pending_separator = false;
        return true;
    };
    while (i < tokens.size()) {
        const Token& token = tokens[i];
        switch (token.kind) {
            case TokenKind::Blank:
                ++i;
                break;
            case TokenKind::Comma:
            case TokenKind::DateSeparator:
                if (!date_started || pending_separator || date_ended) {
                    return std::nullopt;
                }
                pending_separator = true;
                ++i;
                break;
            case TokenKind::TimeSeparator:
                return std::nullopt;
            case TokenKind::Word: {
                if (const int month = month_of_word(token.text); month != 0) {
                    if (result.month_name != 0 || !note_date_element()) {
                        return std::nullopt;
                    }
                    result.month_name = month;
                    result.month_name_position = result.numbers.size();
                    ++i;
                    break;
                }
                const Meridiem meridiem = meridiem_of_word(token.text, settings);
                if (meridiem == Meridiem::None || !result.has_time ||
                    result.meridiem != Meridiem::None || pending_separator) {
                    return std::nullopt;
                }
                result.meridiem = meridiem;
                ++i;
                break;
            }
            case TokenKind::Number: {
                const bool starts_time =
                    i + 1 < tokens.size() && tokens[i + 1].kind == TokenKind::TimeSeparator;
                const size_t after = next_non_blank(i + 1);
                const bool hour_with_designator =
                    !starts_time && after < tokens.size() &&
                    tokens[after].kind == TokenKind::Word &&
                    meridiem_of_word(tokens[after].text, settings) != Meridiem::None &&
                    month_of_word(tokens[after].text) == 0;
                if (!starts_time && !hour_with_designator) {
                    if (!note_date_element()) {
                        return std::nullopt;
                    }
                    result.numbers.push_back({token.value, token.digits});
                    ++i;
                    break;
                }
                // A time: it may not follow a date separator, and there is only one.
                if (result.has_time || pending_separator) {
                    return std::nullopt;
                }
                if (date_started) {
                    date_ended = true;
                }
                result.has_time = true;
                result.hour = token.value;
                ++i;
                if (starts_time) {
                    // Minutes, and seconds after a second separator: each separator must be
                    // followed straight away by its number.
                    int* fields[] = {&result.minute, &result.second};
                    for (int* field : fields) {
                        if (i >= tokens.size() || tokens[i].kind != TokenKind::TimeSeparator) {
                            break;
                        }
                        if (i + 1 >= tokens.size() || tokens[i + 1].kind != TokenKind::Number) {
                            return std::nullopt;
                        }
                        *field = tokens[i + 1].value;
                        i += 2;
                    }
                    if (i < tokens.size() && (tokens[i].kind == TokenKind::TimeSeparator ||
                                              tokens[i].kind == TokenKind::Number)) {
                        return std::nullopt;
                    }
                }
                break;
            }
        }
    }
    if (pending_separator) {
        return std::nullopt;
    }
    return result;
}

// A year as written: two digits at most are read through the window of the settings.
int full_year(const DateNumber& number, const RegionalSettings& settings) {
    if (number.digits > 2) {
        return number.value;
    }
    const int first = settings.two_digit_year_max - 99;
    int year = first - first % 100 + number.value;
    if (year < first) {
        year += 100;
    }
    return year;
}

bool looks_like_year(const DateNumber& number) {
    return number.digits > 2 || number.value > 31;
}

// Day and month without a year are read in the current year of the platform clock.
int current_year() {
    return split(services().Now()).year;
}

struct Ymd {
    int year;
    int month;
    int day;
};

std::optional<Ymd> resolve_three(const std::array<DateNumber, 3>& n,
                                 const RegionalSettings& settings) {
    enum class Order { Mdy, Dmy, Ymd };
    auto try_order = [&](Order order) -> std::optional<Ymd> {
        Ymd ymd{};
        switch (order) {
            case Order::Mdy:
                ymd = {full_year(n[2], settings), n[0].value, n[1].value};
                break;
            case Order::Dmy:
                ymd = {full_year(n[2], settings), n[1].value, n[0].value};
                break;
            case Order::Ymd:
                ymd = {full_year(n[0], settings), n[1].value, n[2].value};
                break;
        }
        if (is_valid_day(ymd.year, ymd.month, ymd.day)) {
            return ymd;
        }
        return std::nullopt;
    };
    const Order first = settings.order == DateOrder::DayMonthYear   ? Order::Dmy
                        : settings.order == DateOrder::YearMonthDay ? Order::Ymd
                                                                    : Order::Mdy;
    if (auto ymd = try_order(first)) {
        return ymd;
    }
    // Where the settings' order gives no date, a first number that can only be a year puts the
    // year first; otherwise the day is tried first, then the month.
    if (first != Order::Ymd && looks_like_year(n[0])) {
        if (auto ymd = try_order(Order::Ymd)) {
            return ymd;
        }
    }
    for (Order order : {Order::Dmy, Order::Mdy}) {
        if (order != first) {
            if (auto ymd = try_order(order)) {
                return ymd;
            }
        }
    }
    return std::nullopt;
}

std::optional<Ymd> resolve_two(const DateNumber& a, const DateNumber& b,
                               const RegionalSettings& settings) {
    // A number that can only be a year makes the pair a month and a year, on the first day.
    if (looks_like_year(b) && a.value >= 1 && a.value <= 12 && a.digits <= 2) {
        const Ymd ymd{full_year(b, settings), a.value, 1};
        return is_valid_day(ymd.year, ymd.month, ymd.day) ? std::optional(ymd) : std::nullopt;
    }
    if (looks_like_year(a) && b.value >= 1 && b.value <= 12 && b.digits <= 2) {
        const Ymd ymd{full_year(a, settings), b.value, 1};
        return is_valid_day(ymd.year, ymd.month, ymd.day) ? std::optional(ymd) : std::nullopt;
    }
    // Otherwise a month and a day of the current year, in the settings' order first.
    const int year = current_year();
    const bool day_first = settings.order == DateOrder::DayMonthYear;
    const Ymd primary = day_first ? Ymd{year, b.value, a.value} : Ymd{year, a.value, b.value};
    const Ymd other = day_first ? Ymd{year, a.value, b.value} : Ymd{year, b.value, a.value};
    for (const Ymd& ymd : {primary, other}) {
        if (is_valid_day(ymd.year, ymd.month, ymd.day)) {
            return ymd;
        }
    }
    return std::nullopt;
}

std::optional<Ymd> resolve_with_month_name(const DateText& shape,
                                           const RegionalSettings& settings) {
    const int month = shape.month_name;
    if (shape.numbers.empty() || shape.numbers.size() > 2) {
        return std::nullopt;
    }
    if (shape.numbers.size() == 1) {
        const DateNumber& n = shape.numbers[0];
        const Ymd ymd = looks_like_year(n) ? Ymd{full_year(n, settings), month, 1}
                                           : Ymd{current_year(), month, n.value};
        return is_valid_day(ymd.year, ymd.month, ymd.day) ? std::optional(ymd) : std::nullopt;
    }
    const DateNumber& a = shape.numbers[0];
    const DateNumber& b = shape.numbers[1];
    // The day is the number that can be a day; "4 Dec 2026", "Dec 4, 2026" and "2026 Dec 4".
    const bool a_is_year = looks_like_year(a) && !looks_like_year(b);
    const Ymd ymd = a_is_year ? Ymd{full_year(a, settings), month, b.value}
                              : Ymd{full_year(b, settings), month, a.value};
    return is_valid_day(ymd.year, ymd.month, ymd.day) ? std::optional(ymd) : std::nullopt;
}

std::optional<Date> read_date(std::string_view text, const RegionalSettings& settings) {
    const auto tokens = tokenize(text, settings);
    if (!tokens) {
        return std::nullopt;
    }
    const auto shape = read_shape(*tokens, settings);
    if (!shape) {
        return std::nullopt;
    }
    std::optional<Ymd> ymd;
    if (shape->month_name != 0) {
        ymd = resolve_with_month_name(*shape, settings);
    } else if (shape->numbers.size() == 3) {
        ymd = resolve_three({shape->numbers[0], shape->numbers[1], shape->numbers[2]}, settings);
    } else if (shape->numbers.size() == 2) {
        ymd = resolve_two(shape->numbers[0], shape->numbers[1], settings);
    } else if (!shape->numbers.empty()) {
        return std::nullopt;  // a lone number, or more numbers than a date has
    }
    const bool has_date = shape->month_name != 0 || !shape->numbers.empty();
    if (has_date && !ymd) {
        return std::nullopt;
    }
    if (!has_date && !shape->has_time) {
        return std::nullopt;  // nothing at all
    }
    int hour = shape->hour;
    if (hour >= 24 || shape->minute >= 60 || shape->second >= 60) {
        return std::nullopt;
    }
    // Twelve with AM is midnight, twelve with PM noon; an hour above twelve is on the 24-hour
    // clock whatever the designator says.
    if (hour <= 12) {
        if (shape->meridiem == Meridiem::Am && hour == 12) {
            hour = 0;
        } else if (shape->meridiem == Meridiem::Pm && hour >= 1 && hour < 12) {
            hour += 12;
        }
    }
    DateParts parts;
    if (ymd) {
        parts.year = ymd->year;
        parts.month = ymd->month;
        parts.day = ymd->day;
    }
    parts.hour = hour;
    parts.minute = shape->minute;
    parts.second = shape->second;
    return make_date_time(parts);
}

// ---------------------------------------------------------------------------------------------
// Writing numbers
// ---------------------------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------------------------
// Writing dates
// ---------------------------------------------------------------------------------------------

std::string two_digits(int value) {
    std::string text = std::to_string(value);
    return value < 10 ? "0" + text : text;
}

std::string pad4(int value) {
    std::string text = std::to_string(value);
    return std::string(text.size() < 4 ? 4 - text.size() : 0, '0') + text;
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

int weekday(Date value) {
    // Day zero (1899-12-30) was a Saturday.
    const auto day = static_cast<int64_t>(std::trunc(date_part(value).days));
    return static_cast<int>(((day + 6) % 7 + 7) % 7);
}

}  // namespace

bool is_date(std::string_view text, const RegionalSettings& settings) {
    return read_date(text, settings).has_value();
}

std::optional<Date> parse_date(std::string_view text, const RegionalSettings& settings) {
    return read_date(text, settings);
}

std::string date_to_text(Date value, const RegionalSettings& settings) {
    const DateParts p = split(value);
    std::string date_text;
    const char sep = settings.date_separator;
    const std::string day =
        settings.short_date_leading_zeros ? two_digits(p.day) : std::to_string(p.day);
    const std::string month =
        settings.short_date_leading_zeros ? two_digits(p.month) : std::to_string(p.month);
    switch (settings.order) {
        case DateOrder::MonthDayYear:
            date_text = month + sep + day + sep + pad4(p.year);
            break;
        case DateOrder::DayMonthYear:
            date_text = day + sep + month + sep + pad4(p.year);
            break;
        case DateOrder::YearMonthDay:
            date_text = pad4(p.year) + sep + month + sep + day;
            break;
    }
    const char tsep = settings.time_separator;
    std::string time_text;
    if (settings.twelve_hour_clock) {
        const int hour12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
        time_text = std::to_string(hour12) + tsep + two_digits(p.minute) + tsep +
                    two_digits(p.second) + ' ' + (p.hour < 12 ? settings.am : settings.pm);
    } else {
        time_text = two_digits(p.hour) + tsep + two_digits(p.minute) + tsep + two_digits(p.second);
    }
    const bool day_zero = p.year == 1899 && p.month == 12 && p.day == 30;
    const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
    if (day_zero) {
        return time_text;
    }
    if (midnight) {
        return date_text;
    }
    return date_text + ' ' + time_text;
}

std::string format_date(Date value, std::string_view format) {
    const DateParts p = split(value);
    // A twelve-hour clock when the format carries a designator.
    bool twelve = false;
    for (size_t i = 0; i < format.size(); ++i) {
        const std::string_view rest = format.substr(i);
        if (iequals(rest.substr(0, 5), "AM/PM") || iequals(rest.substr(0, 3), "A/P")) {
            twelve = true;
            break;
        }
    }
    std::string out;
    bool after_hour = false;  // an "m" right after an hour means minutes
    for (size_t i = 0; i < format.size();) {
        const char c = format[i];
        const char lc = to_lower(c);
        size_t run = 1;
        while (i + run < format.size() && to_lower(format[i + run]) == lc) {
            ++run;
        }
        const std::string_view rest = format.substr(i);
        if (iequals(rest.substr(0, 5), "AM/PM")) {
            const bool upper = rest[0] == 'A';
            out += p.hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
            i += 5;
            continue;
        }
        if (iequals(rest.substr(0, 3), "A/P")) {
            const bool upper = rest[0] == 'A';
            out += p.hour < 12 ? (upper ? "A" : "a") : (upper ? "P" : "p");
            i += 3;
            continue;
        }
        switch (lc) {
            case 'y':
                if (run >= 3) {
                    out += pad4(p.year);
                } else {
                    out += two_digits(p.year % 100);
                }
                after_hour = false;
                break;
            case 'm': {
                // Minutes after an hour, or before seconds; the month otherwise.
                bool minutes = after_hour && run <= 2;
                if (!minutes && run <= 2) {
                    size_t j = i + run;
                    while (j < format.size() && !is_alpha(format[j])) {
                        ++j;
                    }
                    minutes = j < format.size() && to_lower(format[j]) == 's';
                }
                if (minutes) {
                    out += run == 2 ? two_digits(p.minute) : std::to_string(p.minute);
                } else if (run <= 2) {
                    out += run == 2 ? two_digits(p.month) : std::to_string(p.month);
                } else {
                    const std::string_view name = kMonthNames[static_cast<size_t>(p.month - 1)];
                    out += run == 3 ? name.substr(0, 3) : name;
                }
                after_hour = false;
                break;
            }
            case 'd':
                if (run <= 2) {
                    out += run == 2 ? two_digits(p.day) : std::to_string(p.day);
                } else {
                    const std::string_view name = kDayNames[static_cast<size_t>(weekday(value))];
                    out += run == 3 ? name.substr(0, 3) : name;
                }
                after_hour = false;
                break;
            case 'h': {
                int hour = p.hour;
                if (twelve) {
                    hour = hour % 12 == 0 ? 12 : hour % 12;
                }
                out += run >= 2 ? two_digits(hour) : std::to_string(hour);
                after_hour = true;
                break;
            }
            case 'n':
                out += run >= 2 ? two_digits(p.minute) : std::to_string(p.minute);
                after_hour = false;
                break;
            case 's':
                out += run >= 2 ? two_digits(p.second) : std::to_string(p.second);
                after_hour = false;
                break;
            case '\\':
                if (i + 1 < format.size()) {
                    out += format[i + 1];
                }
                i += 2;
                continue;
            case '"': {
                const size_t end = format.find('"', i + 1);
                const size_t stop = end == std::string_view::npos ? format.size() : end;
                out += format.substr(i + 1, stop - i - 1);
                i = stop + 1;
                continue;
            }
            default:
                out.append(run, c);
                break;
        }
        i += run;
    }
    return out;
}

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
