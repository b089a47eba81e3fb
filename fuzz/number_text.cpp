// Reads arbitrary bytes as number text and as a number format. The leading-number reading may
// only raise the platform's overflow; a number that reads must survive its own text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/Convert.h"
#include "platform/Error.h"
#include "platform/Variant.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto settings = platform::RegionalSettings::us_english();
    try {
        platform::leading_number(text);
    } catch (const platform::RaisedError& error) {
        if (error.number() != platform::err::kOverflow) {
            std::abort();
        }
    }
    if (const auto number = platform::parse_number(text, settings)) {
        const auto back = platform::parse_number(platform::number_to_text(*number), settings);
        if (!back || *back != *number) {
            std::abort();
        }
    }
    // Text converts to the numeric kinds of a value or raises "Overflow" or "Type mismatch".
    const platform::Variant value_text{text};
    const auto conversions = {+[](const platform::Variant& v) { v.to_currency(); },
                              +[](const platform::Variant& v) { v.to_int16(); },
                              +[](const platform::Variant& v) { v.to_int32(); },
                              +[](const platform::Variant& v) { v.to_bool(); }};
    for (const auto conversion : conversions) {
        try {
            conversion(value_text);
        } catch (const platform::RaisedError& error) {
            if (error.number() != platform::err::kOverflow &&
                error.number() != platform::err::kTypeMismatch) {
                std::abort();
            }
        }
    }
    // The first eight bytes, when there are, make a value for the rest read as a format.
    if (size >= sizeof(double)) {
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        const std::string_view format = text.substr(sizeof value);
        try {
            platform::format_number(value, format);
        } catch (const platform::RaisedError& error) {
            if (error.number() != platform::err::kOverflow) {
                std::abort();
            }
        }
        // Any double, even one that is no date, writes as a date without harm.
        platform::format_date(platform::Date{value}, format);
        platform::Variant(platform::Date{value}).to_text();
    }
    return 0;
}
