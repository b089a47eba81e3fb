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

// Out forgotten on Monday, a normal Tuesday, in forgotten on Wednesday: Tuesday's hours count,
// Monday shows its missing out and Wednesday its missing in, whether the clock database paired
// Wednesday's out with Monday's in or kept it apart.
TEST(Timesheet, ForgottenOutAndInLeaveTheDayBetweenWhole) {
    TempFolder folder;
    orvane::ClockDatabase database(folder.path() / "clock.db");
    database.AddEmployee({1001, "Avery Stone", false});
    const int64_t monday = kWednesday - 2;
    for (const auto& [type, day, hour] : {std::tuple{"I", monday, 8.0},
                                          {"I", monday + 1, 8.0},
                                          {"O", monday + 1, 16.0},
                                          {"O", monday + 2, 16.0}}) {
        database.StorePunch({1001, Record(type, day, hour), {}, std::nullopt});
    }

    const auto sheet =
        hours::Timesheet::Build(database, monday, monday + 2, 1001, {platform::Date{monday + 3.0}});
    ASSERT_EQ(sheet.employees.size(), 1u);
    const auto& days = sheet.employees[0].days;
    ASSERT_EQ(days.size(), 3u);
    const auto exceptions = [&](size_t i) {
        std::string texts;
        for (const auto& exception : days[i].figures.exceptions)
            texts += exception.text + ";";
        return texts;
    };
    EXPECT_EQ(exceptions(0), "missing out (in at 08:00);");
    EXPECT_EQ(days[1].figures.worked, 8 * 60);
    EXPECT_EQ(exceptions(1), "");
    EXPECT_EQ(exceptions(2), "missing in (out at 16:00);");
    EXPECT_EQ(sheet.employees[0].worked, 8 * 60);
}

}  // namespace
