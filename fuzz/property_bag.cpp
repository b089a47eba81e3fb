// Reads arbitrary bytes as the stored form of a property bag, as a step's saved settings are
// read back. A form that reads must be written again to a form that reads back to the same
// bag, so that saving settings never leaves a file the next start cannot read; a form that does
// not read raises "Bad file format" and nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/Error.h"
#include "platform/PropertyBag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    platform::PropertyBag bag;
    try {
        bag = platform::PropertyBag::from_text(text);
    } catch (const platform::RaisedError& error) {
        if (error.number() != platform::err::kBadFileFormat)
            std::abort();
        return 0;
    }
    const nlohmann::json stored = bag.to_json();
    platform::PropertyBag again;
    try {
        again = platform::PropertyBag::from_text(bag.to_text());
    } catch (const platform::RaisedError&) {
        std::abort();  // the bag wrote a form it cannot read
    }
    if (again.to_json() != stored)
        std::abort();

    // Every value that is no object reads back as it was stored.
    for (const auto& [name, property] : stored.items()) {
        if (property.at("type") == "Object")
            continue;
        const platform::Variant value = again.ReadProperty(name);
        if (!(value == bag.ReadProperty(name)))
            std::abort();
    }
    return 0;
}
