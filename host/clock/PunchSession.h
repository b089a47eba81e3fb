#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/IKeypadControl.h"
#include "framework/IStep.h"
#include "host/database/ClockDatabase.h"
#include "host/framework/StepSequence.h"
#include "platform/Controls.h"
#include "platform/Date.h"
#include "platform/Variant.h"

namespace timeclock {

// What the clock knows about a punch before it starts.
struct PunchContext {
    // The moment of the punch.
    platform::Date moment{};
    bool manager_mode = false;
    // The value of the "Employee ID" step (the card as typed); none when the sequence has no
    // "Employee ID" step.
    std::optional<platform::Variant> card;
    // Whether the sequence has an "Employee Statistics" step.
    bool statistics = false;
    // The colour of the keypad's buttons.
    int32_t button_color = 0;
    // The keypad shows without asking the step whether to skip it (a manager's punch at a
    // kiosk: the automatic punch never decides it).
    bool never_skip = false;
};

// One punch of the "Punch Entry" step, from the first key to the records it fills: hands the
// step the punch moment and manager mode, asks it whether to skip its keypad, creates that
// keypad through the component registry and feeds it keys and clicks until it has finished,
// then validates the step's value and lets the step fill the punch's own record and each extra
// record. It stores nothing itself; the records it returns go to the clock database in one
// transaction. Errors raised by the step, the keypad or the registry travel to the caller.
class PunchSession {
  public:
    PunchSession(std::shared_ptr<framework::IStep> step,
                 std::shared_ptr<framework::IDisplay> display, PunchContext context);
    ~PunchSession();
    PunchSession(const PunchSession&) = delete;
    PunchSession& operator=(const PunchSession&) = delete;

    // Gives the step the punch moment and manager mode and asks Skip; when the keypad is not
    // skipped, creates it, attaches it, sends it "manager mode" and "button color" and resets it.
    void Begin();

    // The answer of Skip.
    bool Skipped() const { return m_skipped; }
    // The keypad raised Finished, or the step was skipped.
    bool Finished() const { return m_skipped || m_finished; }
    // The person gave the punch up (Cancel).
    bool Cancelled() const { return m_cancelled; }
    // The keypad's events so far, by name, in the order raised.
    const std::vector<std::string>& Events() const { return m_events; }

    // One key for the keypad; ignored once the punch has finished or was cancelled.
    void PressKey(int16_t key);
    // Gives the punch up: tells the keypad, and nothing will be written.
    void Cancel();

    // The punch's records, as the step wrote them.
    struct Outcome {
        // IsValid and ValidateValue both answered true.
        bool valid = false;
        // The punch's own record and its extra records; none when the step holds no value.
        std::optional<orvane::PunchWrite> records;

        // The step wrote at least one field (a status punch writes none and is not stored).
        bool HasWrites() const;
    };
    // Validates the step's value and lets the step fill the records. Call once Finished.
    Outcome Complete(int32_t card);

    const std::shared_ptr<framework::IKeypadControl>& Keypad() const { return m_keypad; }
    // The keypad's form (its controls), for a front end that draws it; null before Begin or
    // when skipped.
    std::shared_ptr<platform::UserControl> KeypadForm() const;
    const std::shared_ptr<framework::IStep>& Step() const { return m_step; }
    platform::Date Moment() const { return m_context.moment; }
    const std::optional<platform::Variant>& Card() const { return m_context.card; }
    const std::shared_ptr<orvane::StepSequence>& Steps() const { return m_steps; }

  private:
    std::shared_ptr<framework::IStep> m_step;
    std::shared_ptr<framework::IDisplay> m_display;
    PunchContext m_context;
    std::shared_ptr<orvane::StepSequence> m_steps;
    std::shared_ptr<framework::IKeypadControl> m_keypad;
    std::vector<int> m_cookies;
    std::vector<std::string> m_events;
    bool m_skipped = false;
    bool m_finished = false;
    bool m_cancelled = false;
};

}  // namespace timeclock
