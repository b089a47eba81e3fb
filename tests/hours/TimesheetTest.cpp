#include "host/hours/Timesheet.h"

#include <gtest/gtest.h>

#include <tuple>

#include "host/hours/Audit.h"
#include "tests/support/TempFolder.h"

namespace {

using platform::Variant;

// Day 46358 is Wednesday 2026-12-02.
constexpr int64_t kWednesday = 46358;

// A record of a type on a day at an hour: an out's moment is its out, any other type's its in;
// a vacation's hours as its amount.
std::shared_ptr<orvane::PunchRecord> Record(const char* type, int64_t day, double hour,
                                            double vacation = 0) {
    auto record = std::make_shared<orvane::PunchRecord>("");
    const bool out = std::string(type) == "O";
    record->Item("Punch Type")->SetValue(Variant(std::string(type)));
    record->Item(out ? "Date Out" : "Date In")
        ->SetValue(Variant(platform::Date{static_cast<double>(day)}));
    record->Item(out ? "Time Out" : "Time In")->SetValue(Variant(platform::Date{hour / 24.0}));
    if (vacation != 0)
        record->Item("Vacation")->SetValue(Variant(vacation));
    return record;
}

// A vacation booked by a manager shows who entered it, in the timesheet and in the audit list.
TEST(Timesheet, MarksManagerEntriesAndListsThem) {
    TempFolder folder;
    orvane::ClockDatabase database(folder.path() / "clock.db");
    database.AddEmployee({1001, "Avery Stone", false});
    database.AddEmployee({9001, "Grace Hopper", true});
    const platform::Date entered{kWednesday + 3 + (9 + 14 / 60.0) / 24.0};
    database.StorePunch(
        {1001, Record("V", kWednesday, 8, 8), {}, orvane::ManagerEntry{9001, entered, "door"}});

    const auto sheet = hours::Timesheet::Build(database, kWednesday - 3, kWednesday + 3,
                                               std::nullopt, {platform::Date{kWednesday + 4.0}});
    ASSERT_EQ(sheet.employees.size(), 1u);
    ASSERT_EQ(sheet.employees[0].days.size(), 1u);
    EXPECT_EQ(sheet.employees[0].days[0].entered,
              std::vector<std::string>{"entered by Grace Hopper on 12/05 09:14"});
    EXPECT_EQ(
        sheet.Csv(),
        "Card,Name,Date,Worked,Lunch,Breaks,Holiday,Sick,Vacation,Personal,Funeral Leave,"
        "Jury Duty,Bonus,Advances,Other,Exceptions,Entered,Regular,Overtime,Double Time\n"
        "1001,Avery Stone,2026-12-02,0.00,0.00,0.00,0.00,0.00,8.00,0.00,0.00,0.00,0.00,"
        "0.00,0.00,,entered by Grace Hopper on 12/05 09:14,0.00,0.00,0.00\n"
        "1001,Avery Stone,Total,0.00,,,0.00,0.00,8.00,0.00,0.00,0.00,0.00,0.00,0.00,,,0.00,0.00,"
        "0.00\n");
    EXPECT_NE(hours::AuditList(database, std::nullopt, std::nullopt)
                  .find("2026-12-05 09:14  door  9001 Grace Hopper  1001 Avery Stone  #1 \"V\" "
                        "2026-12-02 08:00 to -"),
              std::string::npos);
}

// Out forgotten on Monday, a long Tuesday, in forgotten and four hours of vacation on Wednesday,
// with overtime past 7:30 a day: the payroll clerk's table counts Tuesday's hours whole, and shows
// Monday's missing out and Wednesday's missing in beside the vacation, whether the clock database
// paired Wednesday's out with Monday's in or kept it apart.
TEST(Timesheet, ForgottenOutAndInLeaveTheDayBetweenWhole) {
    TempFolder folder;
    orvane::ClockDatabase database(folder.path() / "clock.db");
    database.AddEmployee({1001, "Avery Stone", false});
    const int64_t monday = kWednesday - 2;
    for (const auto& [type, day, hour, vacation] : {std::tuple{"I", monday, 8.0, 0.0},
                                                    {"I", monday + 1, 8.0, 0.0},
                                                    {"O", monday + 1, 16.5, 0.0},
                                                    {"O", monday + 2, 16.0, 0.0},
                                                    {"V", monday + 2, 8.0, 4.0}}) {
        database.StorePunch({1001, Record(type, day, hour, vacation), {}, std::nullopt});
    }
    hours::PayRules pay;
    pay.overtime.daily = 450;
    const auto sheet = hours::Timesheet::Build(database, monday, monday + 2, 1001,
                                               {platform::Date{monday + 3.0}}, pay);
    EXPECT_EQ(sheet.Table(), R"(Timesheet 2026-11-30 to 2026-12-02

Card 1001  Avery Stone
Date        Worked          Lunch          Breaks         Leave, dollars, exceptions
2026-11-30  0.00 (0:00)     0.00 (0:00)    0.00 (0:00)    ! missing out (in at 08:00)
2026-12-01  8.50 (8:30)     0.00 (0:00)    0.00 (0:00)
2026-12-02  0.00 (0:00)     0.00 (0:00)    0.00 (0:00)    Vacation 4.00; ! missing in (out at 16:00)
Total       8.50 (8:30)                                   Vacation 4.00
Paid        regular 7.50 (7:30), overtime 1.00 (1:00), double time 0.00 (0:00)
)");
}

}  // namespace
