#pragma once

#include <string>

#include "framework/IPunchValues.h"
#include "platform/Date.h"

namespace timeclock {

// What the confirmation says of a punch kept on the clock while its server is away.
inline constexpr const char* kQueuedConfirmation =
    "Recorded on this clock. It will be sent when the server is back.";
// What the confirmation adds to figures computed while the server is away.
inline constexpr const char* kIncompleteFigures =
    "The server cannot be reached: these figures may be incomplete.";

// The texts in which the clock tells a person about punches and manager cards: the line that
// confirms a stored punch, the answer to a repeated punch, the question for a punch that does
// not fit, a scripted punch's notices and the PIN lock's messages. Moments read as a stored
// record holds them (to the minute, never rounded up), times of day on the regional clock face
// (8:00 AM, or 08:00 on a 24-hour clock), days in the regional order of their parts. It decides
// nothing: the clock says what happened and shows the text it gets.
class ConfirmationText {
  public:
    // "8:00 AM", or "08:00" on a 24-hour clock: the minute a record holds of a moment.
    static std::string TimeOfDay(platform::Date moment);
    // "08:00" whatever the regional settings: the form of a scripted punch's notices.
    static std::string TwentyFourHour(platform::Date moment);
    // "12/04/2026", or "04/12/2026" with the day first.
    static std::string Day(platform::Date moment);

    // The stored punch: "IN 12/04/2026 8:00 AM". With the values a manager typed (null: none),
    // the typed moment, "VACATION 8:00 h on 12/04/2026", "ADVANCE $50.00 on 12/04/2026" or
    // "COMPLETE 12/04/2026 8:00 AM to 5:00 PM"; values the step keeps from earlier punches are left
    // out because only what this punch's code takes is read.
    static std::string StoredPunch(const std::string& code, platform::Date moment,
                                   const framework::IPunchValues* typed);
    // The same punch stored earlier: "IN at 08:00 on 12/04/2026".
    static std::string EarlierPunch(const std::string& code, platform::Date moment);
    static std::string AlreadyRecorded(platform::Date earlier);
    // A scripted punch's notice of a duplicate, on a 24-hour clock: "duplicate of the IN at 08:00".
    static std::string DuplicateNotice(const std::string& code, platform::Date earlier);
    // `misfit` as the punch history words it ("not clocked in").
    static std::string NotFittingQuestion(const std::string& misfit, const std::string& code);

    // A second card read of the automatic punch within the duplicate time: "Already clocked IN
    // at 03:07".
    static std::string AlreadyClocked(const std::string& code, platform::Date earlier);
    // The scripted punch's notice of it, on a 24-hour clock: "Already clocked IN at 03:07".
    static std::string AlreadyClockedNotice(const std::string& code, platform::Date earlier);
    // An IN while the employee's shift is open: "You are clocked in since 08:00. Enter: start a
    // new shift (08:00 gets a missing OUT). Esc: cancel."; the scripted punch's notice of it,
    // "clocked in since 08:00".
    static std::string NewShiftQuestion(platform::Date since);
    static std::string NewShiftNotice(platform::Date since);
    // The manager's last look at an entry before it is stored: what, for whom, and the PIN.
    static std::string ManagerConfirmQuestion(const std::string& manager, const std::string& entry,
                                              const std::string& employee);
    // Who entered what for whom, on the confirmation of a manager's entry.
    static std::string EnteredBy(const std::string& manager, const std::string& employee);

    static std::string CardLocked(int32_t card, int tries, platform::Date until);
    static std::string LockedNow(int32_t card, platform::Date until);
    static std::string NoPin(int32_t card);
};

}  // namespace timeclock
