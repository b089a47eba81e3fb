#include "host/tui/Kiosk.h"
#include "framework/Factories.h"
#include "host/clock/Clock.h"
#include "host/clock/ComponentLibrary.h"
#include "host/clock/Configuration.h"
#include "host/tui/Screen.h"
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
            m_screen->Draw(*m_clock);
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
    KioskServices services;
    platform::ServicesScope scope(services);

    auto config = Configuration::Load(options.config_file);
    config.ApplyRegional(services.System());
    ComponentLibrary::BesideProgram().EnsureRegistered();
    std::error_code ec;
    if (!std::filesystem::exists(options.config_file, ec))
        config.Save(options.config_file);
    auto database_file = options.database;
    if (database_file.empty())
        database_file = config.database;
    if (database_file.empty())
        database_file = DefaultDatabaseFile();
    std::filesystem::create_directories(database_file.parent_path(), ec);
    orvane::ClockDatabase database(database_file, std::chrono::seconds(config.database_wait));
    // The automatic punch finds the database open and keeps its prepared lookups between punches.
    const auto lookup = framework::Global()->Database();
    lookup->SetConnectString(database_file.string());
    lookup->Open(database_file.string());

    auto display = std::make_shared<orvane::RecordingDisplay>();
    Clock clock(std::move(config), database, display);
    Screen screen;
    services.Attach(screen, clock);
    clock.Start();

    while (true) {
        screen.Draw(clock);
        auto input = screen.ReadInput(kPollMilliseconds);
        switch (input.kind) {
            case Screen::Input::Kind::Quit:
                return 0;
            case Screen::Input::Kind::Escape:
                clock.Escape();
                break;
            case Screen::Input::Kind::Key:
                clock.PressKey(input.key);
                break;
            case Screen::Input::Kind::Click:
                if (input.control->Click())
                    clock.Update();
                break;
            case Screen::Input::Kind::None:
                break;
        }
    }
}

}  // namespace timeclock::tui
