#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/clock/Input.h"

namespace timeclock {

// Reads the --keys text of a scripted punch into the clock's inputs: tokens separated by
// blanks, each ENTER, BS, ESC (an escape), KEY:n (a character code), CLICK:NAME (a click on a
// control by its path), or a run of characters typed one by one. Gives the problem as text when
// a token cannot be read.
struct KeyScript {
    std::vector<Input> actions;
    std::string problem;

    static KeyScript Parse(std::string_view text);
};

}  // namespace timeclock
