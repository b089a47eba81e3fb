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
            m_screen->Draw(m_clock->Model());
    }
    void MessageBox(std::string_view text) override {
        if (m_screen)
            m_screen->ShowMessage(std::string(text));
    }
    const platform::RegionalSettings& Regional() const override { return m_system.Regional(); }
    std::filesystem::path RegistryFile() const override { return m_system.RegistryFile(); }
    platform::SystemServices& System() { return m_system; }

  private:
    platform::SystemServices m_system;
    Screen* m_screen = nullptr;
    const Clock* m_clock = nullptr;
};

}  // namespace

int RunKiosk(const KioskOptions& options) {
    // The terminal's own character set, so that the screen's texts draw as they are written.
    std::setlocale(LC_ALL, "");
    KioskServices services;
    platform::ServicesScope scope(services);

    // The regional settings are the process's: in force before the first date is read or shown.
    const auto config = Configuration::Load(options.config_file);
    config.ApplyRegional(services.System());
    std::error_code ec;
    if (!std::filesystem::exists(options.config_file, ec))
        config.Save(options.config_file);
    auto clock = Clock::Open({options.config_file, options.database});
    // The screen gets short messages; their full text goes to the log beside the database.
    auto log_file = clock->Database().file();
    log_file.replace_extension(".log");
    clock->SetLog([log_file](std::string_view text) {
        std::ofstream(log_file, std::ios::app)
            << platform::format_date(platform::services().Now(), "yyyy-mm-dd hh:nn:ss") << ' '
            << text << '\n';
    });
    clock->OnSettingsChanged(
        [&services](const Configuration& changed) { changed.ApplyRegional(services.System()); });
    Screen screen;
    // A press is the click; the release is asked for too, so that the terminal library reports
    // it (and the kiosk ignores it) rather than holding it back until the next key.
    mousemask(BUTTON1_PRESSED | BUTTON1_RELEASED, nullptr);
    services.Attach(screen, *clock);
    clock->Start();

    while (true) {
        clock->Handle(input::Tick{services.Now()});
        screen.Draw(clock->Model());
        const auto reading = screen.ReadInput(kPollMilliseconds);
        if (reading.quit)
            return 0;
        if (reading.input)
            clock->Handle(*reading.input);
    }
}

}  // namespace timeclock::tui
