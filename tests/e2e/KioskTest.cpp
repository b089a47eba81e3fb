#include <unistd.h>

#include "host/database/ClockDatabase.h"
#include "tests/e2e/Timeclock.h"

namespace {

// Drives the kiosk in a real terminal (a detached tmux session): the keys of a punch are queued
// into the terminal at once, the kiosk reads them in order, and the test waits on a tmux channel
// that the session signals when the kiosk has quit (F10, the last key).
class KioskTest : public TimeclockTest {
  protected:
    void SetUp() override {
        TimeclockTest::SetUp();
        if (std::system("command -v tmux >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "tmux is missing";
        for (const auto& [card, name, manager] : {std::tuple{"1001", "Avery Stone", false}}) {
            std::vector<std::string> add{"employee", "add", "--db",   Database().string(),
                                         "--card",   card,  "--name", name};
            if (manager) {
                add.push_back("--manager");
                add.push_back("--pin-stdin");
            }
            ASSERT_EQ(Run(add, "", "2468\n").status, 0);
        }
        std::ofstream(Config()) << R"({"steps": ["Employee ID", "Punch Entry"]})";
    }

    // Types `keys` (tmux send-keys words) at the kiosk, then F10; true when the kiosk quit.
    bool TypeAtKiosk(const std::string& keys) const {
        const std::string socket = "stampkind-kiosk-" + std::to_string(getpid());
        const std::string channel = socket + "-done";
        const std::string tmux = "tmux -L " + socket + " ";
        const std::string kiosk =
            "STAMPKIND_REGISTRY=" + Quote(Registry().string()) + " " +
            Quote((m_bin / "timeclock").string()) + " kiosk --db " + Quote(Database().string()) +
            " --config " + Quote(Config().string()) + " 2>" +
            Quote((m_folder / "kiosk.err").string()) + "; " + tmux + "wait-for -S " + channel +
            // The session outlives the kiosk, so that the server keeps the signal for a test
            // that reaches wait-for after a quick kiosk has already quit.
            "; exec cat >/dev/null";
        if (std::system((tmux + "new-session -d -x 100 -y 40 " + Quote(kiosk)).c_str()) != 0)
            return false;
        const bool sent = std::system((tmux + "send-keys -t 0 " + keys + " F10").c_str()) == 0;
        const bool quit =
            sent && std::system(("timeout 60 " + tmux + "wait-for " + channel).c_str()) == 0;
        std::system((tmux + "kill-server >/dev/null 2>&1").c_str());
        return quit;
    }

    std::vector<orvane::ClockDatabase::Row> Rows() const {
        return orvane::ClockDatabase(Database()).Rows(1001);
    }
};

TEST_F(KioskTest, StoresAPunchTypedAtTheTerminal) {
    // Card 1001, Enter; IN (key 1), Enter.
    ASSERT_TRUE(TypeAtKiosk("1001 Enter 1 Enter"));
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].punch_type, "I");
    EXPECT_TRUE(rows[0].date_in.has_value());
}

}  // namespace
