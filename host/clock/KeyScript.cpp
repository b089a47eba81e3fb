#include "host/clock/KeyScript.h"

#include <charconv>
#include <sstream>
#include <variant>

#include "framework/KeyCodes.h"
namespace timeclock {

namespace {
using framework::keys::kBackspace;
using framework::keys::kEnter;
constexpr std::string_view kKeyPrefix = "KEY:";
constexpr std::string_view kClickPrefix = "CLICK:";
}  // namespace

KeyScript KeyScript::Parse(std::string_view text) {
    KeyScript script;
    std::istringstream tokens{std::string(text)};
    std::string token;
    while (tokens >> token) {
        if (token == "ENTER") {
            script.actions.emplace_back(std::in_place_type<input::Key>, kEnter);
        } else if (token == "BS") {
            script.actions.emplace_back(std::in_place_type<input::Key>, kBackspace);
        } else if (token == "ESC") {
            script.actions.emplace_back(std::in_place_type<input::Escape>);
        } else if (token.starts_with(kKeyPrefix)) {
            const std::string_view digits = std::string_view(token).substr(kKeyPrefix.size());
            int code = -1;
            const auto [end, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), code);
            if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
                code < 0 || code > INT16_MAX) {
                script.problem = "\"" + token + "\" is no character code from 0 to 32767";
                return script;
            }
            script.actions.emplace_back(std::in_place_type<input::Key>, static_cast<int16_t>(code));
        } else if (token.starts_with(kClickPrefix)) {
            std::string control = token.substr(kClickPrefix.size());
            if (control.empty()) {
                script.problem = "\"" + token + "\" names no control";
                return script;
            }
            script.actions.emplace_back(std::in_place_type<input::Click>, std::move(control));
        } else {
            for (unsigned char c : token)
                script.actions.emplace_back(std::in_place_type<input::Key>,
                                            static_cast<int16_t>(c));
        }
    }
    return script;
}

}  // namespace timeclock
