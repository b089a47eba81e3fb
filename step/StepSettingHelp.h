#pragma once

#include <array>
#include <string_view>

#include "step/StepSettings.h"

// What each of the step's settings does, in a line an administrator reads beside its field, with
// the bounds the administrator's pages check before anything is applied.
namespace stampkind {

struct StepSettingHelp {
    SettingId id;
    std::string_view unit;  // of a number; empty for the others
    std::string_view help;
    double least = 0;  // a number's bounds: more than `least`, at most `most`
    double most = 0;
};

inline const std::array<StepSettingHelp, 3>& StepSettingHelps() {
    static const std::array<StepSettingHelp, 3> kHelp{{
        {SettingId::AllowedStampkinds, "",
         "The leave, money and other entries a manager may book at the clock in manager mode; "
         "an employee's own IN, OUT, lunch and break punches are always offered."},
        {SettingId::IsGlidepass, "",
         "The automatic punch: the employee only types the card and the clock records the punch "
         "that follows the last one within the reset span (OUT after IN, LUNCH RETURN after "
         "LUNCH LEAVE; IN when there is none). Manager entries are never chosen this way."},
        {SettingId::GlidepassSpan, "hours",
         "How far back, in hours, the automatic punch looks for the employee's last punch; an "
         "older punch is forgotten and the next punch is an IN.",
         0, 168},
    }};
    return kHelp;
}

inline const StepSettingHelp& HelpOf(SettingId id) {
    return StepSettingHelps()[static_cast<size_t>(id)];
}

}  // namespace stampkind
