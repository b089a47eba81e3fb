#include "platform/Variant.h"

#include <cmath>
#include <limits>

#include "platform/Convert.h"
#include "platform/Error.h"
#include "platform/Services.h"
#include "platform/TextScan.h"

namespace platform {

namespace {

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

constexpr int64_t kTenThousand = 10000;

// Rounds to the nearest whole number, halves to the even neighbour.
double round_half_even(double value) {
    const double floor = std::floor(value);
    const double rest = value - floor;
    if (rest > 0.5) {
        return floor + 1.0;
    }
    if (rest < 0.5) {
        return floor;
    }
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

// A count of ten-thousandths to whole units, halves to even.
int64_t currency_to_whole(Currency value) {
    int64_t whole = value.ten_thousandths / kTenThousand;
    int64_t rest = value.ten_thousandths % kTenThousand;
    if (rest < 0) {
        rest += kTenThousand;
        --whole;
    }
    if (rest > kTenThousand / 2 || (rest == kTenThousand / 2 && whole % 2 != 0)) {
        ++whole;
    }
    return whole;
}

double text_to_double(const std::string& text) {
    const auto number = parse_number(text, services().Regional());
    if (!number) {
        raise(err::kTypeMismatch);
    }
    return *number;
}

// The value as a double for the conversions to integers; currency is handled exactly apart.
double numeric_value(const Variant::Storage& value) {
    return std::visit(
        Overloaded{
            [](Empty) { return 0.0; },
            [](Null) -> double { raise(err::kInvalidUseOfNull); },
            [](bool b) { return b ? -1.0 : 0.0; },
            [](int16_t i) { return static_cast<double>(i); },
            [](int32_t i) { return static_cast<double>(i); },
            [](double d) { return d; },
            [](Currency c) { return static_cast<double>(c.ten_thousandths) / kTenThousand; },
            [](Date d) { return d.days; },
            [](const std::string& s) { return text_to_double(s); },
            [](const ObjectRef&) -> double { raise(err::kTypeMismatch); },
        },
        value);
}

template <class Int>
Int to_integer(const Variant::Storage& value) {
    constexpr auto kMin = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr auto kMax = static_cast<double>(std::numeric_limits<Int>::max());
    if (const auto* c = std::get_if<Currency>(&value)) {
        const int64_t whole = currency_to_whole(*c);
        if (whole < std::numeric_limits<Int>::min() || whole > std::numeric_limits<Int>::max()) {
            raise(err::kOverflow);
        }
        return static_cast<Int>(whole);
    }
    const double rounded = round_half_even(numeric_value(value));
    if (!(rounded >= kMin && rounded <= kMax)) {
        raise(err::kOverflow);
    }
    return static_cast<Int>(rounded);
}

std::string currency_to_text(Currency value) {
    const bool negative = value.ten_thousandths < 0;
    // Work on the magnitude as unsigned so that the smallest value has one too.
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value.ten_thousandths)
                                        : static_cast<uint64_t>(value.ten_thousandths);
    std::string text = std::to_string(magnitude / kTenThousand);
    uint64_t fraction = magnitude % kTenThousand;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, 4 - digits.size(), '0');
        while (digits.back() == '0') {
            digits.pop_back();
        }
        text += '.' + digits;
    }
    return negative ? "-" + text : text;
}

Currency double_to_currency(double value) {
    const double scaled = round_half_even(value * kTenThousand);
    // 2^63 is the first value past the range.
    constexpr double kLimit = 9223372036854775808.0;
    if (!(scaled >= -kLimit && scaled < kLimit)) {
        raise(err::kOverflow);
    }
    return Currency{static_cast<int64_t>(scaled)};
}

// Text with a plain decimal number converts to money digit by digit, so that amounts beyond a
// double's fifteen digits stay exact; other number texts go through the double.
Currency text_to_currency(const std::string& text) {
    // The largest count of ten-thousandths; a magnitude only grows, so once past it (or past
    // what can still take one more digit) the amount is too large.
    constexpr uint64_t kMoneyLimit = INT64_MAX;
    constexpr uint64_t kRoomForDigit = (UINT64_MAX - 9) / 10;
    const double approximate = text_to_double(text);  // raises for text that is no number
    std::string_view rest = text;
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) {
        rest.remove_prefix(1);
    }
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) {
        rest.remove_suffix(1);
    }
    bool negative = false;
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    // Magnitude in ten-thousandths, then the digits past the fourth decimal for the rounding.
    uint64_t magnitude = 0;
    int decimals = -1;  // -1 before the point
    bool beyond_half = false;
    int first_beyond = -1;
    for (const char c : rest) {
        if (c == ',' && decimals < 0) {
            continue;
        }
        if (c == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < '0' || c > '9') {
            return double_to_currency(approximate);
        }
        if (decimals >= 4) {
            if (first_beyond < 0) {
                first_beyond = c - '0';
            } else if (c != '0') {
                beyond_half = true;
            }
            continue;
        }
        if (magnitude > kRoomForDigit) {
            raise(err::kOverflow);
        }
        magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
        if (decimals >= 0) {
            ++decimals;
        }
    }
    for (int i = decimals < 0 ? 0 : decimals; i < 4; ++i) {
        if (magnitude > kRoomForDigit) {
            raise(err::kOverflow);
        }
        magnitude *= 10;
    }
    // Halves go to the even neighbour, as in every conversion to money.
    if (first_beyond > 5 || (first_beyond == 5 && (beyond_half || magnitude % 2 != 0))) {
        ++magnitude;
    }
    if (magnitude > kMoneyLimit + (negative ? 1 : 0)) {
        raise(err::kOverflow);
    }
    const auto bits = static_cast<uint64_t>(magnitude);
    return Currency{negative ? static_cast<int64_t>(0 - bits) : static_cast<int64_t>(bits)};
}

Date double_to_date(double days) {
    if (!in_range(Date{days})) {
        raise(err::kOverflow);
    }
    return Date{days};
}

bool text_to_bool(const std::string& text) {
    std::string_view trimmed = text;
    while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t')) {
        trimmed.remove_prefix(1);
    }
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t')) {
        trimmed.remove_suffix(1);
    }
    const auto equals_ignoring_case = [&](std::string_view word) {
        return text::iequals(trimmed, word);
    };
    if (equals_ignoring_case("true")) {
        return true;
    }
    if (equals_ignoring_case("false")) {
        return false;
    }
    return text_to_double(text) != 0.0;
}

}  // namespace

VarType Variant::type() const {
    return std::visit(Overloaded{
                          [](Empty) { return VarType::Empty; },
                          [](Null) { return VarType::Null; },
                          [](bool) { return VarType::Boolean; },
                          [](int16_t) { return VarType::Integer; },
                          [](int32_t) { return VarType::Long; },
                          [](double) { return VarType::Double; },
                          [](Currency) { return VarType::Currency; },
                          [](Date) { return VarType::Date; },
                          [](const std::string&) { return VarType::String; },
                          [](const ObjectRef&) { return VarType::Object; },
                      },
                      m_value);
}

bool Variant::is_numeric() const {
    switch (type()) {
        case VarType::Boolean:
        case VarType::Integer:
        case VarType::Long:
        case VarType::Double:
        case VarType::Currency:
        case VarType::Date:
            return true;
        default:
            return false;
    }
}

std::string Variant::to_text() const {
    return std::visit(Overloaded{
                          [](Empty) { return std::string(); },
                          [](Null) -> std::string { raise(err::kInvalidUseOfNull); },
                          [](bool b) { return std::string(b ? "True" : "False"); },
                          [](int16_t i) { return std::to_string(i); },
                          [](int32_t i) { return std::to_string(i); },
                          [](double d) { return number_to_text(d); },
                          [](Currency c) { return currency_to_text(c); },
                          [](Date d) { return date_to_text(d, services().Regional()); },
                          [](const std::string& s) { return s; },
                          [](const ObjectRef&) -> std::string { raise(err::kTypeMismatch); },
                      },
                      m_value);
}

bool Variant::to_bool() const {
    if (const auto* text = std::get_if<std::string>(&m_value)) {
        return text_to_bool(*text);
    }
    if (const auto* b = std::get_if<bool>(&m_value)) {
        return *b;
    }
    if (const auto* c = std::get_if<Currency>(&m_value)) {
        return c->ten_thousandths != 0;
    }
    return numeric_value(m_value) != 0.0;
}

int16_t Variant::to_int16() const {
    return to_integer<int16_t>(m_value);
}

int32_t Variant::to_int32() const {
    return to_integer<int32_t>(m_value);
}

double Variant::to_double() const {
    return numeric_value(m_value);
}

Date Variant::to_date() const {
    if (const auto* text = std::get_if<std::string>(&m_value)) {
        const auto date = parse_date(*text, services().Regional());
        if (!date) {
            raise(err::kTypeMismatch);
        }
        return *date;
    }
    if (const auto* date = std::get_if<Date>(&m_value)) {
        return *date;
    }
    return double_to_date(numeric_value(m_value));
}

Currency Variant::to_currency() const {
    if (const auto* c = std::get_if<Currency>(&m_value)) {
        return *c;
    }
    if (const auto* i = std::get_if<int32_t>(&m_value)) {
        return Currency{static_cast<int64_t>(*i) * kTenThousand};
    }
    if (const auto* text = std::get_if<std::string>(&m_value)) {
        return text_to_currency(*text);
    }
    return double_to_currency(numeric_value(m_value));
}

ObjectRef Variant::to_object() const {
    if (const auto* object = std::get_if<ObjectRef>(&m_value)) {
        return *object;
    }
    raise(err::kObjectRequired);
}

bool loose_equal(const Variant& a, const Variant& b) {
    if (a.is_null() || b.is_null()) {
        return false;
    }
    if (a.is_object() || b.is_object()) {
        return a.is_object() && b.is_object() && a.to_object() == b.to_object();
    }
    if (a.is_text() && b.is_text()) {
        return a.to_text() == b.to_text();
    }
    // Empty beside a text is the empty text.
    if ((a.is_empty() && b.is_text()) || (a.is_text() && b.is_empty())) {
        return a.to_text() == b.to_text();
    }
    const auto* ca = std::get_if<Currency>(&a.storage());
    const auto* cb = std::get_if<Currency>(&b.storage());
    if (ca && cb) {
        return *ca == *cb;
    }
    // A number and a text compare as numbers when the text is one; otherwise they differ.
    const Variant& text_side = a.is_text() ? a : b;
    if (text_side.is_text()) {
        const auto number = parse_number(text_side.to_text(), services().Regional());
        if (!number) {
            return false;
        }
        const Variant& number_side = a.is_text() ? b : a;
        return number_side.to_double() == *number;
    }
    return a.to_double() == b.to_double();
}

}  // namespace platform
