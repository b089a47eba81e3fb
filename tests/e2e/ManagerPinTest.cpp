#include "host/database/ClockDatabase.h"
#include "tests/e2e/Timeclock.h"
#include "tests/e2e/TmuxKiosk.h"

namespace {

// The manager's PIN at the command line: taken whole or refused with nothing stored, and never
// printed.
class ManagerPinTest : public TimeclockTest {
  protected:
    Result AddManager(const std::string& input, const std::string& environment = "") const {
        std::vector<std::string> arguments{"employee", "add",  "--db",   Database().string(),
                                           "--card",   "9001", "--name", "Morgan Lee",
                                           "--manager"};
        if (!input.empty())
            arguments.push_back("--pin-stdin");
        return Run(arguments, environment, input);
    }
    Result ChangePin(const std::string& card, const std::string& input) const {
        return Run({"employee", "pin", "--db", Database().string(), "--card", card, "--pin-stdin"},
                   "", input);
    }
    orvane::ClockDatabase Open() const { return orvane::ClockDatabase(Database()); }
};

TEST_F(ManagerPinTest, RefusedPinAddsNobody) {
    // Too short, too long, not digits, no line at all, and no terminal to ask on (the program is
    // started in a session of its own, without a controlling terminal).
    for (const auto& [input, environment] :
         {std::pair{"123\n", ""}, std::pair{"1234567890123\n", ""}, std::pair{"12a4\n", ""},
          std::pair{"\n", ""}, std::pair{"", "setsid -w"}}) {
        const auto result = AddManager(input, environment);
        EXPECT_EQ(result.status, 2) << input << environment;
        EXPECT_NE(result.err.find("PIN"), std::string::npos) << result.err;
        EXPECT_FALSE(Open().FindEmployee(9001)) << input << environment;
    }
}

TEST_F(ManagerPinTest, AddsTheManagerWithThePinAndChangesTheManagersPinOnly) {
    const auto added = AddManager("1111\n");
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(ChangePin("9001", "123\n").status, 2);
    EXPECT_TRUE(Open().VerifyManagerPin(9001, "1111"));
    const auto changed = ChangePin("9001", "864213579086\n");  // the longest PIN taken
    EXPECT_EQ(changed.status, 0) << changed.err;
    EXPECT_TRUE(Open().VerifyManagerPin(9001, "864213579086"));
    EXPECT_FALSE(Open().VerifyManagerPin(9001, "1111"));
    EXPECT_EQ(ChangePin("7", "8642\n").status, 2);
}

// Without --pin-stdin the PIN is asked on the terminal, twice, and typed without being shown.
TEST_F(ManagerPinTest, IsAskedTwiceOnTheTerminalAndNeverShown) {
    if (std::system("command -v tmux >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tmux is missing";
    TmuxKiosk terminal(m_folder,
                       Quote((m_bin / "timeclock").string()) + " employee add --db " +
                           Quote(Database().string()) +
                           " --card 9001 --name 'Morgan Lee' --manager",
                       80, 10, 10);
    ASSERT_TRUE(terminal.started());
    // Keys typed before the prompt would be thrown away as the terminal is made silent.
    terminal.ScreenShowing("digits):", 10);
    ASSERT_TRUE(terminal.Send("2468 Enter 2468 Enter"));
    ASSERT_TRUE(terminal.WaitForEnd());
    const auto screen = terminal.Screen();
    EXPECT_EQ(screen.substr(0, screen.find_last_not_of('\n') + 1),
              "Manager's PIN (4 to 12 digits):\nThe same PIN again:\n"
              "Added card 9001: Morgan Lee (manager, PIN set)");
    EXPECT_TRUE(Open().VerifyManagerPin(9001, "2468"));
}

}  // namespace
