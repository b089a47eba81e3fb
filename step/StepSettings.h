#pragma once

#include <array>
#include <string_view>

#include "platform/Variant.h"

namespace stampkind {

// The step's settings as a schema: each setting's name and its default value, whose kind is the
// setting's type. A new step adds them in this order, a restored step adds them again so that a
// setting missing from older saved data gets its default, and the setup page edits them by name.
struct StepSetting {
    std::string_view name;
    platform::Variant default_value;
};

inline constexpr std::string_view kAllowedStampkinds = "AllowedStampkinds";
inline constexpr std::string_view kIsGlidepass = "IsGlidepass";
inline constexpr std::string_view kGlidepassSpan = "GlidepassSpan";

// The settings in the order they are added: which manager punch types are offered (one "1" or
// "0" for each of Advance, Holiday, Sick, Vacation, Personal, Bonus, Other, Funeral Leave, Jury
// Duty, Complete), whether the step chooses the punch by itself, and how many hours back that
// choice looks for the employee's last punch.
inline const std::array<StepSetting, 3>& StepSettings() {
    static const std::array<StepSetting, 3> settings{{
        {kAllowedStampkinds, platform::Variant("1111111111")},
        {kIsGlidepass, platform::Variant(false)},
        {kGlidepassSpan, platform::Variant(18.0)},
    }};
    return settings;
}

}  // namespace stampkind
