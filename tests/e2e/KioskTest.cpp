#include <unistd.h>

#include "host/database/ClockDatabase.h"
#include "tests/e2e/Timeclock.h"

namespace {

// Drives the kiosk in a real terminal (a detached tmux session): the keys of one punch are
// queued into the terminal at once, the kiosk reads them in order, and the test waits on a tmux
// channel that the session signals when the kiosk has quit.
TEST_F(TimeclockTest, KioskStoresAPunchTypedAtTheTerminal) {
    if (std::system("command -v tmux >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "tmux is missing";
    ASSERT_EQ(Run({"employee", "add", "--db", Database().string(), "--card", "1001", "--name",
                   "Avery Stone"})
                  .status,
              0);
    std::ofstream(Config()) << R"({"steps": ["Employee ID", "Punch Entry"]})";

    const std::string socket = "stampkind-kiosk-" + std::to_string(getpid());
    const std::string channel = socket + "-done";
    const std::string tmux = "tmux -L " + socket + " ";
    const std::string kiosk = "STAMPKIND_REGISTRY=" + Quote(Registry().string()) + " " +
                              Quote((m_bin / "timeclock").string()) + " kiosk --db " +
                              Quote(Database().string()) + " --config " + Quote(Config().string()) +
                              " 2>" + Quote((m_folder / "kiosk.err").string()) + "; " + tmux +
                              "wait-for -S " + channel;
    ASSERT_EQ(std::system((tmux + "new-session -d -x 100 -y 40 " + Quote(kiosk)).c_str()), 0);
    // Card 1001, Enter; IN (key 1), Enter; then F10 quits once the punch has been shown.
    ASSERT_EQ(std::system((tmux + "send-keys -t 0 1001 Enter 1 Enter F10").c_str()), 0);
    const int waited = std::system(("timeout 60 " + tmux + "wait-for " + channel).c_str());
    std::system((tmux + "kill-server >/dev/null 2>&1").c_str());
    ASSERT_EQ(waited, 0) << "the kiosk did not quit";

    const auto rows = orvane::ClockDatabase(Database()).Rows(1001);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].punch_type, "I");
    EXPECT_TRUE(rows[0].date_in.has_value());
}

}  // namespace
