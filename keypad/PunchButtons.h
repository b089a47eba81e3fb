#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "step/PunchCodes.h"

namespace stampkind {

// One punch-type button of the punch-type keypad. Its caption is the punch code's word (see
// step/PunchCodes.h), a carriage return and the key character; its Tag is the punch code. `page` is
// the page whose mask shows it (-1: no page), `allowed` the 1-based position of the character of
// the step's "AllowedStampkinds" setting that enables it (0: always enabled). Positions are in
// twips.
struct PunchButton {
    std::string_view tag;
    char key;
    int page;
    int left;
    int top;
    int allowed;
};

inline constexpr int kNoPage = -1;
inline constexpr int kAlwaysEnabled = 0;
// The index of STATUS, which is offered only when the sequence has a statistics step.
inline constexpr int kStatusIndex = 18;
inline constexpr int kFirstManagerIndex = 8;
inline constexpr int kLastManagerIndex = 17;

// The punch-type buttons, cmdStampkind(0) to cmdStampkind(18): two columns (Left 120, 1560) and
// five rows (Top 120, 840, 1560, 2280, 3000).
inline constexpr std::array<PunchButton, 19> kPunchButtons{{
    {"I", '1', 0, 120, 120, kAlwaysEnabled},
    {"O", '2', 0, 1560, 120, kAlwaysEnabled},
    {"LO", '3', 0, 120, 840, kAlwaysEnabled},
    {"LI", '4', 0, 1560, 840, kAlwaysEnabled},
    {"BO", '5', 0, 120, 1560, kAlwaysEnabled},
    {"BI", '6', 0, 1560, 1560, kAlwaysEnabled},
    {"SW", '7', 0, 120, 2280, kAlwaysEnabled},
    {"GLP", '8', kNoPage, 1560, 2280, kAlwaysEnabled},
    {"A", '1', 1, 120, 120, 1},
    {"H", '2', 1, 1560, 120, 2},
    {"S", '3', 1, 120, 840, 3},
    {"V", '4', 1, 1560, 840, 4},
    {"P", '5', 1, 120, 1560, 5},
    {"B", '6', 1, 1560, 1560, 6},
    {"X", '7', 1, 120, 2280, 7},
    {"FL", '8', 1, 1560, 2280, 8},
    {"JD", '1', 2, 120, 120, 9},
    {"C", '2', 2, 1560, 120, 10},
    {"Status", '0', 0, 1560, 3000, kAlwaysEnabled},
}};

// The page masks: character k (from 1) shows or hides cmdStampkind(k - 1). Page 3 is the blank
// page shown while a value is being entered.
inline constexpr int kBlankPage = 3;
inline constexpr int kLastPunchPage = 2;
inline constexpr std::array<std::string_view, 4> kLayoutMasks{
    "1111111000000000001",
    "0000000011111111000",
    "0000000000000000110",
    "0000000000000000000",
};

// Every button's code has a word.
constexpr bool ButtonsHaveWords() {
    for (const PunchButton& button : kPunchButtons) {
        const PunchCode* code = FindPunchCode(button.tag);
        if (!code || code->word.empty())
            return false;
    }
    return true;
}
static_assert(ButtonsHaveWords());

// The masks say the same as the page column of the button table.
constexpr bool MasksMatchButtonPages() {
    for (std::size_t page = 0; page < kLayoutMasks.size(); ++page) {
        if (kLayoutMasks[page].size() != kPunchButtons.size())
            return false;
        for (std::size_t i = 0; i < kPunchButtons.size(); ++i) {
            const bool shown = kPunchButtons[i].page == static_cast<int>(page);
            if ((kLayoutMasks[page][i] == '1') != shown)
                return false;
        }
    }
    return true;
}
static_assert(MasksMatchButtonPages());

// How a digit key picks a button on a page: keys `first` to `last` choose the index key - offset.
struct DigitRule {
    int page;
    char first;
    char last;
    int offset;
};

// Page 0: "1".."7" choose IN..SWITCH and "0" chooses STATUS. Page 1: "0".."8" choose 7..15 (7 is
// SWIPE, on no page). Page 2: "0".."2" choose 15..17 (15 is not on page 2). Other keys choose
// nothing.
inline constexpr std::array<DigitRule, 4> kDigitRules{{
    {0, '1', '7', 49},
    {0, '0', '0', 30},
    {1, '0', '8', 41},
    {2, '0', '2', 33},
}};

}  // namespace stampkind
