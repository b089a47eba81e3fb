#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/clock/Clock.h"
#include "host/web/KioskRequest.h"

namespace timeclock::web {

// One browser kiosk's apartment: a thread that opens the kiosk's clock engine, owns it and every
// component object it makes, with platform services of its own, and is fed inputs through a
// queue. The HTTP threads never touch the engine; they post inputs and read the screen it last
// drew, as JSON text. The engine's time comes from this server's clock: the thread ticks it
// every quarter of a second, so an idle screen and a confirmation end by themselves and the
// idle screen's clock moves.
class KioskApartment {
  public:
    using Input = KioskInput;
    // The screen as drawn last: a number that grows with every change, and its JSON text
    // (shared, so that handing a screen to a request copies no text). Each set of controls the
    // kiosk draws has a number of its own, "pad" in both texts; `without_controls` leaves the
    // controls out, for a page that names the pad as the one it shows.
    struct Screen {
        uint64_t version = 0;
        uint64_t pad = 0;
        std::shared_ptr<const std::string> json = std::make_shared<const std::string>();
        std::shared_ptr<const std::string> without_controls = json;
        // The kiosk waits for a manager's PIN: an input may start a slow check of it.
        bool pin = false;
    };
    using Log = std::function<void(std::string_view)>;

    // Starts the thread and opens the engine on it; raises what the engine could not open (a
    // damaged configuration, a database that cannot be opened) on the calling thread. The
    // kiosks of one server share `write_turn`: on a database file their punches are written one
    // after another, each waiting for the turn rather than for the file.
    KioskApartment(std::string name, Clock::Files files, Log log,
                   std::shared_ptr<std::mutex> write_turn = nullptr);
    // Stops the thread after the input it is handling; inputs still queued are dropped.
    ~KioskApartment();
    KioskApartment(const KioskApartment&) = delete;
    KioskApartment& operator=(const KioskApartment&) = delete;

    const std::string& Name() const { return m_name; }
    // The clock database's file when it is one the server's kiosks write in turn; else empty.
    const std::filesystem::path& DatabaseFile() const { return m_database_file; }
    // Queues an input and waits until the engine has handled it (a pause of the engine, such as
    // the one after a refused entry, is waited out); the screen after it. Raises "Timeout" when
    // the engine has not come to it within `limit`. An input under a hold that is no longer the
    // kiosk's (`holder`, 0: none named) is dropped, and the screen as it stands is the answer.
    Screen Post(Input input, uint64_t holder = 0,
                std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Takes the kiosk for a window: the kiosk gets the next hold number, which the screen names
    // as "holder", and goes back to its card prompt. A window that names its hold (`holder`, it
    // comes back after a break in its connection) keeps the kiosk if it still holds it and takes
    // it only when no window has held it since the server started.
    Screen Hold(uint64_t holder, std::chrono::milliseconds limit = std::chrono::seconds(10));
    Screen Current() const;
    // Calls `changed` on the kiosk's thread after each new screen (outside any lock of the
    // apartment), for those who would rather be told than wait.
    void Watch(std::function<void()> changed);
    // Wakes every waiter and lets the thread end; called before the server stops.
    void Stop();
    bool Stopping() const;

  private:
    class Services;
    void Run(Clock::Files files, std::shared_ptr<std::mutex> write_turn, std::promise<void> opened);
    struct Keypad {
        std::vector<ControlView> controls;
        std::string json;
        uint64_t number = 0;
    };
    // Draws the engine's screen and publishes it when it changed.
    void Publish(const Clock& clock, const std::string& message);
    // The kept keypad of these controls, made and kept when there is none.
    const Keypad& KeptKeypad(std::vector<ControlView>&& controls);

    std::string m_name;
    std::filesystem::path m_database_file;
    Log m_log;
    mutable std::mutex m_mutex;
    std::condition_variable m_queued;
    // Inputs wait in turn, each with its ticket; a poster waits until its ticket is handled.
    std::deque<std::pair<Input, uint64_t>> m_queue;
    uint64_t m_posted = 0;
    uint64_t m_handled = 0;
    std::condition_variable m_answered;
    Screen m_screen;
    std::function<void()> m_watcher;
    std::string m_drawn;  // the screen's JSON without its version
    // Kept by the kiosk's thread alone: the screen's members, the sets of controls drawn lately
    // with their JSON text, and the minute the idle screen's clock last showed.
    nlohmann::json m_members = nlohmann::json::object();
    std::deque<Keypad> m_keypads;
    uint64_t m_keypads_made = 0;
    std::optional<int64_t> m_minute;
    std::string m_time_json;
    // The number of the last hold: the window that took the kiosk last is the one that types.
    // Changed under `m_mutex`; read by the kiosk's thread as it draws.
    std::atomic<uint64_t> m_holder = 0;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace timeclock::web
