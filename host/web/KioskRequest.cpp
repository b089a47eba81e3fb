#include "host/web/KioskRequest.h"

#include <nlohmann/json.hpp>

namespace timeclock::web {

namespace {

constexpr size_t kLongestPath = 64;

// A control path as the engine names one: "cmdStampkind(3)", "TimeIn1.cmdButton(5)".
bool IsControlPath(std::string_view path) {
    if (path.empty() || path.size() > kLongestPath)
        return false;
    for (char c : path) {
        const bool fits = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '(' || c == ')';
        if (!fits)
            return false;
    }
    return true;
}

// A key a person can type at a kiosk: Backspace, Enter, or a printable character.
bool IsKioskKey(int64_t key) {
    return key == 8 || key == 13 || (key >= 32 && key <= 126);
}

}  // namespace

std::variant<KioskInput, std::string> ParseKioskInput(std::string_view body) {
    const auto json = nlohmann::json::parse(body, nullptr, false);
    if (!json.is_object() || json.size() != 1)
        return std::string("An input is one key, one click or an escape.");
    if (const auto key = json.find("key"); key != json.end()) {
        if (!key->is_number_integer() || !IsKioskKey(key->get<int64_t>()))
            return std::string("That key is not one a kiosk takes.");
        return KioskInput{input::Key{static_cast<int16_t>(key->get<int64_t>())}};
    }
    if (const auto click = json.find("click"); click != json.end()) {
        if (!click->is_string() || !IsControlPath(click->get<std::string>()))
            return std::string("That is no button of the kiosk.");
        return KioskInput{input::Click{click->get<std::string>()}};
    }
    if (const auto escape = json.find("escape"); escape != json.end() && *escape == true)
        return KioskInput{input::Escape{}};
    return std::string("An input is one key, one click or an escape.");
}

std::string KioskInputJson(const KioskInput& input) {
    if (const auto* key = std::get_if<input::Key>(&input))
        return nlohmann::json{{"key", key->code}}.dump();
    if (const auto* click = std::get_if<input::Click>(&input))
        return nlohmann::json{{"click", click->path}}.dump();
    if (const auto* tick = std::get_if<input::Tick>(&input))
        return nlohmann::json{{"tick", tick->now.days}}.dump();
    return nlohmann::json{{"escape", true}}.dump();
}

std::variant<KioskRequest, std::string> ParseKioskRequest(std::string_view body) {
    auto json = nlohmann::json::parse(body, nullptr, false);
    KioskRequest request;
    if (json.is_object()) {
        if (const auto holder = json.find("holder"); holder != json.end()) {
            if (!holder->is_number_unsigned() || holder->get<uint64_t>() == 0)
                return std::string("That is no hold of this kiosk.");
            request.holder = holder->get<uint64_t>();
            json.erase(holder);
        }
        if (const auto hold = json.find("hold"); hold != json.end() && json.size() == 1) {
            if (*hold != true)
                return std::string("A hold is {\"hold\": true}.");
            request.hold = true;
            return request;
        }
    }
    // What is left is the input itself.
    auto input = ParseKioskInput(json.is_discarded() ? std::string(body) : json.dump());
    if (auto* refused = std::get_if<std::string>(&input))
        return std::move(*refused);
    request.input = std::get<KioskInput>(std::move(input));
    return request;
}

}  // namespace timeclock::web
