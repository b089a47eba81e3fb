#include "entry/TimeIn.h"

#include "library/LiveObjects.h"
#include "platform/Convert.h"
#include "platform/Services.h"
#include "step/clsStep.h"

namespace stampkind {

namespace {

constexpr EntryStyle kTimeInStyle{
    .prompt = "Enter Date and Time In",
    .max_digits = DateTimeEntry::kMaxDigits,
    .extra = ExtraButton::AmPm,
    .reset_alignment = 0,
    .cursor_shown = true,
    .click_before_key = false,
    .redraw_after_accept = false,
    .reset_clears_flag = true,
    .extra_first_in_tab_order = false,
};

}  // namespace

std::shared_ptr<TimeIn> TimeIn::Create() {
    return MakeCounted<TimeIn>();
}

TimeIn::TimeIn() : DateTimeEntry(kTimeInStyle) {}

DateTimeEntry::Submission TimeIn::Submit() {
    platform::Services& services = platform::services();
    const std::string text = FormatEntry(Entry());

    if (Entry().empty()) {
        Step().SetDateTimeIn(services.Now());
        return Submission::accepted();
    }
    if (Entry().size() == 6) {
        // A date alone means the start of that day; a date that does not exist is only redrawn.
        const auto day = platform::parse_date(DatePart(text), services.Regional());
        if (!day)
            return Submission::kept();
        Step().SetDateTimeIn(*day);
        return Submission::accepted();
    }
    const auto moment = platform::parse_date(text, services.Regional());
    if (!moment)
        return Submission::refused(kInvalidDateOrTime);
    Step().SetDateTimeIn(*moment);
    return Submission::accepted();
}

}  // namespace stampkind
