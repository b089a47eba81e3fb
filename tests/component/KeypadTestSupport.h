#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/KeyCodes.h"
#include "host/framework/Message.h"
#include "host/framework/RecordingDisplay.h"
#include "host/framework/StepSequence.h"
#include "platform/Controls.h"
#include "platform/Date.h"
#include "platform/Events.h"
#include "platform/FakeServices.h"
#include "step/clsStep.h"
#include "tests/support/Raised.h"

// What the keypad tests share: a step with chosen settings, a recording display, fake services
// and a log of the events a keypad raises.
namespace keypad_test {

// A new step with its default settings, the allowed manager punch types given, and (when asked)
// a sequence with a statistics step so that STATUS is offered.
inline std::shared_ptr<stampkind::clsStep> MakeStep(const std::string& allowed = "1111111111",
                                                    bool with_statistics = false) {
    auto step = std::make_shared<stampkind::clsStep>();
    step->InitProperties();
    step->Properties()->Item(platform::Variant("AllowedStampkinds"))->SetValue(allowed);
    auto steps = std::make_shared<orvane::StepSequence>();
    if (with_statistics) {
        steps->Append("Employee Statistics",
                      orvane::MakeValueStep("Employee Statistics", platform::Variant()));
    }
    step->Skip(steps);
    return step;
}

// The events of a source by name, joined by blanks in the order they were raised: "Click Finished".
class EventLog {
  public:
    explicit EventLog(platform::EventSource& source) {
        for (const auto& event : source.Events()) {
            std::string name(event.name);
            source.Connect(name,
                           [text = m_text, name] { *text += (text->empty() ? "" : " ") + name; });
        }
    }
    const std::string& text() const { return *m_text; }
    void clear() { m_text->clear(); }

  private:
    // Shared with the connections, which may outlive the log.
    std::shared_ptr<std::string> m_text = std::make_shared<std::string>();
};

// Types each character of a text as a key.
template <class Keypad>
void Type(Keypad& keypad, std::string_view keys) {
    for (char key : keys)
        keypad.ProcessKeyPress(static_cast<int16_t>(key));
}

using framework::keys::kEnter;

// Fake services, a step with the default settings and a recording display: where every keypad
// test starts.
struct KeypadWorld {
    // A keypad (a new one of the kind given) attached to the step and reset; `raised` logs its
    // events.
    template <class Keypad>
    std::shared_ptr<Keypad> Ready(std::shared_ptr<Keypad> keypad = Keypad::Create()) {
        keypad->Attach(step, display);
        keypad->Reset();
        raised.emplace(*keypad);
        return keypad;
    }
    // Types the keys, presses Enter and answers whether Enter raised Finished and nothing else.
    template <class Keypad>
    bool Submit(Keypad& keypad, std::string_view keys) {
        Type(keypad, keys);
        display->clear_calls();
        raised->clear();
        keypad.ProcessKeyPress(kEnter);
        return Finished();
    }
    // A new keypad with the keys typed and Enter pressed.
    template <class Keypad>
    std::shared_ptr<Keypad> Enter(std::string_view keys) {
        auto keypad = Ready<Keypad>();
        Submit(*keypad, keys);
        return keypad;
    }
    bool Finished() const { return raised->text() == "Finished"; }

    platform::FakeServices fake;
    std::optional<EventLog> raised;
    platform::ServicesScope scope{fake};
    std::shared_ptr<stampkind::clsStep> step = MakeStep();
    std::shared_ptr<orvane::RecordingDisplay> display =
        std::make_shared<orvane::RecordingDisplay>();
};

inline platform::Date Moment(int year, int month, int day, int hour, int minute, int second = 0) {
    return *platform::make_date_time({year, month, day, hour, minute, second});
}

using Calls = std::vector<orvane::RecordingDisplay::Call>;

// The number of the error attaching a step of another kind raises.
template <class Keypad>
int32_t ErrorAttachingForeignStep(Keypad& keypad,
                                  const std::shared_ptr<orvane::RecordingDisplay>& display) {
    const auto foreign = std::dynamic_pointer_cast<framework::IStep>(
        orvane::MakeValueStep("Employee ID", platform::Variant(17)));
    return ErrorNumberOf([&] { keypad.Attach(foreign, display); });
}

// How many of the keypad's controls have the colour as their background.
template <class Keypad>
int Coloured(const Keypad& keypad, int32_t colour) {
    int count = 0;
    for (const auto& control : keypad.Controls())
        count += control->BackColor() == colour;
    return count;
}

}  // namespace keypad_test
