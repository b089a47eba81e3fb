#include "host/tui/Kiosk.h"
#include "host/database/ConnectionText.h"

#include <optional>

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
    KioskServices services;
    platform::ServicesScope scope(services);

    auto config = Configuration::Load(options.config_file);
    ComponentLibrary::BesideProgram().EnsureRegistered();
    std::error_code ec;
    if (!std::filesystem::exists(options.config_file, ec))
        config.Save(options.config_file);
    auto database_file = options.database;
    if (database_file.empty())
        database_file = config.database;
    if (database_file.empty())
        database_file = DefaultDatabaseFile();
    if (orvane::EngineOf(database_file.native()) == orvane::Engine::Sqlite)
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

    timeout(kPollMilliseconds);
    while (true) {
        screen.Draw(clock);
        const int key = getch();
        if (key == ERR || key == KEY_RESIZE)
            continue;
        if (key == KEY_F(10) || key == kControlC)
            break;
        if (key == kEscape) {
            clock.Escape();
        } else if (key == KEY_MOUSE) {
            MEVENT event;
            if (getmouse(&event) != OK)
                continue;
            if (auto control = screen.ControlAt(event.y, event.x); control && control->Click()) {
                clock.Update();
            }
        } else if (const auto clock_key = ClockKey(key)) {
            clock.PressKey(*clock_key);
        }
    }
    return 0;
}

}  // namespace timeclock::tui
