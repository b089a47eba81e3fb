#pragma once

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/e2e/Timeclock.h"

// A program in a terminal of its own: a detached tmux server on a socket of its own, so that
// nothing of the user's tmux is touched. Nothing outlives the test: the destructor kills the
// server, and where no destructor runs (a test killed at its timeout) the program is ended by
// `timeout` and the terminal closes a little later, which ends the server. The terminal keeps
// the program's last screen (no alternate screen) for a while after it quits, so that the test
// reads what it drew.
class TmuxKiosk {
  public:
    // Starts `command` (shell text) in a terminal of `columns` x `rows`, ending it after
    // `seconds` at the latest. `folder` receives tmux's configuration file.
    TmuxKiosk(const std::filesystem::path& folder, const std::string& command, int columns,
              int rows, int seconds = 60)
        : m_socket("stampkind-" + std::to_string(getpid()) + "-" + std::to_string(NextId())),
          m_tmux("tmux -L " + m_socket + " -f " + Quote((folder / "tmux.conf").string()) + " ") {
        std::ofstream(folder / "tmux.conf") << "set -g alternate-screen off\n"
                                               "set -g status off\n";
        const std::string shell = "timeout --foreground -k 5 " + std::to_string(seconds) + " " +
                                  command + "; " + m_tmux + "wait-for -S done; exec sleep " +
                                  std::to_string(kKeptSeconds);
        m_started = Tmux("new-session -d -x " + std::to_string(columns) + " -y " +
                         std::to_string(rows) + " " + Quote(shell));
    }
    ~TmuxKiosk() { Tmux("kill-server >/dev/null 2>&1"); }
    TmuxKiosk(const TmuxKiosk&) = delete;
    TmuxKiosk& operator=(const TmuxKiosk&) = delete;

    bool started() const { return m_started; }

    // Types tmux send-keys words (`literal`: the text as it stands, escape sequences included).
    bool Send(const std::string& keys, bool literal = false) const {
        return Tmux(std::string("send-keys -t 0 ") + (literal ? "-l " : "") + keys);
    }
    // Waits until the program has ended; false when it did not end on its own in time.
    bool WaitForEnd() const { return Tmux("wait-for done"); }
    // The text of the terminal, with the lines that scrolled off it.
    std::string Screen() const { return Output(m_tmux + "capture-pane -p -S - -t 0").first; }
    // The text of the terminal once it shows `text`, or after `seconds` when it does not.
    std::string ScreenShowing(const std::string& text, int seconds = 30) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        auto screen = Screen();
        while (screen.find(text) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline)
            screen = Screen();
        return screen;
    }

  private:
    // How long the terminal stays after the program, for the test to read it.
    static constexpr int kKeptSeconds = 30;

    static int NextId() {
        static std::atomic<int> id{0};
        return ++id;
    }
    bool Tmux(const std::string& arguments) const {
        return std::system((m_tmux + arguments).c_str()) == 0;
    }

    std::string m_socket;
    std::string m_tmux;
    bool m_started = false;
};
