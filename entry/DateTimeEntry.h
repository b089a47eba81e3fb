#pragma once

#include <string>
#include <string_view>

#include "entry/EntryKeypad.h"
#include "platform/Date.h"

namespace stampkind {

// The part that TimeIn and TimeOut share: ten digits read through the mask mmddyyHHnn and shown
// as "mm/dd/yy HH:nn" with an AM or PM suffix for hours up to 12, chosen by the AM/PM button or
// the "/" key. What Enter accepts and where the moment is stored is each keypad's own.
class DateTimeEntry : public EntryKeypad {
  public:
    static constexpr std::size_t kMaxDigits = 10;
    static constexpr std::string_view kInvalidDateOrTime = "Invalid Date or Time";

    // Whether hours up to 12 are read as PM.
    bool IsPM() const { return Flag(); }

    // The display text of up to ten digits: blanks for the positions not typed yet, "/" after
    // the month and the day, a blank after the year, ":" after the hour, and "  AM" or "  PM"
    // unless the hour is 13 or more ("12/04/26 08:30  AM", "12/04/26 15:30").
    static std::string FormatDateTime(std::string_view digits, bool is_pm);

  protected:
    using EntryKeypad::EntryKeypad;

    // The style both date-time keypads share; they differ in the prompt and in whether the AM/PM
    // button comes first in the tab order.
    static constexpr EntryStyle Style(std::string_view prompt, bool am_pm_first_in_tab_order) {
        return EntryStyle{
            .prompt = prompt,
            .max_digits = kMaxDigits,
            .extra = ExtraButton::AmPm,
            .reset_alignment = 0,
            .cursor_shown = true,
            .click_before_key = false,
            .redraw_after_accept = false,
            .reset_clears_flag = true,
            .extra_first_in_tab_order = am_pm_first_in_tab_order,
        };
    }

    std::string FormatEntry(std::string_view digits) const override {
        return FormatDateTime(digits, IsPM());
    }

    // The date part of a display text ("mm/dd/yy"), which the date test reads on its own when
    // only a date was typed.
    static std::string_view DatePart(std::string_view text) { return text.substr(0, 8); }
};

}  // namespace stampkind
