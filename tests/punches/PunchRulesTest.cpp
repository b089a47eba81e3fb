#include "host/punches/PunchRules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using punches::Activity;

// What each punch code does to the records and to the employee, read from the codes' table.
struct CodeCase {
    const char* name;
    const char* code;
    const char* opens;   // opening type of the kind it opens; "" none
    const char* closes;  // opening type of the kind it closes; "" none
    Activity from, to;   // the employee's activity before and after
};

void PrintTo(const CodeCase& c, std::ostream* out) {
    *out << c.name;
}

class PunchCodes : public ::testing::TestWithParam<CodeCase> {};

TEST_P(PunchCodes, OpenAndCloseTheirRecords) {
    const CodeCase& c = GetParam();
    const auto effect = punches::EffectOf(c.code);
    EXPECT_EQ(effect.Opens() ? effect.Opens()->opening : "", std::string_view(c.opens));
    EXPECT_EQ(effect.Closes() ? effect.Closes()->opening : "", std::string_view(c.closes));
    EXPECT_EQ(punches::ActivityAfter(c.code, c.from), c.to);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rules, PunchCodes, ::testing::Values(
    CodeCase{"InStartsWork",             "I",  "I",  "",   Activity::Out,     Activity::Working},
    CodeCase{"OutEndsWork",              "O",  "",   "I",  Activity::Working, Activity::Out},
    CodeCase{"LunchLeaveEndsWork",       "LO", "LO", "I",  Activity::Working, Activity::Lunch},
    CodeCase{"LunchReturnStartsWork",    "LI", "I",  "LO", Activity::Lunch,   Activity::Working},
    CodeCase{"BreakInsideWork",          "BO", "BO", "",   Activity::Working, Activity::Break},
    CodeCase{"BreakReturnBackToWork",    "BI", "",   "BO", Activity::Break,   Activity::Working},
    CodeCase{"SwitchEndsAndStartsWork",  "SW", "I",  "I",  Activity::Working, Activity::Working},
    CodeCase{"VacationChangesNothing",   "V",  "",   "",   Activity::Lunch,   Activity::Lunch},
    CodeCase{"CompleteChangesNothing",   "C",  "",   "",   Activity::Out,     Activity::Out},
    CodeCase{"StatusChangesNothing",     "Status", "", "", Activity::Working, Activity::Working},
    CodeCase{"UnknownCodeChangesNothing","ZZ", "",   "",   Activity::Break,   Activity::Break}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A guarded punch needs its record open; an opening punch while its record is open opens it
// again (the clock asks first), which a switch never does: it closes the one it opens.
TEST(PunchRules, GuardedPunchesNeedTheirRecordOpen) {
    const struct {
        const char* code;
        Activity now;
        const char* misfit;
        bool opens_again;
    } cases[] = {
        {"O", Activity::Working, "", false},
        {"O", Activity::Out, "not clocked in", false},
        {"O", Activity::Break, "not clocked in", false},
        {"SW", Activity::Lunch, "not clocked in", false},
        {"SW", Activity::Working, "", false},
        {"LI", Activity::Lunch, "", false},
        {"LI", Activity::Working, "not out to lunch", false},
        {"BI", Activity::Break, "", false},
        {"BI", Activity::Out, "not on a break", false},
        {"LO", Activity::Out, "", false},
        {"I", Activity::Working, "", true},
        {"I", Activity::Out, "", false},
        {"BO", Activity::Break, "", true},
        {"V", Activity::Out, "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(punches::Misfit(c.code, c.now), c.misfit) << c.code;
        EXPECT_EQ(punches::OpensAgain(c.code, c.now), c.opens_again) << c.code;
    }
}

}  // namespace
