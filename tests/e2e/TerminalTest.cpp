#include <chrono>
#include <regex>

#include "tests/e2e/Timeclock.h"
#include "tests/e2e/TmuxKiosk.h"

namespace {

// What the terminal kiosk draws and which keys it takes, in a real terminal: the keys are
// queued at once, F10 last, and the screen is read after the kiosk has quit.
class TerminalTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        if (HasFatalFailure())
            return;
        if (std::system("command -v tmux >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "tmux is missing";
        ASSERT_TRUE(AddEmployee(1001, "Avery Stone"));
        ASSERT_TRUE(AddEmployee(9001, "Morgan Lee", "2468"));
        std::ofstream(Config()) << R"({"steps": ["Employee ID", "Punch Entry"]})";
    }

    std::string KioskCommand() const {
        return "env STAMPKIND_REGISTRY=" + Quote(Registry().string()) + " " +
               Quote((m_bin / "timeclock").string()) + " kiosk --db " + Quote(Database().string()) +
               " --config " + Quote(Config().string()) + " 2>" +
               Quote((m_folder / "kiosk.err").string());
    }

    // Runs the kiosk in a terminal of the size given, types each group of keys (tmux words, or
    // literal text where marked), then F10; returns the last screen ("" when it did not quit).
    std::string AtKiosk(int columns, int rows,
                        const std::vector<std::pair<std::string, bool>>& keys) const {
        TmuxKiosk terminal(m_folder, KioskCommand(), columns, rows);
        if (!terminal.started())
            return "";
        for (const auto& [text, literal] : keys) {
            if (!terminal.Send(literal ? Quote(text) : text, literal))
                return "";
        }
        if (!terminal.Send("F10") || !terminal.WaitForEnd())
            return "";
        return terminal.Screen();
    }
};

// The numeric keypad in application mode types "1001", Enter, then IN (1) and Enter; then Alt
// and P is "More &Punches": the manager's second page shows, the punch is not given up. Every
// line below the title bar (whose clock moves) is compared as the person sees it.
TEST_F(TerminalTest, KeypadDigitsAndAltWithAnAccessLetterType) {
    const auto screen = AtKiosk(60, 22,
                                {{"\033Oq\033Op\033Op\033Oq\033OM", true},
                                 {"\033Oq\033OM", true},
                                 {"9001 Enter 2468 Enter 1001 Enter", false},
                                 {"M-p", false}});
    // The terminal's last screen begins at the last title bar (scrolled-off lines may come
    // before it, and its first line may be the capture's first).
    const auto title = ("\n" + screen).rfind("\n Stampkind Time Clock ");
    ASSERT_NE(title, std::string::npos) << screen;
    EXPECT_EQ(screen.substr(screen.find('\n', title) + 1),
              "  MANAGER MODE \u2014 Morgan Lee for Avery Stone     Avery Stone\n"
              "  Select Punch Type\n"
              "  [                                ]\n\n\n\n\n"
              "     ADVANCE            HOLIDAY              Enter\n"
              "        1                  2\n"
              "       SICK             VACATION\n"
              "        3                  4                 Clear\n\n"
              "     PERSONAL            BONUS\n"
              "        5                  6                Cancel\n"
              "      OTHER             FUNERAL\n"
              "        7                  8\n\n"
              "   More Punches           Skip\n"
              "        +                  -\n\n"
              " F10 quit   Esc cancel   keys or mouse on the buttons\n");
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"}) << screen;
}

// From the smallest terminal the clock takes to a large one, every caption shows whole, the
// clock's own buttons beside the keypad included.
TEST_F(TerminalTest, CaptionsAreNeverCut) {
    for (const auto& [columns, rows] :
         {std::pair{60, 22}, std::pair{100, 40}, std::pair{200, 60}}) {
        const auto screen = AtKiosk(columns, rows, {{"9001 Enter 2468 Enter 1001 Enter", false}});
        for (const char* caption :
             {"LUNCH RETURN", "BREAK RETURN", "More Punches", "Clear", "Cancel"})
            EXPECT_NE(screen.find(caption), std::string::npos) << columns << "x" << rows << screen;
    }
}

// The confirmation reads on the clock face of the configured regional settings. A line wider
// than the terminal (a long name here; the figures with overtime and double time at the clock)
// wraps onto the next line instead of losing its end.
TEST_F(TerminalTest, ConfirmationFollowsTheRegionalSettingsAndWraps) {
    ASSERT_TRUE(AddEmployee(1002, "Maximiliana Alexandrovna Featherstonehaugh-Cholmondeley Junr"));
    const std::pair<const char*, const char*> cases[] = {
        {"en-US", R"(IN \d\d/\d\d/\d{4} \d{1,2}:\d\d [AP]M)"},
        {"en-GB", R"(IN \d\d/\d\d/\d{4} \d\d:\d\d(?! ?[AP]M))"},
    };
    for (const auto& [regional, confirmation] : cases) {
        std::ofstream(Config()) << R"({"steps": ["Employee ID", "Punch Entry"], "regional": ")"
                                << regional << "\"}";
        const auto screen = AtKiosk(60, 22, {{"1002 Enter 1 Enter", false}});
        EXPECT_TRUE(std::regex_search(screen, std::regex(confirmation))) << regional << screen;
        EXPECT_NE(screen.find("\n  Junr\n"), std::string::npos) << screen;
        AtKiosk(60, 22, {{"1002 Enter 2 Enter", false}});  // out again for the next case
    }
}

// `timeclock setup` and an edit of the file reach a kiosk that has stood at its card prompt since
// its last punch: the next card after the automatic punch is turned on is punched without the
// punch keypad, and confirmed on the 24-hour clock the new regional settings use.
TEST_F(TerminalTest, SettingsReachTheKioskBeforeItsNextCard) {
    // The confirmation ends after a second; no duplicate guard, so the second card is a punch.
    std::ofstream(Config()) << R"({"steps": ["Employee ID", "Punch Entry"], )"
                               R"("confirm_seconds": 1, "duplicate_seconds": 0})";
    TmuxKiosk terminal(m_folder, KioskCommand(), 100, 40);
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.Send("1001 Enter 1 Enter"));
    // The IN is stored and its confirmation (which names the employee) has ended: the kiosk
    // stands at its card prompt. Waited for within a bound, each look a capture of the pane.
    // The card prompt drawn after the stored punch, read from the last frame: a frame caught in
    // the middle of a redraw holds the prompt only once the confirmation is gone.
    const auto at_prompt = [&] {
        if (Rows().empty())
            return false;
        const auto screen = terminal.Screen();
        const auto last = screen.rfind("Stampkind Time Clock");
        return last != std::string::npos &&
               screen.find("Enter Card Number", last) != std::string::npos &&
               screen.find("Punch recorded", last) == std::string::npos;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!at_prompt() && std::chrono::steady_clock::now() < deadline) {
    }
    ASSERT_TRUE(at_prompt()) << terminal.Screen();
    ASSERT_EQ(Run({"setup", "--config", Config().string(), "--glidepass", "on"}).status, 0);
    // And the regional settings, edited in the file by hand.
    auto config = nlohmann::json::parse(std::ifstream(Config()));
    config["regional"] = "en-GB";
    std::ofstream(Config()) << config.dump();
    ASSERT_TRUE(terminal.Send("1001 Enter F10"));
    ASSERT_TRUE(terminal.WaitForEnd());
    const auto screen = terminal.Screen();
    // The automatic punch closed the IN.
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"O"}) << screen;
    EXPECT_TRUE(
        std::regex_search(screen, std::regex(R"(OUT \d\d/\d\d/\d{4} \d\d:\d\d(?! ?[AP]M))")))
        << screen;
}

// A message raised in the punch (here for a span in a hand-edited file that is no number) waits
// in a box over the keypad until OK; then the punch goes on, as an IN.
TEST_F(TerminalTest, MessageWaitsInABoxForOk) {
    ASSERT_EQ(Run({"setup", "--config", Config().string(), "--glidepass", "on"}).status, 0);
    auto config = nlohmann::json::parse(std::ifstream(Config()));
    config["saved"]["Punch Entry"]["properties"]["Props"]["properties"]["Value3"] = {
        {"type", "String"}, {"value", "abc"}};
    std::ofstream(Config()) << config.dump();
    TmuxKiosk terminal(m_folder, KioskCommand(), 60, 22);
    ASSERT_TRUE(terminal.started());
    ASSERT_TRUE(terminal.Send("1001 Enter"));
    const auto screen = terminal.ScreenShowing("[  OK  ]");
    // The box is 30 columns wide: its top edge, and its message line.
    std::string top = "\u250c";
    for (int i = 0; i < 28; ++i)
        top += "\u2500";
    EXPECT_NE(screen.find(top + "\u2510"), std::string::npos) << screen;
    EXPECT_NE(screen.find("\u2502 Error: Type mismatch       \u2502"), std::string::npos) << screen;
    EXPECT_TRUE(Rows().empty());
    ASSERT_TRUE(terminal.Send("Enter F10"));
    ASSERT_TRUE(terminal.WaitForEnd());
    EXPECT_EQ(StoredTypes(), std::vector<std::string>{"I"}) << terminal.Screen();
}

TEST_F(TerminalTest, TooSmallTerminalTakesNoPunch) {
    // Tall enough but too narrow; the first line fills the width to the last column.
    const auto screen = AtKiosk(49, 30, {{"1001 Enter 1 Enter", false}});
    // Wrapped at the terminal's edge, how to quit included.
    EXPECT_NE(screen.find("\nTerminal too small: 49x30, the clock needs 60x22.\nF10 quits.\n"),
              std::string::npos)
        << screen;
    EXPECT_TRUE(Rows().empty());
}

}  // namespace
