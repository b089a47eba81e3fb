#include "entry/Currency.h"

#include <cstdint>

#include "common/LiveObjects.h"
#include "platform/Variant.h"
#include "step/IEnteredValues.h"

namespace stampkind {

namespace {

constexpr EntryStyle kCurrencyStyle{
    .prompt = "Enter Dollar Amount",
    .max_digits = Currency::kMaxDigits,
    .extra = ExtraButton::PlusMinus,
    .reset_alignment = 1,
    .cursor_shown = false,
    .click_before_key = true,
    .redraw_after_accept = true,
    .reset_clears_flag = false,
    .extra_first_in_tab_order = false,
};

constexpr int64_t kTenThousandthsPerCent = 100;

}  // namespace

std::shared_ptr<Currency> Currency::Create() {
    return MakeCounted<Currency>();
}

Currency::Currency() : EntryKeypad(kCurrencyStyle) {}

std::string Currency::FormatDollars(std::string_view digits, bool is_negative) {
    digits = digits.substr(0, kMaxDigits);
    std::string s(kMaxDigits - digits.size(), ' ');
    s.append(digits);
    std::string text = is_negative ? "-$" : "$";
    text.append(s, 0, 6).append(".").append(s, 6, 2);
    return text;
}

EntryKeypad::Submission Currency::Submit() {
    int64_t cents = 0;
    for (char digit : Entry())
        cents = cents * 10 + (digit - '0');
    if (cents == 0)
        return Submission::Refused(kInvalidDollarAmount);

    // Through the money type, so that the amount is exact to the cent.
    const platform::Currency money{(IsNegative() ? -cents : cents) * kTenThousandthsPerCent};
    Step().SetAmount(platform::Variant(money).to_double());
    SendAlignment(0);
    return Submission::Accepted();
}

}  // namespace stampkind
