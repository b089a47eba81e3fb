#include "host/database/ClockDatabase.h"
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

    // Runs the kiosk in a terminal of the size given, types each group of keys (tmux words, or
    // literal text where marked), then F10; returns the last screen ("" when it did not quit).
    std::string AtKiosk(int columns, int rows,
                        const std::vector<std::pair<std::string, bool>>& keys) const {
        const std::string kiosk = "env STAMPKIND_REGISTRY=" + Quote(Registry().string()) + " " +
                                  Quote((m_bin / "timeclock").string()) + " kiosk --db " +
                                  Quote(Database().string()) + " --config " +
                                  Quote(Config().string()) + " 2>" +
                                  Quote((m_folder / "kiosk.err").string());
        TmuxKiosk terminal(m_folder, kiosk, columns, rows);
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

    std::vector<orvane::ClockDatabase::Row> Rows() const {
        return orvane::ClockDatabase(Database()).Rows(1001);
    }
};

// The numeric keypad in application mode types "1001", Enter, then IN (1) and Enter; then Alt
// and P is "More &Punches": the manager's second page shows, the punch is not given up.
TEST_F(TerminalTest, KeypadDigitsAndAltWithAnAccessLetterType) {
    const auto screen = AtKiosk(100, 40,
                                {{"\033Oq\033Op\033Op\033Oq\033OM", true},
                                 {"\033Oq\033OM", true},
                                 {"9001 Enter 2468 Enter 1001 Enter", false},
                                 {"M-p", false}});
    ASSERT_FALSE(screen.empty());
    // The terminal's 40 rows end the capture (the scrolled-off lines before them vary); the
    // title bar is the first of them.
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = screen.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(screen.substr(start, end - start));
    ASSERT_GE(lines.size(), 40u) << screen;
    EXPECT_EQ(lines[lines.size() - 40].rfind(" Stampkind Time Clock", 0), 0u) << screen;
    EXPECT_NE(screen.find(" F10 quit"), std::string::npos) << screen;  // the help line below
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 1u) << screen;
    EXPECT_EQ(rows[0].punch_type, "I");
    EXPECT_NE(screen.find("MANAGER MODE"), std::string::npos) << screen;
    EXPECT_NE(screen.find("VACATION"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Select Punch Type"), std::string::npos) << screen;
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

// A confirmation line wider than the terminal (a long name here; the figures with overtime and
// double time at the clock) wraps onto the next line instead of losing its end.
TEST_F(TerminalTest, LongConfirmationLinesWrap) {
    ASSERT_TRUE(AddEmployee(1002, "Maximiliana Alexandrovna Featherstonehaugh-Cholmondeley Junr"));
    const auto screen = AtKiosk(60, 22, {{"1002 Enter 1 Enter", false}});
    EXPECT_NE(screen.find("\n  Junr\n"), std::string::npos) << screen;
}

TEST_F(TerminalTest, TooSmallTerminalTakesNoPunch) {
    const auto screen = AtKiosk(50, 16, {{"1001 Enter 1 Enter", false}});
    EXPECT_NE(screen.find("Terminal too small"), std::string::npos) << screen;
    EXPECT_TRUE(Rows().empty());
}

}  // namespace
