// The lines that confirm a stored punch: which of the values a manager typed each punch shows,
// and moments read as a record holds them.
#include "host/clock/ConfirmationText.h"

#include <gtest/gtest.h>

#include "platform/FakeServices.h"
#include "platform/Services.h"

namespace {

using timeclock::ConfirmationText;

platform::Date At(int day, int hour, int minute, int second = 0) {
    return *platform::make_date_time({2026, 12, day, hour, minute, second});
}

// The values a step holds after a manager's entries (and after earlier punches).
struct TypedValues final : framework::IPunchValues {
    platform::Date in, out;
    double amount = 0;
    platform::Date DateTimeIn() const override { return in; }
    platform::Date DateTimeOut() const override { return out; }
    double Amount() const override { return amount; }
};

struct StoredCase {
    const char* name;
    const char* code;
    bool typed;
    const char* line;
};

class StoredPunch : public ::testing::TestWithParam<StoredCase> {
  protected:
    platform::FakeServices m_fake{At(4, 8, 0)};
    platform::ServicesScope m_scope{m_fake};
};

TEST_P(StoredPunch, Line) {
    const auto& c = GetParam();
    TypedValues values;
    values.in = At(3, 6, 30);
    values.out = At(3, 15, 45);
    values.amount = 1250.5;
    EXPECT_EQ(ConfirmationText::StoredPunch(c.code, At(4, 8, 0, 59), c.typed ? &values : nullptr),
              c.line);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(ConfirmationText, StoredPunch, ::testing::Values(
    StoredCase{"EmployeesOwnPunchAtItsMinute", "I", false, "IN 12/04/2026 8:00 AM"},
    // The values the step keeps from an earlier manager's entry are not this punch's.
    StoredCase{"EmployeesVacationShowsNoKeptHours", "V", false, "VACATION 12/04/2026 8:00 AM"},
    StoredCase{"ManagersInAtTheTypedMoment", "I", true, "IN 12/03/2026 6:30 AM"},
    StoredCase{"ManagersOutAtTheTypedOut", "LO", true, "LUNCH LEAVE 12/03/2026 3:45 PM"},
    // An amount of hours is no time of day: never AM or PM.
    StoredCase{"HoursOnTheTypedDay", "V", true, "VACATION 1250:30 h on 12/03/2026"},
    StoredCase{"DollarsOnTheTypedDay", "A", true, "ADVANCE $1,250.50 on 12/03/2026"},
    StoredCase{"CompleteFromInToOut", "C", true, "COMPLETE 12/03/2026 6:30 AM to 3:45 PM"},
    StoredCase{"UnknownCodeByItself", "ZZ", true, "ZZ 12/04/2026 8:00 AM"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Each text with a moment, under a 12-hour clock with the month first and a 24-hour clock with
// the day first: midnight and noon are where a 12-hour clock goes wrong, and a moment is never
// rounded into the next minute, nor the next day.
TEST(ConfirmationTextMoments, FollowTheRegionalClockAndOrder) {
    platform::FakeServices fake{At(4, 8, 0)};
    platform::ServicesScope scope{fake};
    const platform::Date late{At(4, 23, 59, 59).days + 0.7 / 86400.0};
    const platform::Date midnight = At(4, 0, 10), noon = At(4, 12, 5);
    struct Case {
        std::string (*text)(platform::Date);
        platform::Date moment;
        const char* us;
        const char* british;
    };
    const Case cases[] = {
        {[](platform::Date m) { return ConfirmationText::EarlierPunch("O", m); }, late,
         "OUT at 11:59 PM on 12/04/2026", "OUT at 23:59 on 04/12/2026"},
        {[](platform::Date m) { return ConfirmationText::EarlierPunch("I", m); }, midnight,
         "IN at 12:10 AM on 12/04/2026", "IN at 00:10 on 04/12/2026"},
        {ConfirmationText::AlreadyRecorded, noon, "Already recorded at 12:05 PM",
         "Already recorded at 12:05"},
        {[](platform::Date m) { return ConfirmationText::AlreadyClocked("I", m); }, midnight,
         "Already clocked IN at 12:10 AM", "Already clocked IN at 00:10"},
        {ConfirmationText::NewShiftQuestion, noon,
         "You are clocked in since 12:05 PM. Enter: start a new shift (12:05 PM gets a missing "
         "OUT). Esc: cancel.",
         "You are clocked in since 12:05. Enter: start a new shift (12:05 gets a missing OUT). "
         "Esc: cancel."},
        {[](platform::Date m) { return ConfirmationText::LockedNow(9001, m); }, late,
         "Too many wrong PINs: card 9001 is locked until 11:59 PM.",
         "Too many wrong PINs: card 9001 is locked until 23:59."},
        // A scripted punch's notices are read by programs: the same text under every setting.
        {[](platform::Date m) { return ConfirmationText::DuplicateNotice("I", m); }, midnight,
         "duplicate of the IN at 00:10", "duplicate of the IN at 00:10"},
        {ConfirmationText::NewShiftNotice, late, "clocked in since 23:59",
         "clocked in since 23:59"},
    };
    for (const auto& c : cases) {
        fake.regional = platform::RegionalSettings::us_english();
        EXPECT_EQ(c.text(c.moment), c.us);
        fake.regional = platform::RegionalSettings::british_english();
        EXPECT_EQ(c.text(c.moment), c.british);
    }
}

}  // namespace
