#include "host/tui/Kiosk.h"

#include <clocale>
#include <fstream>
#include <optional>

#include "framework/Factories.h"
#include "host/clock/Clock.h"
#include "host/clock/Configuration.h"
#include "host/tui/Screen.h"
#include "platform/Convert.h"
#include "platform/Services.h"

#include <curses.h>

namespace timeclock::tui {

namespace {

constexpr int kPollMilliseconds = 500;
constexpr int kControlC = 3;
constexpr int kEscape = 27;

// The platform services of the kiosk: the computer's clock and regional settings, a pause that
// keeps the screen up to date while it waits, and the message box drawn on the screen.
class KioskServices final : public platform::Services {
  public:
    void Attach(Screen& screen, const Clock& clock) {
        m_screen = &screen;
        m_clock = &clock;
    }

    platform::Date Now() override { return m_system.Now(); }
    void Sleep(uint32_t milliseconds) override {
        DoEvents();
        napms(static_cast<int>(milliseconds));
    }
    void DoEvents() override {
        if (m_screen && m_clock)
            m_screen->Draw(*m_clock);
    }
    void MessageBox(std::string_view text) override {
        if (m_screen)
            m_screen->ShowMessage(std::string(text));
    }
    const platform::RegionalSettings& Regional() const override { return m_system.Regional(); }
    std::filesystem::path RegistryFile() const override { return m_system.RegistryFile(); }

  private:
    platform::SystemServices m_system;
    Screen* m_screen = nullptr;
    const Clock* m_clock = nullptr;
};

// The key code a terminal key stands for at the clock; none for keys the clock ignores.
std::optional<int16_t> ClockKey(int key) {
    if (key == '\n' || key == '\r' || key == KEY_ENTER)
        return int16_t{13};
    if (key == KEY_BACKSPACE || key == 127 || key == 8)
        return int16_t{8};
    if (key >= 32 && key < 127)
        return static_cast<int16_t>(key);
    return std::nullopt;
}

}  // namespace

int RunKiosk(const KioskOptions& options) {
    // The terminal's own character set, so that the screen's texts draw as they are written.
    std::setlocale(LC_ALL, "");
    KioskServices services;
    platform::ServicesScope scope(services);

    std::error_code ec;
    if (!std::filesystem::exists(options.config_file, ec))
        Configuration::Load(options.config_file).Save(options.config_file);
    auto clock = Clock::Open({options.config_file, options.database});
    // The screen gets short messages; their full text goes to the log beside the database.
    auto log_file = clock->Database().file();
    log_file.replace_extension(".log");
    clock->SetLog([log_file](std::string_view text) {
        std::ofstream(log_file, std::ios::app)
            << platform::format_date(platform::services().Now(), "yyyy-mm-dd hh:nn:ss") << ' '
            << text << '\n';
    });
    Screen screen;
    // A press is the click; the release is asked for too, so that the terminal library reports
    // it (and the kiosk ignores it) rather than holding it back until the next key.
    mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED, nullptr);
    services.Attach(screen, *clock);
    clock->Start();

    timeout(kPollMilliseconds);
    while (true) {
        clock->Tick(services.Now());
        screen.Draw(*clock);
        const int key = getch();
        if (key == ERR || key == KEY_RESIZE)
            continue;
        if (key == KEY_F(10) || key == kControlC)
            break;
        if (key == kEscape) {
            clock->Escape();
        } else if (key == KEY_MOUSE) {
            MEVENT event;
            if (getmouse(&event) == OK && (event.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)))
                clock->Click(screen.ControlAt(event.y, event.x));
        } else if (const auto clock_key = ClockKey(key)) {
            clock->PressKey(*clock_key);
        }
    }
    return 0;
}

}  // namespace timeclock::tui
