// Reads arbitrary bytes as date text under both regional settings. Every text the date test
// accepts must convert, stay in the date type's range and survive its general form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/Convert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (auto settings : {platform::RegionalSettings::us_english(),
                          platform::RegionalSettings::british_english()}) {
        const bool accepted = platform::is_date(text, settings);
        const auto date = platform::parse_date(text, settings);
        if (accepted != date.has_value()) {
            std::abort();
        }
        if (!date) {
            continue;
        }
        if (!platform::in_range(*date)) {
            std::abort();
        }
        const std::string general = platform::date_to_text(*date, settings);
        const auto back = platform::parse_date(general, settings);
        if (!back || !(platform::split_rounded(*back) == platform::split_rounded(*date))) {
            std::abort();
        }
        platform::format_date(*date, "mmddyyHHnn");
    }
    return 0;
}
