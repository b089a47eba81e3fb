#include "entry/Hours.h"

#include "common/LiveObjects.h"
#include "platform/Convert.h"
#include "platform/Services.h"
#include "step/IEnteredValues.h"

namespace stampkind {

namespace {

constexpr EntryStyle kHoursStyle{
    .prompt = "Enter Hours",
    .max_digits = Hours::kMaxDigits,
    .extra = ExtraButton::PlusMinus,
    .reset_alignment = 0,
    .cursor_shown = true,
    .click_before_key = true,
    .redraw_after_accept = true,
    .reset_clears_flag = false,
    .extra_first_in_tab_order = false,
};

}  // namespace

std::shared_ptr<Hours> Hours::Create() {
    return MakeCounted<Hours>();
}

Hours::Hours() : EntryKeypad(kHoursStyle) {}

std::string Hours::FormatHours(std::string_view digits, bool is_negative) {
    std::string s(digits.substr(0, kMaxDigits));
    s.resize(kMaxDigits, ' ');
    std::string text = is_negative ? "-" : "";
    text.append(s, 0, 2).append(":").append(s, 2, 2);
    return text;
}

EntryKeypad::Submission Hours::Submit() {
    if (Entry().size() != kMaxDigits)
        return Submission::Refused(kInvalidTimeAmount);

    // The digits read as a time of day ("0830" as "8:30"): the date test refuses hours past 23
    // and minutes past 59.
    const double whole = std::stod(Entry());
    const auto time = platform::parse_date(platform::format_number(whole, "0:00"),
                                           platform::services().Regional());
    if (!time)
        return Submission::Refused(kInvalidTimeAmount);

    const platform::DateParts parts = platform::split_rounded(*time);
    const double fraction =
        platform::leading_number(platform::format_number(parts.minute / 60.0, ".000"));
    const double amount = parts.hour + fraction;
    Step().SetAmount(IsNegative() ? -amount : amount);
    return Submission::Accepted();
}

std::optional<int16_t> Hours::CursorPosition() const {
    // The minus sign takes the first position of the display.
    const auto position = EntryKeypad::CursorPosition();
    return static_cast<int16_t>(*position + (IsNegative() ? 1 : 0));
}

}  // namespace stampkind
