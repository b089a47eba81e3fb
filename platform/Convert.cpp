#include "platform/Convert.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/Error.h"
#include "platform/Services.h"
#include "platform/TextScan.h"

namespace platform {

using text::iequals;
using text::is_alpha;
using text::is_blank;
using text::is_digit;
using text::to_lower;

namespace {

constexpr std::array<std::string_view, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 7> kDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};

// Reading date text

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
    return split_rounded(services().Now()).year;
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
    // Twelve with AM is midnight, twelve with PM noon, and PM puts the hours below twelve
    // (hour 0 included) in the afternoon; an hour above twelve is on the 24-hour clock whatever
    // the designator says.
    if (hour <= 12) {
        if (shape->meridiem == Meridiem::Am && hour == 12) {
            hour = 0;
        } else if (shape->meridiem == Meridiem::Pm && hour < 12) {
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

// Writing dates

std::string two_digits(int value) {
    std::string text = std::to_string(value);
    return value < 10 ? "0" + text : text;
}

std::string pad4(int value) {
    std::string text = std::to_string(value);
    return std::string(text.size() < 4 ? 4 - text.size() : 0, '0') + text;
}

// The day of the week (0 Sunday) of a calendar day, by the Gregorian rules for any year.
int weekday(const DateParts& p) {
    static constexpr int kMonthOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int year = p.month < 3 ? p.year - 1 : p.year;
    const int day = year + year / 4 - year / 100 + year / 400 +
                    kMonthOffsets[static_cast<size_t>(p.month - 1)] + p.day;
    return (day % 7 + 7) % 7;
}

}  // namespace

bool is_date(std::string_view text, const RegionalSettings& settings) {
    return read_date(text, settings).has_value();
}

std::optional<Date> parse_date(std::string_view text, const RegionalSettings& settings) {
    return read_date(text, settings);
}

std::string date_to_text(Date value, const RegionalSettings& settings) {
    const DateParts p = split_rounded(value);
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
    const DateParts p = split_rounded(value);
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
                    const std::string_view name = kDayNames[static_cast<size_t>(weekday(p))];
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

}  // namespace platform
