#include "entry/TimeIn.h"

#include "common/LiveObjects.h"
#include "platform/Convert.h"
#include "platform/Services.h"
#include "step/IEnteredValues.h"

namespace stampkind {

std::shared_ptr<TimeIn> TimeIn::Create() {
    return MakeCounted<TimeIn>();
}

TimeIn::TimeIn() : DateTimeEntry(Style("Enter Date and Time In", false)) {}

DateTimeEntry::Submission TimeIn::Submit() {
    platform::Services& services = platform::services();
    const std::string text = FormatEntry(Entry());

    if (Entry().empty()) {
        Step().SetDateTimeIn(services.Now());
        return Submission::Accepted();
    }
    if (Entry().size() == 6) {
        // A date alone means the start of that day; a date that does not exist is only redrawn.
        const auto day = platform::parse_date(DatePart(text), services.Regional());
        if (!day)
            return Submission::Kept();
        Step().SetDateTimeIn(*day);
        return Submission::Accepted();
    }
    const auto moment = platform::parse_date(text, services.Regional());
    if (!moment)
        return Submission::Refused(kInvalidDateOrTime);
    Step().SetDateTimeIn(*moment);
    return Submission::Accepted();
}

}  // namespace stampkind
