#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "entry/EntryKeypad.h"

namespace stampkind {

// Collects an amount of hours and minutes, typed as four digits (HHnn) with an optional minus,
// and stores it in the step's Amount as decimal hours, the minutes rounded to three decimals
// (08:10 is 8.167). The sign survives Reset, so a minus chosen once stays on.
class Hours final : public EntryKeypad {
  public:
    static constexpr std::string_view kProgId = "Stampkind.Hours";
    static constexpr std::size_t kMaxDigits = 4;
    static constexpr std::string_view kInvalidTimeAmount = "Invalid Time Amount";

    static std::shared_ptr<Hours> Create();
    Hours();

    bool IsNegative() const { return Flag(); }

    // "-HH:nn": the sign when negative, then the digits typed with blanks for the rest.
    static std::string FormatHours(std::string_view digits, bool is_negative);

  protected:
    std::string FormatEntry(std::string_view digits) const override {
        return FormatHours(digits, IsNegative());
    }
    Submission Submit() override;
    std::optional<int16_t> CursorPosition() const override;
};

}  // namespace stampkind
