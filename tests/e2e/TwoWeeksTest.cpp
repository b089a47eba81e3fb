// Two weeks of ten employees punched through `timeclock punch`, with the mistakes people make at
// a clock, read back through `timeclock report` and `timeclock exceptions` and compared with the
// hours worked out by hand; then the exceptions are cleared with `timeclock punches` and the
// hours read again. The same history on a file and on a PostgreSQL server.
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "tests/e2e/Timeclock.h"

namespace {

using nlohmann::json;

// The punch keypad's keys: in, out, lunch leave and return, break leave and return.
constexpr const char* kIn = "CLICK:cmdStampkind(0) ENTER";
constexpr const char* kOut = "CLICK:cmdStampkind(1) ENTER";
constexpr const char* kLunch = "CLICK:cmdStampkind(2) ENTER";
constexpr const char* kLunchBack = "CLICK:cmdStampkind(3) ENTER";
constexpr const char* kBreak = "CLICK:cmdStampkind(4) ENTER";
constexpr const char* kBreakBack = "CLICK:cmdStampkind(5) ENTER";
// A card read with the automatic punch on: the clock chooses the punch.
constexpr const char* kSwipe = "";

struct Swipe {
    int card;
    std::string now;
    std::string keys;
    // More arguments for `timeclock punch`.
    std::vector<std::string> extra = {};
};

// One employee's week as worked out by hand: hours worked (breaks are paid and included;
// lunches are not), at lunch, on breaks, and leave.
struct Week {
    double worked, lunch, breaks;
    std::map<std::string, double> leave = {};
    bool operator==(const Week&) const = default;
    friend void PrintTo(const Week& w, std::ostream* out) {
        *out << w.worked << " worked, " << w.lunch << " lunch, " << w.breaks << " breaks, "
             << ::testing::PrintToString(w.leave);
    }
};
// The weeks by card and first day.
using Weeks = std::map<std::pair<int, std::string>, Week>;

constexpr const char* kWeekOne = "2026-11-29";
constexpr const char* kWeekTwo = "2026-12-06";
// The moment the history is read at: after the two weeks.
constexpr const char* kLater = "2026-12-12 12:00:00";

// One day's punches of a card, each a time of that day ("HH:MM") and its keys.
std::vector<Swipe> Day(int card, const std::string& day,
                       const std::vector<std::pair<const char*, const char*>>& punches) {
    std::vector<Swipe> swipes;
    for (const auto& [time, keys] : punches)
        swipes.push_back({card, day + " " + time + ":00", keys});
    return swipes;
}

// A day's work from 08:00 to `out`, without lunch or breaks.
std::vector<Swipe> Shift(int card, const std::string& day, const char* out = "16:00") {
    return Day(card, day, {{"08:00", kIn}, {out, kOut}});
}

class TwoWeeksTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        // Registered ahead, as an installer does; a clock would register itself otherwise.
        ASSERT_EQ(Run({"register"}).status, 0);
        const char* names[] = {"Avery Stone", "Blake Ortiz", "Casey Park", "Drew Lind",
                               "Emery Cole",  "Finley Ruiz", "Gray Moss",  "Harper Vale",
                               "Indigo Fern", "Jules Hart"};
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(AddEmployee(1001 + i, names[i]));
        ASSERT_TRUE(AddEmployee(9001, "Mina Hart", "2468"));
        std::ofstream(Config()) << R"({"clock_name": "Front door"})";
        // The back door's clock chooses the punch by itself.
        std::filesystem::create_directories(AutoConfig().parent_path());
        std::ofstream(AutoConfig()) << R"({"clock_name": "Back door"})";
        ASSERT_EQ(Run({"setup", "--config", AutoConfig().string(), "--glidepass", "on"}).status, 0);
    }

    std::filesystem::path AutoConfig() const { return m_folder / "back" / "timeclock.json"; }

    void Punch(const Swipe& swipe) const {
        auto extra = swipe.extra;
        extra.insert(extra.end(), {"--card", std::to_string(swipe.card)});
        const auto result = TimeclockTest::Punch(swipe.now, swipe.keys, extra,
                                                 swipe.keys.empty() ? AutoConfig() : Config());
        ASSERT_EQ(result.status, 0) << swipe.card << ' ' << swipe.now << '\n' << result.err;
    }

    // Each employee's week as the report gives it.
    Weeks Reported() const {
        Weeks weeks;
        for (const auto& [first, last] :
             {std::pair{kWeekOne, "2026-12-05"}, std::pair{kWeekTwo, "2026-12-12"}}) {
            const auto report = JsonOnDb({"report", "--config", Config().string(), "--from", first,
                                          "--to", last, "--now", kLater, "--format", "json"});
            for (const auto& employee : report.at("employees")) {
                Week& week = weeks[{employee.at("card").get<int>(), first}];
                week.worked = employee.at("total").at("worked").get<double>();
                for (const auto& day : employee.at("days")) {
                    week.lunch += day.at("lunch").get<double>();
                    week.breaks += day.at("breaks").get<double>();
                }
                week.leave = employee.at("total").at("leave").get<std::map<std::string, double>>();
            }
        }
        return weeks;
    }

    std::vector<std::tuple<int, std::string, std::string>> Exceptions() const {
        std::vector<std::tuple<int, std::string, std::string>> listed;
        for (const auto& item :
             JsonOnDb({"exceptions", "--config", Config().string(), "--from", kWeekOne, "--to",
                       "2026-12-12", "--now", kLater, "--format", "json"})) {
            listed.emplace_back(item.at("card").get<int>(), item.at("date").get<std::string>(),
                                item.at("kind").get<std::string>());
        }
        return listed;
    }

    // The id of the card's out that closed nothing.
    int64_t LoneOut(int card) const {
        for (const auto& punch :
             JsonOnDb({"punches", "list", "--card", std::to_string(card), "--format", "json"})) {
            if (punch.at("type") == "O" && punch.at("in").is_null())
                return punch.at("id").get<int64_t>();
        }
        ADD_FAILURE() << "no lone out of card " << card;
        return 0;
    }
};

TEST_F(TwoWeeksTest, ReportAndExceptionsMatchTheHoursWorkedOutByHand) {
    std::vector<Swipe> history;
    const auto add = [&](std::vector<Swipe> swipes) {
        history.insert(history.end(), swipes.begin(), swipes.end());
    };
    // Avery: plain days.
    for (const char* day : {"2026-11-30", "2026-12-01", "2026-12-07", "2026-12-08"})
        add(Shift(1001, day));
    // Blake: half an hour for lunch.
    for (const char* day : {"2026-12-01", "2026-12-08"})
        add(Day(1002, day,
                {{"08:00", kIn}, {"12:00", kLunch}, {"12:30", kLunchBack}, {"16:30", kOut}}));
    // Casey: a quarter of an hour's break, paid.
    for (const char* day : {"2026-12-02", "2026-12-09"})
        add(Day(1003, day,
                {{"09:00", kIn}, {"10:30", kBreak}, {"10:45", kBreakBack}, {"17:00", kOut}}));
    // Drew forgets OUT on Tuesday.
    add({{1004, "2026-12-01 08:00:00", kIn}});
    add(Shift(1004, "2026-12-02"));
    add(Shift(1004, "2026-12-08"));
    // Emery forgets IN on Thursday.
    add(Shift(1005, "2026-12-02"));
    add({{1005, "2026-12-03 16:00:00", kOut}});
    add(Shift(1005, "2026-12-09"));
    // Finley, at the clock that chooses, swipes twice each morning.
    add({{1006, "2026-12-03 08:00:00", kSwipe},
         {1006, "2026-12-03 08:00:20", kSwipe},
         {1006, "2026-12-03 16:00:00", kSwipe},
         {1006, "2026-12-10 07:00:00", kSwipe},
         {1006, "2026-12-10 07:00:10", kSwipe},
         {1006, "2026-12-10 15:00:00", kSwipe}});
    // Gray chooses IN and walks away without Enter: his screen stores nothing. Harper's card
    // is the next punch, her own; Gray comes back two minutes later.
    add(Shift(1007, "2026-12-04", "12:00"));
    add({{1007, "2026-12-07 08:00:00", "CLICK:cmdStampkind(0)"},
         {1008, "2026-12-07 08:00:10", kIn},
         {1007, "2026-12-07 08:02:00", kIn},
         {1008, "2026-12-07 16:00:00", kOut},
         {1007, "2026-12-07 16:02:00", kOut}});
    // Indigo is on vacation on Friday: the manager books eight hours.
    for (const char* day : {"2026-12-02", "2026-12-03", "2026-12-07"})
        add(Shift(1009, day));
    add({{1009,
          "2026-12-03 17:00:00",
          "+ 4 ENTER 1204260800 ENTER 0800 ENTER",
          {"--manager", "--manager-card", "9001"}}});
    // Jules works nights, with a break one week and a lunch the next.
    add({{1010, "2026-12-01 22:00:00", kIn},
         {1010, "2026-12-02 02:00:00", kBreak},
         {1010, "2026-12-02 02:15:00", kBreakBack},
         {1010, "2026-12-02 06:00:00", kOut},
         {1010, "2026-12-08 22:00:00", kIn},
         {1010, "2026-12-09 02:00:00", kLunch},
         {1010, "2026-12-09 02:30:00", kLunchBack},
         {1010, "2026-12-09 06:30:00", kOut}});
    for (const auto& swipe : history)
        ASSERT_NO_FATAL_FAILURE(Punch(swipe));

    // Nobody is paid for a week they did not work: 1008 only the second.
    Weeks hours{
        {{1001, kWeekOne}, {16, 0, 0}},   {{1001, kWeekTwo}, {16, 0, 0}},
        {{1002, kWeekOne}, {8, 0.5, 0}},  {{1002, kWeekTwo}, {8, 0.5, 0}},
        {{1003, kWeekOne}, {8, 0, 0.25}}, {{1003, kWeekTwo}, {8, 0, 0.25}},
        {{1004, kWeekOne}, {8, 0, 0}},    {{1004, kWeekTwo}, {8, 0, 0}},
        {{1005, kWeekOne}, {8, 0, 0}},    {{1005, kWeekTwo}, {8, 0, 0}},
        {{1006, kWeekOne}, {8, 0, 0}},    {{1006, kWeekTwo}, {8, 0, 0}},
        {{1007, kWeekOne}, {4, 0, 0}},    {{1007, kWeekTwo}, {8, 0, 0}},
        {{1008, kWeekTwo}, {8, 0, 0}},    {{1009, kWeekOne}, {16, 0, 0, {{"Vacation", 8}}}},
        {{1009, kWeekTwo}, {8, 0, 0}},    {{1010, kWeekOne}, {8, 0, 0.25}},
        {{1010, kWeekTwo}, {8, 0.5, 0}},
    };
    EXPECT_EQ(Reported(), hours);
    using Listed = std::vector<std::tuple<int, std::string, std::string>>;
    EXPECT_EQ(Exceptions(),
              (Listed{{1004, "2026-12-01", "missing_out"}, {1005, "2026-12-03", "missing_in"}}));

    // Drew left at 16:30 on Tuesday; Emery came in at 08:00 on Thursday. Emery's lone OUT is
    // voided and the day entered whole.
    const std::string reason = "forgotten at the clock";
    JsonOnDb({"punches", "add", "--card", "1004", "--type", "O", "--at", "2026-12-01 16:30",
              "--reason", reason});
    JsonOnDb({"punches", "void", "--id", std::to_string(LoneOut(1005)), "--reason", reason});
    JsonOnDb({"punches", "add", "--card", "1005", "--type", "I", "--at", "2026-12-03 08:00",
              "--reason", reason});
    JsonOnDb({"punches", "add", "--card", "1005", "--type", "O", "--at", "2026-12-03 16:00",
              "--reason", reason});

    EXPECT_EQ(Exceptions(), Listed{});
    hours[{1004, kWeekOne}].worked = 16.5;
    hours[{1005, kWeekOne}].worked = 16;
    EXPECT_EQ(Reported(), hours);
}

}  // namespace
