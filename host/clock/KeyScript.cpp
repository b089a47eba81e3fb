#include "host/clock/KeyScript.h"

#include <charconv>
#include <sstream>

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
        using Kind = ScriptAction::Kind;
        if (token == "ENTER") {
            script.actions.push_back({Kind::Key, kEnter, {}});
        } else if (token == "BS") {
            script.actions.push_back({Kind::Key, kBackspace, {}});
        } else if (token == "ESC") {
            script.actions.push_back({Kind::Cancel, 0, {}});
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
            script.actions.push_back({Kind::Key, static_cast<int16_t>(code), {}});
        } else if (token.starts_with(kClickPrefix)) {
            std::string control = token.substr(kClickPrefix.size());
            if (control.empty()) {
                script.problem = "\"" + token + "\" names no control";
                return script;
            }
            script.actions.push_back({Kind::Click, 0, std::move(control)});
        } else {
            for (unsigned char c : token) {
                script.actions.push_back({Kind::Key, static_cast<int16_t>(c), {}});
            }
        }
    }
    return script;
}

}  // namespace timeclock
