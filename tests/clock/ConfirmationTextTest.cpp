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
    StoredCase{"EmployeesOwnPunchAtItsMinute", "I", false, "IN 12/04/2026 08:00"},
    // The values the step keeps from an earlier manager's entry are not this punch's.
    StoredCase{"EmployeesVacationShowsNoKeptHours", "V", false, "VACATION 12/04/2026 08:00"},
    StoredCase{"ManagersInAtTheTypedMoment", "I", true, "IN 12/03/2026 06:30"},
    StoredCase{"ManagersOutAtTheTypedOut", "LO", true, "LUNCH LEAVE 12/03/2026 15:45"},
    StoredCase{"HoursOnTheTypedDay", "V", true, "VACATION 1250:30 h on 12/03/2026"},
    StoredCase{"DollarsOnTheTypedDay", "A", true, "ADVANCE $1,250.50 on 12/03/2026"},
    StoredCase{"CompleteFromInToOut", "C", true, "COMPLETE 12/03/2026 06:30 to 15:45"},
    StoredCase{"UnknownCodeByItself", "ZZ", true, "ZZ 12/04/2026 08:00"}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(ConfirmationTextMoments, CutToTheMinuteInTheRegionalOrder) {
    platform::FakeServices fake{At(4, 8, 0)};
    platform::ServicesScope scope{fake};
    // Never rounded into the next minute, nor the next day.
    const platform::Date late{At(4, 23, 59, 59).days + 0.7 / 86400.0};
    EXPECT_EQ(ConfirmationText::EarlierPunch("O", late), "OUT at 23:59 on 12/04/2026");
    fake.regional = platform::RegionalSettings::british_english();
    EXPECT_EQ(ConfirmationText::EarlierPunch("O", late), "OUT at 23:59 on 04/12/2026");
}

}  // namespace
