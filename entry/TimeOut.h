#pragma once

#include <memory>
#include <string_view>

#include "entry/DateTimeEntry.h"

namespace stampkind {

// Collects the date and time an employee went out, typed as up to ten digits (mmddyyHHnn), and
// stores the accepted moment in the step's DateTimeOut. An empty entry is filled in with the
// present minute and six digits with midnight, and then checked like typed digits. A moment
// before the step's DateTimeIn (to the minute) is refused.
class TimeOut final : public DateTimeEntry {
  public:
    static constexpr std::string_view kProgId = "Stampkind.TimeOut";
    static constexpr std::string_view kOutBeforeIn = "Date Out is before Date In";

    static std::shared_ptr<TimeOut> Create();
    TimeOut();

  protected:
    Submission Submit() override;
};

}  // namespace stampkind
