#include "host/clock/ConfirmationText.h"

#include "host/clock/EmployeeStatistics.h"
#include "platform/Convert.h"
#include "platform/Services.h"
#include "step/PunchCodes.h"

namespace timeclock {

namespace {

using stampkind::PunchWord;

// Codes whose amount is money rather than hours: the amount is typed on the dollar keypad.
bool IsDollars(const stampkind::PunchCode& row) {
    return row.second_pad == stampkind::ValuePad::Currency;
}

std::string Dollars(double amount) {
    return "$" + platform::format_number(amount, "#,##0.00");
}

}  // namespace

// Cut, as the step writes it, never rounded into the next minute (or, at 23:59:59.7, the next
// day) as a date's text would read it; on the clock face of the regional settings.
std::string ConfirmationText::TimeOfDay(platform::Date moment) {
    const bool twelve_hour = platform::services().Regional().twelve_hour_clock;
    return platform::format_date(platform::whole_minute(moment),
                                 twelve_hour ? "h:nn AM/PM" : "hh:nn");
}

// A scripted punch's notices are read by programs as well as people: always a 24-hour clock.
std::string ConfirmationText::TwentyFourHour(platform::Date moment) {
    return platform::format_date(platform::whole_minute(moment), "hh:nn");
}

// Two digits each part, as a person checks a stored punch.
std::string ConfirmationText::Day(platform::Date moment) {
    moment = platform::whole_minute(moment);
    switch (platform::services().Regional().order) {
        case platform::DateOrder::DayMonthYear:
            return platform::format_date(moment, "dd/mm/yyyy");
        case platform::DateOrder::YearMonthDay:
            return platform::format_date(moment, "yyyy/mm/dd");
        case platform::DateOrder::MonthDayYear:
            break;
    }
    return platform::format_date(moment, "mm/dd/yyyy");
}

std::string ConfirmationText::StoredPunch(const std::string& code, platform::Date moment,
                                          const framework::IPunchValues* typed) {
    std::string punch = PunchWord(code);
    const auto* row = stampkind::FindPunchCode(code);
    if (!row)
        typed = nullptr;
    if (typed && !row->amount_field.empty()) {
        const double amount = typed->Amount();
        punch += IsDollars(*row) ? " " + Dollars(amount)
                                 : " " + EmployeeStatistics::FormatHours(amount) + " h";
        return punch + " on " + Day(typed->DateTimeIn());
    }
    if (typed && row->moments == stampkind::RecordMoments::Complete) {
        const platform::Date in = typed->DateTimeIn();
        return punch + " " + Day(in) + " " + TimeOfDay(in) + " to " +
               TimeOfDay(typed->DateTimeOut());
    }
    // A manager types the moment on the code's first value keypad.
    if (typed && row->first_pad != stampkind::ValuePad::None) {
        moment = row->first_pad == stampkind::ValuePad::TimeOut ? typed->DateTimeOut()
                                                                : typed->DateTimeIn();
    }
    return punch + " " + Day(moment) + " " + TimeOfDay(moment);
}

std::string ConfirmationText::EarlierPunch(const std::string& code, platform::Date moment) {
    return PunchWord(code) + " at " + TimeOfDay(moment) + " on " + Day(moment);
}

std::string ConfirmationText::AlreadyRecorded(platform::Date earlier) {
    return "Already recorded at " + TimeOfDay(earlier);
}

std::string ConfirmationText::DuplicateNotice(const std::string& code, platform::Date earlier) {
    return "duplicate of the " + PunchWord(code) + " at " + TwentyFourHour(earlier);
}

std::string ConfirmationText::NotFittingQuestion(const std::string& misfit,
                                                 const std::string& code) {
    return "You are " + misfit + ". Enter: record " + PunchWord(code) + " anyway. Esc: cancel.";
}

std::string ConfirmationText::AlreadyClocked(const std::string& code, platform::Date earlier) {
    return "Already clocked " + PunchWord(code) + " at " + TimeOfDay(earlier);
}

std::string ConfirmationText::AlreadyClockedNotice(const std::string& code,
                                                   platform::Date earlier) {
    return "Already clocked " + PunchWord(code) + " at " + TwentyFourHour(earlier);
}

std::string ConfirmationText::NewShiftQuestion(platform::Date since) {
    const std::string at = TimeOfDay(since);
    return "You are clocked in since " + at + ". Enter: start a new shift (" + at +
           " gets a missing OUT). Esc: cancel.";
}

std::string ConfirmationText::NewShiftNotice(platform::Date since) {
    return "clocked in since " + TwentyFourHour(since);
}

std::string ConfirmationText::ManagerConfirmQuestion(const std::string& manager,
                                                     const std::string& entry,
                                                     const std::string& employee) {
    return manager + ": " + entry + " for " + employee +
           ". Enter your PIN to store it. Esc: cancel.";
}

std::string ConfirmationText::EnteredBy(const std::string& manager, const std::string& employee) {
    return "Entered by " + manager + " for " + employee;
}

std::string ConfirmationText::CardLocked(int32_t card, int tries, platform::Date until) {
    return "Card " + std::to_string(card) + " is locked after " + std::to_string(tries) +
           " wrong PINs. Try again after " + TimeOfDay(until) + ".";
}

std::string ConfirmationText::LockedNow(int32_t card, platform::Date until) {
    return "Too many wrong PINs: card " + std::to_string(card) + " is locked until " +
           TimeOfDay(until) + ".";
}

std::string ConfirmationText::NoPin(int32_t card) {
    return "No PIN is set for manager card " + std::to_string(card) + ". Ask the administrator.";
}

}  // namespace timeclock
