// Reads arbitrary bytes as the body of a kiosk page's input request, which the server never
// trusts. A body is either refused with a message or read as one input the kiosk takes: a key
// of Backspace, Enter or a printable character, a control path of letters, digits and "_.()" up
// to 64 characters, or an escape. An input that is read, sent again as the page sends it, reads
// back the same. Read as a request, the same bytes give a hold or an input that reads back the
// same, under a positive hold number or none.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

#include "host/web/KioskRequest.h"

using timeclock::web::KioskInput;

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const auto request = timeclock::web::ParseKioskRequest(body);
    if (const auto* read = std::get_if<timeclock::web::KioskRequest>(&request);
        read && !read->hold) {
        const auto again =
            timeclock::web::ParseKioskInput(timeclock::web::KioskInputJson(read->input));
        Check(std::holds_alternative<KioskInput>(again) &&
              std::get<KioskInput>(again) == read->input);
    }
    const auto parsed = timeclock::web::ParseKioskInput(body);
    if (const auto* refused = std::get_if<std::string>(&parsed)) {
        Check(!refused->empty());
        return 0;
    }
    const auto& input = std::get<KioskInput>(parsed);
    Check(!std::holds_alternative<timeclock::input::Tick>(input));
    if (const auto* key = std::get_if<timeclock::input::Key>(&input))
        Check(key->code == 8 || key->code == 13 || (key->code >= 32 && key->code <= 126));
    if (const auto* click = std::get_if<timeclock::input::Click>(&input)) {
        Check(!click->path.empty() && click->path.size() <= 64);
        for (char c : click->path)
            Check(std::string_view("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                   "0123456789_.()")
                      .find(c) != std::string_view::npos);
    }
    const auto again = timeclock::web::ParseKioskInput(timeclock::web::KioskInputJson(input));
    Check(std::holds_alternative<KioskInput>(again) && std::get<KioskInput>(again) == input);
    return 0;
}
