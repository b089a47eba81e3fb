// Drives the punch-type keypad in manager mode with a stream of keys and clicks decoded from the
// input, as a manager at the clock would: the keypad must never break whatever is pressed. After
// every key or click the value keypads' entries hold only digits within their limit, the page
// stays 0 to 2, the keypad that takes the keys is on show, events come only from keys and clicks,
// Finished only from Enter or Skip, and keys outside the key map change nothing while a punch type
// is being chosen. No raised error may escape: a person's wrong input is a message on the display.
// Each finished punch is written into its punch records, as the clock does.
//
// The input: two bytes of settings (the ten allowed manager punch types, then whether a
// statistics step follows, which offers STATUS), then one operation per byte:
//   0x00-0xEF  the key of that code
//   0xF0 n     a click on button n (modulo the count) of those a person can reach
//   0xF1       Reset, as a new punch begins
//   0xF2       Escape: the punch is given up and a new one begins
//   0xF3 l h   the key of the 16-bit code h * 256 + l (any code a host may pass, negative too)
//   0xF4 c     a "button color" message with colour c
//   0xF5-0xFF  the key of that code
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "entry/EntryKeypad.h"
#include "framework/KeyCodes.h"
#include "host/framework/Message.h"
#include "host/framework/PunchDateTime.h"
#include "host/framework/PunchRecord.h"
#include "host/framework/RecordNameList.h"
#include "host/framework/RecordingDisplay.h"
#include "host/framework/StepSequence.h"
#include "keypad/StampkindKeypad.h"
#include "platform/Error.h"
#include "platform/FakeServices.h"
#include "platform/Services.h"
#include "step/clsStep.h"

namespace {

using framework::keys::kEnter;

enum Operation : uint8_t {
    kClick = 0xF0,
    kReset = 0xF1,
    kEscape = 0xF2,
    kKeyCode = 0xF3,
    kButtonColor = 0xF4,
};

// The bytes of one input, read one at a time; past the end every read gives 0.
class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool AtEnd() const { return m_position >= m_size; }
    uint8_t Next() { return AtEnd() ? 0 : m_data[m_position++]; }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
};

[[noreturn]] void Fault() {
    std::abort();
}

// The buttons a person can reach: the keypad's own, and those of a value keypad on show.
// Click() itself refuses a hidden or disabled button, as a screen would.
std::vector<platform::Control*> ReachableButtons(const stampkind::StampkindKeypad& keypad) {
    std::vector<platform::Control*> buttons;
    for (const auto& control : keypad.Controls()) {
        if (control->Kind() == platform::ControlKind::CommandButton) {
            buttons.push_back(control.get());
        } else if (auto site = std::dynamic_pointer_cast<platform::UserControlSite>(control)) {
            if (!site->Visible())
                continue;
            for (const auto& inner : site->Inner()->Controls())
                buttons.push_back(inner.get());
        }
    }
    return buttons;
}

void CheckInvariants(const stampkind::StampkindKeypad& keypad) {
    if (keypad.Page() < 0 || keypad.Page() > 2)
        Fault();
    for (const char* name : {"TimeIn1", "TimeOut1", "Hours1", "Currency1"}) {
        auto site = std::dynamic_pointer_cast<platform::UserControlSite>(keypad.Find(name));
        if (!site)
            Fault();
        auto entry = std::dynamic_pointer_cast<stampkind::EntryKeypad>(site->Inner());
        if (!entry || entry->Entry().size() > entry->Style().max_digits)
            Fault();
        if (!std::all_of(entry->Entry().begin(), entry->Entry().end(),
                         [](char c) { return c >= '0' && c <= '9'; })) {
            Fault();
        }
    }
    // Until both values are in, the keypad that takes the keys is on show.
    const bool complete = keypad.TimeInDone() && keypad.SecondValueDone();
    if (keypad.EntryStage() && keypad.ActiveKeypad() && !complete &&
        !keypad.ActiveKeypad()->Extender().Visible()) {
        Fault();
    }
}

// What the clock does with a finished punch: checks the value and writes the punch's own
// record and the records the step asks for.
void WriteRecords(stampkind::clsStep& step, const std::shared_ptr<orvane::StepSequence>& steps) {
    if (!framework::FromVBool(step.IsValid()))
        return;
    step.ValidateValue(step.Value());
    auto names = std::make_shared<orvane::RecordNameList>();
    step.RegisterRecordNames(names);
    auto own = std::make_shared<orvane::PunchRecord>("");
    step.WriteValue(steps, "", own);
    for (const auto& name : names->names()) {
        auto extra = std::make_shared<orvane::PunchRecord>(name);
        step.WriteValue(steps, name, extra);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader input(data, size);
    const uint8_t first = input.Next();
    const uint8_t second = input.Next();
    std::string allowed;
    for (int type = 0; type < 10; ++type) {
        const int bit = type < 8 ? (first >> type) & 1 : (second >> (type - 8)) & 1;
        allowed += bit ? '1' : '0';
    }
    const bool with_statistics = (second & 0x04) != 0;

    platform::FakeServices fake;
    fake.now = *platform::make_date_time({2026, 12, 4, 12, 0, 0});
    platform::ServicesScope scope(fake);

    auto step = std::make_shared<stampkind::clsStep>();
    step->InitProperties();
    step->Properties()->Item(platform::Variant("AllowedStampkinds"))->SetValue(allowed);
    auto steps = std::make_shared<orvane::StepSequence>();
    steps->Append("Punch Entry", step);
    if (with_statistics) {
        steps->Append("Employee Statistics",
                      orvane::MakeValueStep("Employee Statistics", platform::Variant()));
    }
    step->AttachDateTime(std::make_shared<orvane::PunchDateTime>(fake.now));
    step->ReceiveMessage(orvane::MakeMessage("manager mode", true));
    step->Skip(steps);

    auto display = std::make_shared<orvane::RecordingDisplay>();
    auto keypad = stampkind::StampkindKeypad::Create();
    int finished = 0;
    int clicks = 0;
    keypad->Connect("Finished", [&finished] { ++finished; });
    keypad->Connect("Click", [&clicks] { ++clicks; });

    try {
        keypad->Attach(step, display);
        keypad->ReceiveMessage(orvane::MakeMessage("manager mode", true));
        keypad->Reset();
        CheckInvariants(*keypad);

        while (!input.AtEnd()) {
            const uint8_t operation = input.Next();
            const bool was_entering = keypad->EntryStage();
            const std::string value_before = keypad->Value();
            const int finished_before = finished;
            const int clicks_before = clicks;
            std::optional<int16_t> key;
            switch (operation) {
                case kClick: {
                    const auto buttons = ReachableButtons(*keypad);
                    buttons[input.Next() % buttons.size()]->Click();
                    break;
                }
                case kReset:
                    keypad->Reset();
                    break;
                case kEscape:
                    keypad->Cancelled();
                    keypad->Reset();
                    break;
                case kKeyCode: {
                    const auto low = input.Next();
                    key = static_cast<int16_t>(low | (input.Next() << 8));
                    break;
                }
                case kButtonColor:
                    keypad->ReceiveMessage(orvane::MakeMessage(
                        "button color", static_cast<int32_t>(input.Next()) * 0x010101));
                    break;
                default:
                    key = static_cast<int16_t>(operation);
                    break;
            }
            if (key)
                keypad->ProcessKeyPress(*key);

            CheckInvariants(*keypad);
            if (key && *key != kEnter && !was_entering && !(*key >= '0' && *key <= '9') &&
                *key != '+' && *key != '-') {
                // Keys outside the key map change nothing while choosing.
                if (keypad->Value() != value_before || finished != finished_before ||
                    clicks != clicks_before) {
                    Fault();
                }
            }
            if (!key && operation != kClick &&
                (finished != finished_before || clicks != clicks_before)) {
                Fault();  // only keys and clicks raise events
            }
            if (finished > finished_before) {
                if (finished != finished_before + 1)
                    Fault();
                // Finished comes from Enter with a chosen type, or from Skip.
                const bool by_enter = key == kEnter && !value_before.empty();
                const bool by_skip = !was_entering && keypad->Value().empty();
                if (!by_enter && !by_skip)
                    Fault();
                WriteRecords(*step, steps);
                keypad->Reset();
                CheckInvariants(*keypad);
            }
        }
    } catch (const platform::RaisedError&) {
        Fault();  // a person's keys and clicks raised an error
    }
    return 0;
}
