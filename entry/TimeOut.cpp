#include "entry/TimeOut.h"

#include <tuple>

#include "common/LiveObjects.h"
#include "platform/Convert.h"
#include "platform/Services.h"
#include "step/IEnteredValues.h"

namespace stampkind {

namespace {

// A moment cut to its whole minute (seconds and fractions dropped), comparable in calendar order.
auto MinuteOf(platform::Date moment) {
    const platform::DateParts parts = platform::split_cut(moment);
    return std::make_tuple(parts.year, parts.month, parts.day, parts.hour, parts.minute);
}

}  // namespace

std::shared_ptr<TimeOut> TimeOut::Create() {
    return MakeCounted<TimeOut>();
}

TimeOut::TimeOut() : DateTimeEntry(Style("Enter Date and Time Out", true)) {}

DateTimeEntry::Submission TimeOut::Submit() {
    platform::Services& services = platform::services();
    const platform::RegionalSettings& regional = services.Regional();

    // The present minute stands in for an empty entry, as if its ten digits had been typed; the
    // seconds are dropped first, since the format would round them into the next minute.
    if (Entry().empty())
        SetEntry(platform::format_date(platform::whole_minute(services.Now()), "mmddyyHHnn"));
    if (Entry().size() == 6 && platform::is_date(DatePart(FormatEntry(Entry())), regional)) {
        SetEntry(Entry() + "0000");
    }

    const auto moment = platform::parse_date(FormatEntry(Entry()), regional);
    if (!moment)
        return Submission::Refused(kInvalidDateOrTime);
    if (MinuteOf(*moment) < MinuteOf(Step().DateTimeIn())) {
        return Submission::Refused(kOutBeforeIn);
    }
    Step().SetDateTimeOut(*moment);
    return Submission::Accepted();
}

}  // namespace stampkind
