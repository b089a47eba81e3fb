#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Api.h"
#include "platform/Date.h"
#include "platform/Regional.h"
#include "platform/Variant.h"

namespace platform {

// The date test: whether a text reads as a date, a time of day or both under the regional
// settings (the platform's own reading of date text, including its fallback orders).
PLATFORM_API bool is_date(std::string_view text, const RegionalSettings& settings);
// The conversion of a date text; nothing when the date test refuses it.
PLATFORM_API std::optional<Date> parse_date(std::string_view text,
                                            const RegionalSettings& settings);

// The general form of a date under the settings: the date alone when the time is zero, the time
// alone on day zero, otherwise both, the time with seconds ("12/4/2026 4:51:10 PM").
PLATFORM_API std::string date_to_text(Date value, const RegionalSettings& settings);

// Formats a date with a format string of the platform ("mmddyyHHnn").
PLATFORM_API std::string format_date(Date value, std::string_view format);
// Formats a number with a number format of the platform ("0:00", ".000"); halves are rounded
// away from zero.
PLATFORM_API std::string format_number(double value, std::string_view format);

// The leading number of a text: blanks skipped, the period always the decimal separator,
// reading stops at the first character that cannot continue the number, no number gives 0.
PLATFORM_API double leading_number(std::string_view text);

// The conversion of a text to a number (as for a Variant): blanks around, a sign, digits with
// the settings' separators, an exponent; nothing when the text is no number.
PLATFORM_API std::optional<double> parse_number(std::string_view text,
                                                const RegionalSettings& settings);

// A double as text in the shortest form that reads back (18 gives "18", 12.5 gives "12.5").
PLATFORM_API std::string number_to_text(double value);

}  // namespace platform
