#pragma once

#include <memory>
#include <string_view>

#include "entry/DateTimeEntry.h"

namespace stampkind {

// Collects the date and time an employee came in, typed as up to ten digits (mmddyyHHnn), and
// stores the accepted moment in the step's DateTimeIn. An empty entry takes the present moment;
// six digits take that date at midnight.
class TimeIn final : public DateTimeEntry {
  public:
    static constexpr std::string_view kProgId = "Stampkind.TimeIn";

    static std::shared_ptr<TimeIn> Create();
    TimeIn();

  protected:
    Submission Submit() override;
};

}  // namespace stampkind
