#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace timeclock {

// One step of a scripted punch: a key, a click on a keypad control, or giving the punch up.
struct ScriptAction {
    enum class Kind { Key, Click, Cancel };
    Kind kind = Kind::Key;
    int16_t key = 0;
    std::string control;  // for Click: "cmdStampkind(3)", "TimeIn1.cmdAmPm"

    friend bool operator==(const ScriptAction&, const ScriptAction&) = default;
};

// Reads the --keys text of a scripted punch: tokens separated by blanks, each ENTER, BS, ESC,
// KEY:n (a character code), CLICK:NAME, or a run of characters typed one by one. Gives the
// problem as text when a token cannot be read.
struct KeyScript {
    std::vector<ScriptAction> actions;
    std::string problem;

    static KeyScript Parse(std::string_view text);
};

}  // namespace timeclock
