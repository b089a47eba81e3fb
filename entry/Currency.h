#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "entry/EntryKeypad.h"

namespace stampkind {

// Collects a dollar amount with an optional minus, filled from the right like a cash register
// (the last two digits typed are the cents, at most eight digits), and stores it in the step's
// Amount exact to the cent. The entry is right-aligned on the display without a cursor; the sign
// survives Reset.
class Currency final : public EntryKeypad {
  public:
    static constexpr std::string_view kProgId = "Stampkind.Currency";
    static constexpr std::size_t kMaxDigits = 8;
    static constexpr std::string_view kInvalidDollarAmount = "Invalid Dollar Amount";

    static std::shared_ptr<Currency> Create();
    Currency();

    bool IsNegative() const { return Flag(); }

    // "-$dddddd.cc": the sign when negative, "$", then the digits right-aligned in eight places
    // with a point before the last two ("$    12.34").
    static std::string FormatDollars(std::string_view digits, bool is_negative);

  protected:
    std::string FormatEntry(std::string_view digits) const override {
        return FormatDollars(digits, IsNegative());
    }
    Submission Submit() override;
    std::optional<int16_t> CursorPosition() const override { return std::nullopt; }
};

}  // namespace stampkind
