#include "host/punches/Reading.h"
#include "host/punches/Shift.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

using punches::Activity;
using punches::Row;

// Day 46356 is Monday 2026-11-30. Moments are hours from Monday's midnight.
constexpr double kMonday = 46356;

platform::Date At(double hours) {
    return platform::Date{kMonday + hours / 24.0};
}

// A row as the clock database stores it, under the "ID" given or the next one.
Row Stored(const char* type, std::optional<double> in, std::optional<double> out = std::nullopt,
           int64_t id = 0) {
    static int64_t next_id = 1;
    Row row;
    row.id = id ? id : next_id++;
    row.card = 1001;
    row.punch_type = type;
    const auto place = [](double hours, auto& date, auto& time) {
        const double moment = At(hours).days;
        date = platform::Date{std::floor(moment)};
        time = platform::Date{moment - std::floor(moment)};
    };
    if (in)
        place(*in, row.date_in, row.time_in);
    if (out)
        place(*out, row.date_out, row.time_out);
    return row;
}

TEST(Shift, ClosingPunchClosesOnlyARecordWithinTheLongestShift) {
    const punches::ShiftRules rules;  // 16 hours
    const struct {
        double opened, closing;
        bool may;
    } cases[] = {
        {8, 8, true},
        {8, 17, true},
        {8, 24, true},  // exactly the longest shift
        {8, 24 + 1 / 60.0, false},
        {8, 8 + 56, false},
        {9, 8, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(punches::MayClose(At(c.opened), At(c.closing), rules), c.may)
            << c.opened << " to " << c.closing;
    }
    EXPECT_FALSE(punches::MayClose(At(8), At(13), {4.5}));
    EXPECT_EQ(punches::ToMinutes(punches::EarliestClosable(At(30), rules)),
              punches::ToMinutes(At(14)));
}

struct StateCase {
    const char* name;
    std::vector<Row> rows;
    double now;
    Activity activity;
    std::optional<double> since;
};
void PrintTo(const StateCase& c, std::ostream* out) {
    *out << c.name;
}

class EmployeeStates : public ::testing::TestWithParam<StateCase> {};

TEST_P(EmployeeStates, FollowTheLatestPunchWithinTheLongestShift) {
    const StateCase& c = GetParam();
    const auto state = punches::StateOf(c.rows, At(c.now), {});
    EXPECT_EQ(state.activity, c.activity);
    ASSERT_EQ(state.since.has_value(), c.since.has_value());
    if (c.since) {
        EXPECT_EQ(punches::ToMinutes(*state.since), punches::ToMinutes(At(*c.since)));
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Shift, EmployeeStates, ::testing::Values(
    StateCase{"NoPunches", {}, 12, Activity::Out, std::nullopt},
    StateCase{"ClockedIn", {Stored("I", 8)}, 12, Activity::Working, 8},
    StateCase{"InPastTheLongestShiftIsAMissingOut", {Stored("I", 8)}, 24 + 3, Activity::Out,
              std::nullopt},
    StateCase{"ClockedOut", {Stored("O", 8, 12)}, 13, Activity::Out, 12},
    StateCase{"BackFromLunch", {Stored("O", 8, 12), Stored("LI", 12, 13), Stored("I", 13)}, 14,
              Activity::Working, 13},
    StateCase{"AtLunch", {Stored("O", 8, 12), Stored("LO", 12)}, 12.5, Activity::Lunch, 12},
    StateCase{"OnABreak", {Stored("I", 8), Stored("BO", 10)}, 10.1, Activity::Break, 10},
    StateCase{"BackFromABreakWorksSinceTheIn", {Stored("I", 8), Stored("BI", 10, 10.25)}, 11,
              Activity::Working, 8},
    StateCase{"SecondInStartsANewShift", {Stored("I", 8), Stored("I", 9)}, 10, Activity::Working,
              9},
    StateCase{"ForgottenBreakReturnThenOut", {Stored("BO", 10), Stored("O", 8, 17)}, 17.5,
              Activity::Out, 17},
    StateCase{"PunchesAfterNowAreNotRead", {Stored("O", 8, 17)}, 12, Activity::Working, 8}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

struct ExceptionCase {
    const char* name;
    std::vector<Row> rows;
    std::vector<std::pair<const char*, double>> found;  // kind and the hour it is filed at
};
void PrintTo(const ExceptionCase& c, std::ostream* out) {
    *out << c.name;
}

class Exceptions : public ::testing::TestWithParam<ExceptionCase> {};

TEST_P(Exceptions, AreFiledWhereTheyHappened) {
    const ExceptionCase& c = GetParam();
    // Manager 9001 entered record 1000 for card 1001, and record 1001 for himself.
    std::vector<Row> rows = c.rows;
    const std::unordered_map<int64_t, int32_t> entered_by{{1000, 9001}, {1001, 1001}};
    std::vector<std::pair<std::string, int64_t>> found;
    for (const auto& e : punches::ExceptionsOf(rows, At(4 * 24), {}, entered_by))
        found.emplace_back(punches::NameOf(e.kind), e.at);
    std::vector<std::pair<std::string, int64_t>> expected;
    for (const auto& [kind, hour] : c.found)
        expected.emplace_back(kind, punches::ToMinutes(At(hour)));
    EXPECT_EQ(found, expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Shift, Exceptions, ::testing::Values(
    // Out forgotten on Monday, in forgotten on Wednesday, as a store that pairs without a limit
    // keeps them (one record of Monday's in and Wednesday's out) and as one with the limit does.
    ExceptionCase{"ForgottenOutAndInPairedAcrossDays",
                  {Stored("O", 8, 2 * 24 + 16), Stored("O", 24 + 8, 24 + 16)},
                  {{"missing_out", 8}, {"missing_in", 2 * 24 + 16}}},
    ExceptionCase{"ForgottenOutAndInKeptApart",
                  {Stored("I", 8), Stored("O", 24 + 8, 24 + 16), Stored("O", std::nullopt, 2 * 24 + 16)},
                  {{"missing_out", 8}, {"missing_in", 2 * 24 + 16}}},
    ExceptionCase{"ReturnWithoutLeave", {Stored("LI", std::nullopt, 12), Stored("BI", std::nullopt, 15)},
                  {{"return_without_leave", 12}, {"return_without_leave", 15}}},
    ExceptionCase{"LunchNeverReturned", {Stored("LO", 12)}, {{"missing_out", 12}}},
    ExceptionCase{"OverlappingWork", {Stored("O", 8, 12), Stored("E", 10, 14)},
                  {{"overlap", 8}, {"overlap", 10}}},
    ExceptionCase{"SwitchTouchesWithoutOverlap", {Stored("O", 8, 12), Stored("O", 12, 17)}, {}},
    ExceptionCase{"CompleteEntryLongerThanAShift", {Stored("E", 8, 8 + 20)}, {{"long_shift", 8}}},
    ExceptionCase{"ManagerOnOwnCard",
                  {Stored("E", 8, 16, 1001), Stored("E", 24 + 8, 24 + 16, 1000)},
                  {{"manager_self", 8}}},
    ExceptionCase{"FutureAndBackwards", {Stored("O", 5 * 24, 5 * 24 + 1), Stored("O", 9, 8)},
                  {{"future", 5 * 24}, {"out_before_in", 9}}},
    ExceptionCase{"LeaveBookedAhead", {Stored("V", 6 * 24)}, {}},
    ExceptionCase{"OpenShiftWithinTheLimit", {Stored("I", 4 * 24 - 10)}, {}},
    // A second IN confirmed as a new shift: the first is a missing out, the second counts.
    ExceptionCase{"NewShiftLeavesTheOpenOneAMissingOut",
                  {Stored("I", 4 * 24 - 10), Stored("O", 4 * 24 - 9, 4 * 24 - 1)},
                  {{"missing_out", 4 * 24 - 10}}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
