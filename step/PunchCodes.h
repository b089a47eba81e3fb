#pragma once

#include <array>
#include <string>
#include <string_view>

// The punch codes and everything the component does with each, as one table. Header-only and
// constexpr so that the host can name a punch by the word on its button without linking the
// component.
namespace stampkind {

// Which date-time fields a code writes into the punch's own record, and from which moment.
enum class RecordMoments {
    None,
    In,        // in-fields from the in-moment
    Out,       // out-fields from the out-moment
    OutAsIn,   // in-fields from the out-moment: a break record opens when the employee leaves
    InAsOut,   // out-fields from the in-moment: and closes when the employee returns
    Complete,  // in-fields from the entered date-time in, out-fields from the date-time out
};

// The value keypads embedded in the punch-type keypad, by the value they collect.
enum class ValuePad { None, TimeIn, TimeOut, Hours, Currency };

// One punch code. Codes are compared exactly, letter case included.
struct PunchCode {
    std::string_view code;
    std::string_view word;          // the word on its button; empty: the code has no button
    std::string_view punch_type;    // "Punch Type" written; empty: none
    std::string_view notes;         // "Notes" written; empty: none
    RecordMoments moments;          // the date-time fields written
    std::string_view amount_field;  // the field that receives the amount; empty: none
    std::string_view extra_record;  // the extra record registered; empty: none
    // In manager mode: the keypad shown by the Enter that confirms the type (none: that Enter
    // finishes), and the keypad of the second value once the first is in (none: no second value).
    ValuePad first_pad;
    ValuePad second_pad;
    bool out_equals_in;  // a switch: the date-time out takes the entered date-time in
};

// clang-format off
inline constexpr std::array<PunchCode, 22> kPunchCodes{{
    // code     word            type  notes            moments                 amount      extra first             second             out=in
    {"I",      "IN",           "I",  "",              RecordMoments::In,       "",         "",   ValuePad::TimeIn,  ValuePad::None,     false},
    {"O",      "OUT",          "O",  "",              RecordMoments::Out,      "",         "",   ValuePad::TimeOut, ValuePad::None,     false},
    {"LO",     "LUNCH LEAVE",  "O",  "",              RecordMoments::Out,      "",         "LO", ValuePad::TimeOut, ValuePad::None,     false},
    {"LI",     "LUNCH RETURN", "I",  "",              RecordMoments::In,       "",         "LI", ValuePad::TimeIn,  ValuePad::None,     false},
    {"BO",     "BREAK LEAVE",  "BO", "",              RecordMoments::OutAsIn,  "",         "",   ValuePad::TimeOut, ValuePad::None,     false},
    {"BI",     "BREAK RETURN", "BI", "",              RecordMoments::InAsOut,  "",         "",   ValuePad::TimeIn,  ValuePad::None,     false},
    {"SW",     "SWITCH",       "O",  "",              RecordMoments::Out,      "",         "I",  ValuePad::TimeIn,  ValuePad::None,     true},
    {"GLP",    "SWIPE",        "",   "",              RecordMoments::None,     "",         "",   ValuePad::None,    ValuePad::None,     false},
    {"A",      "ADVANCE",      "A",  "",              RecordMoments::In,       "Advances", "",   ValuePad::TimeIn,  ValuePad::Currency, false},
    {"H",      "HOLIDAY",      "H",  "",              RecordMoments::In,       "Holiday",  "",   ValuePad::TimeIn,  ValuePad::Hours,    false},
    {"S",      "SICK",         "S",  "",              RecordMoments::In,       "Sick",     "",   ValuePad::TimeIn,  ValuePad::Hours,    false},
    {"V",      "VACATION",     "V",  "",              RecordMoments::In,       "Vacation", "",   ValuePad::TimeIn,  ValuePad::Hours,    false},
    {"P",      "PERSONAL",     "P",  "",              RecordMoments::In,       "Personal", "",   ValuePad::TimeIn,  ValuePad::Hours,    false},
    {"B",      "BONUS",        "B",  "",              RecordMoments::In,       "Bonus",    "",   ValuePad::TimeIn,  ValuePad::Hours,    false},
    {"X",      "OTHER",        "X",  "",              RecordMoments::In,       "Other",    "",   ValuePad::TimeIn,  ValuePad::Currency, false},
    {"FL",     "FUNERAL",      "P",  "Funeral Leave", RecordMoments::In,       "Personal", "",   ValuePad::TimeIn,  ValuePad::Hours,    false},
    {"JD",     "JURY DUTY",    "P",  "Jury Duty",     RecordMoments::In,       "Personal", "",   ValuePad::TimeIn,  ValuePad::Hours,    false},
    {"C",      "COMPLETE",     "E",  "",              RecordMoments::Complete, "",         "",   ValuePad::TimeIn,  ValuePad::TimeOut,  false},
    {"Status", "STATUS",       "",   "",              RecordMoments::None,     "",         "",   ValuePad::None,    ValuePad::None,     false},
    // Codes without a button, which a step may still be given: "T" writes nothing, "F" and "J"
    // write only the amount, into "Personal".
    {"T",      "",             "",   "",              RecordMoments::None,     "",         "",   ValuePad::None,    ValuePad::None,     false},
    {"F",      "",             "",   "",              RecordMoments::None,     "Personal", "",   ValuePad::None,    ValuePad::None,     false},
    {"J",      "",             "",   "",              RecordMoments::None,     "Personal", "",   ValuePad::None,    ValuePad::None,     false},
}};
// clang-format on

// The row of a code, compared exactly; null for a code that is not in the table.
constexpr const PunchCode* FindPunchCode(std::string_view code) {
    for (const PunchCode& row : kPunchCodes) {
        if (row.code == code)
            return &row;
    }
    return nullptr;
}

// The word that names a punch to people ("IN", "FUNERAL"): the word on its button, or the code
// itself when it has no button.
inline std::string PunchWord(std::string_view code) {
    const PunchCode* row = FindPunchCode(code);
    return std::string(row && !row->word.empty() ? row->word : code);
}

}  // namespace stampkind
