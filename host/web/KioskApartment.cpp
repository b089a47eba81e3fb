#include "host/web/KioskApartment.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "platform/Convert.h"
#include "platform/Error.h"
#include "platform/Services.h"

namespace timeclock::web {

namespace {

constexpr auto kTickInterval = std::chrono::milliseconds(250);
// The card keypad, the punch keypad, its value keypads, a confirmation: a few sets of controls.
constexpr size_t kKeptKeypads = 8;
// The engine did not come to an input in time: its thread is stuck, or the server is stopping.
constexpr int32_t kNoAnswer = platform::err::kHostBase + 80;

const char* StateName(ClockState state) {
    switch (state) {
        case ClockState::Card:
            return "card";
        case ClockState::Pin:
            return "pin";
        case ClockState::Punch:
            return "punch";
        case ClockState::NotFitting:
            return "not-fitting";
        case ClockState::Confirm:
            return "confirm";
    }
    return "card";
}

// An escape as a page sends one: it takes the engine back to its card prompt.
KioskInput EscapeInput() {
    return std::get<KioskInput>(ParseKioskInput(R"({"escape": true})"));
}

std::string ColorText(int32_t color) {
    // A system colour (the high bit set) is the platform's button face: a light grey.
    if (color < 0)
        return "#dfe3ea";
    // The platform's colours are 0x00BBGGRR.
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", color & 0xFF, (color >> 8) & 0xFF,
                  (color >> 16) & 0xFF);
    return text;
}

// The screen's text: names and captions come from the database and the configuration, which may
// hold bytes that are not UTF-8; each such byte is shown as U+FFFD rather than ending the kiosk.
std::string Dump(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

// The services of one kiosk's apartment: the computer's clock and regional settings; a pause
// shows the screen first, so that the page sees the message it is meant to read, then waits on
// this kiosk's thread alone; a message box is shown on this kiosk's screen until the next input.
class KioskApartment::Services final : public platform::Services {
  public:
    explicit Services(KioskApartment& owner) : m_owner(owner) {}
    void Attach(const Clock* clock) { m_clock = clock; }

    platform::Date Now() override { return m_system.Now(); }
    void Sleep(uint32_t milliseconds) override {
        DoEvents();
        std::unique_lock lock(m_owner.m_mutex);
        m_owner.m_queued.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                  [this] { return m_owner.m_stop; });
    }
    void DoEvents() override {
        if (m_clock)
            m_owner.Publish(*m_clock, message);
    }
    void MessageBox(std::string_view text) override {
        message = std::string(text);
        DoEvents();
    }
    const platform::RegionalSettings& Regional() const override { return m_system.Regional(); }
    std::filesystem::path RegistryFile() const override { return m_system.RegistryFile(); }
    platform::SystemServices& System() { return m_system; }

    std::string message;

  private:
    KioskApartment& m_owner;
    platform::SystemServices m_system;
    const Clock* m_clock = nullptr;
};

KioskApartment::KioskApartment(std::string name, Clock::Files files, Log log,
                               std::shared_ptr<std::mutex> write_turn)
    : m_name(std::move(name)), m_log(std::move(log)) {
    std::promise<void> opened;
    auto result = opened.get_future();
    m_thread = std::thread(&KioskApartment::Run, this, std::move(files), std::move(write_turn),
                           std::move(opened));
    try {
        result.get();
    } catch (...) {
        m_thread.join();
        throw;
    }
}

KioskApartment::~KioskApartment() {
    Stop();
    if (m_thread.joinable())
        m_thread.join();
}

void KioskApartment::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_queued.notify_all();
    m_answered.notify_all();
}

bool KioskApartment::Stopping() const {
    std::lock_guard lock(m_mutex);
    return m_stop;
}

KioskApartment::Screen KioskApartment::Post(Input input, uint64_t holder,
                                            std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    if (m_stop)
        platform::raise(kNoAnswer, "The kiosk is closing");
    // An input from a window the kiosk was taken from is dropped: the screen it gets back names
    // the newer hold.
    if (holder != 0 && holder != m_holder)
        return m_screen;
    const uint64_t ticket = ++m_posted;
    m_queue.emplace_back(std::move(input), ticket);
    m_queued.notify_all();
    if (!m_answered.wait_for(lock, limit, [&] { return m_stop || m_handled >= ticket; }))
        platform::raise(kNoAnswer, "The kiosk did not answer in time");
    if (m_handled < ticket)
        platform::raise(kNoAnswer, "The kiosk is closing");
    return m_screen;
}

KioskApartment::Screen KioskApartment::Hold(uint64_t holder, std::chrono::milliseconds limit) {
    {
        std::lock_guard lock(m_mutex);
        // The window that holds the kiosk, back after a break in its connection, keeps it and
        // its screen, and so does a window the kiosk was taken from meanwhile: it lost it.
        if (holder != 0 && m_holder != 0)
            return m_screen;
        ++m_holder;
    }
    // A window that takes the kiosk over starts at the card prompt: it never sees nor finishes a
    // punch begun in another window.
    return Post(EscapeInput(), 0, limit);
}

KioskApartment::Screen KioskApartment::Current() const {
    std::lock_guard lock(m_mutex);
    return m_screen;
}

const KioskApartment::Keypad& KioskApartment::KeptKeypad(std::vector<ControlView>&& controls) {
    // A kiosk shows a few keypads over and over: the JSON text of the last few is kept.
    const auto kept = std::find_if(m_keypads.begin(), m_keypads.end(),
                                   [&](const auto& keypad) { return keypad.controls == controls; });
    if (kept != m_keypads.end())
        return *kept;
    auto json = nlohmann::json::array();
    for (const auto& control : controls) {
        json.push_back({{"path", control.path},
                        {"caption", control.caption},
                        {"left", control.left},
                        {"top", control.top},
                        {"width", control.width},
                        {"height", control.height},
                        {"color", ColorText(control.back_color)},
                        {"enabled", control.enabled}});
    }
    if (m_keypads.size() >= kKeptKeypads)
        m_keypads.pop_back();
    m_keypads.push_front({std::move(controls), Dump(json), ++m_keypads_made});
    return m_keypads.front();
}

void KioskApartment::Publish(const Clock& clock, const std::string& message) {
    auto model = clock.Model();
    // Most keys change only the entry line: the keypad's controls keep their text.
    const Keypad& keypad = KeptKeypad(std::move(model.controls));
    // The idle screen's clock shows minutes: its text is made once a minute.
    const auto now = platform::services().Now();
    const auto minute = static_cast<int64_t>(std::floor(now.days * 24 * 60));
    if (minute != m_minute) {
        // The clock reads as the kiosk's regional settings write a time of day and a date.
        const bool twelve_hour = platform::services().Regional().twelve_hour_clock;
        const bool day_first =
            platform::services().Regional().order == platform::DateOrder::DayMonthYear;
        const nlohmann::json clock_face{
            {"time", platform::format_date(now, twelve_hour ? "h:nn AM/PM" : "hh:nn")},
            {"date", platform::format_date(now, day_first ? "dddd d mmmm" : "dddd, mmmm d")},
            {"hour12", twelve_hour}};
        m_time_json = Dump(clock_face);
        m_minute = minute;
    }
    // The screen's own members stay in one object and are set in place: a text that did not
    // change keeps its storage, so that a key that edits the entry line changes one member.
    const auto set = [this](const char* name, const auto& value) {
        auto& member = m_members[name];
        using Value = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<Value, std::string>) {
            if (member.is_string())
                return void(member.get_ref<std::string&>().assign(value));
        } else if constexpr (std::is_same_v<Value, std::vector<std::string>>) {
            if (member.is_array() && member.size() == value.size() &&
                std::equal(value.begin(), value.end(), member.begin(),
                           [](const std::string& line, const nlohmann::json& kept) {
                               return kept.get_ref<const std::string&>() == line;
                           }))
                return;
        }
        member = value;
    };
    set("kiosk", m_name);
    set("state", std::string(StateName(model.state)));
    set("banner", model.banner);
    set("employee", model.employee);
    set("prompt", model.prompt);
    set("entry", model.entry);
    set("cursor", model.cursor_visible ? model.cursor_position : -1);
    set("alignment", std::string(model.alignment == 1 ? "right" : "left"));
    set("error", model.error);
    set("information", model.information);
    set("message", message);
    set("confirmation", model.confirmation);
    set("pad", keypad.number);
    set("holder", m_holder.load());
    // Read at each screen: a change of the configuration reaches the page with the next card.
    set("sounds", clock.Settings().kiosk_sounds);
    // One object: the screen's members, the clock's and the controls.
    auto text = Dump(m_members);
    text.back() = ',';
    text.append(m_time_json, 1, m_time_json.size() - 2);
    const size_t without_controls = text.size();
    text += ",\"controls\":";
    text += keypad.json;
    text += '}';
    {
        std::lock_guard lock(m_mutex);
        if (text == m_drawn)
            return;
        m_drawn = std::move(text);
        ++m_screen.version;
        m_screen.pad = keypad.number;
        m_screen.pin = model.state == ClockState::Pin;
        // The version leads, so that a page can drop a screen older than one it has drawn.
        const std::string head = "{\"version\":" + std::to_string(m_screen.version) + ",";
        m_screen.json = std::make_shared<const std::string>(head + (m_drawn.c_str() + 1));
        m_screen.without_controls = std::make_shared<const std::string>(
            head + m_drawn.substr(1, without_controls - 1) + "}");
    }
    std::function<void()> watcher;
    {
        std::lock_guard lock(m_mutex);
        watcher = m_watcher;
    }
    if (watcher)
        watcher();
}

void KioskApartment::Watch(std::function<void()> changed) {
    std::lock_guard lock(m_mutex);
    m_watcher = std::move(changed);
}

void KioskApartment::Run(Clock::Files files, std::shared_ptr<std::mutex> write_turn,
                         std::promise<void> opened) {
    Services services(*this);
    platform::ServicesScope scope(services);
    std::unique_ptr<Clock> clock;
    try {
        const auto config = Configuration::Load(files.config_file);
        config.ApplyRegional(services.System());
        clock = Clock::Open(files);
        // A server database orders its clocks' writes itself; only a file needs the turn.
        // The server also copies the file's log into it, apart from any punch.
        if (write_turn && clock->Database().IsFile()) {
            clock->Database().TakeWritesInTurn(std::move(write_turn));
            clock->Database().LeaveCheckpointsToOthers();
            m_database_file = clock->Database().file();
        }
        clock->SetLog(m_log);
        clock->OnSettingsChanged([this, &services](const Configuration& changed) {
            changed.ApplyRegional(services.System());
            m_minute.reset();  // the idle clock's face is made again on the new clock
        });
        clock->SetClockName(m_name);
        clock->Start();
        services.Attach(clock.get());
        Publish(*clock, {});
    } catch (...) {
        opened.set_exception(std::current_exception());
        return;
    }
    opened.set_value();

    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        m_queued.wait_for(lock, kTickInterval, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop)
            break;
        auto inputs = std::move(m_queue);
        m_queue.clear();
        lock.unlock();
        clock->Handle(timeclock::input::Tick{services.Now()});
        for (auto& [input, ticket] : inputs) {
            services.message.clear();
            try {
                clock->Handle(input);
            } catch (const std::exception& e) {
                // The engine ends an input's errors itself; anything else is a fault of ours,
                // logged with its cause, and the kiosk goes on.
                m_log(std::string("kiosk \"") + m_name + "\": " + e.what());
            }
            Publish(*clock, services.message);
            {
                std::lock_guard answered(m_mutex);
                m_handled = ticket;
            }
            m_answered.notify_all();
        }
        // Each input has drawn its screen; a tick alone may have changed it too.
        if (inputs.empty())
            Publish(*clock, services.message);
        lock.lock();
    }
}

}  // namespace timeclock::web
