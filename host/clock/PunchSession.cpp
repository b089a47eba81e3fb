#include "host/clock/PunchSession.h"

#include "host/clock/Configuration.h"
#include "host/framework/Message.h"
#include "host/framework/PunchDateTime.h"
#include "host/framework/PunchRecord.h"
#include "host/framework/RecordNameList.h"
#include "platform/Events.h"
#include "platform/Registry.h"

namespace timeclock {

PunchSession::PunchSession(std::shared_ptr<framework::IStep> step,
                           std::shared_ptr<framework::IDisplay> display, PunchContext context)
    : m_step(std::move(step)),
      m_display(std::move(display)),
      m_context(std::move(context)),
      m_steps(std::make_shared<orvane::StepSequence>()) {
    if (m_context.card) {
        m_steps->Append(kEmployeeIdStep, orvane::MakeValueStep(kEmployeeIdStep, *m_context.card));
    }
    m_steps->Append(kPunchEntryStep, m_step);
    if (m_context.statistics) {
        m_steps->Append(kStatisticsStep, orvane::MakeValueStep(kStatisticsStep, {}));
    }
}

PunchSession::~PunchSession() {
    if (auto source = platform::query<platform::EventSource>(m_keypad)) {
        for (int cookie : m_cookies)
            source->Disconnect(cookie);
    }
}

void PunchSession::Begin() {
    m_step->AttachDateTime(std::make_shared<orvane::PunchDateTime>(m_context.moment));
    m_step->ReceiveMessage(orvane::MakeMessage("manager mode", m_context.manager_mode));

    m_skipped = !m_context.never_skip && framework::FromVBool(m_step->Skip(m_steps));
    if (m_skipped)
        return;

    m_keypad = platform::CreateObjectAs<framework::IKeypadControl>(m_step->KeypadControlID());
    auto source = platform::query_or_raise<platform::EventSource>(m_keypad);
    m_cookies.push_back(source->Connect("Click", [this] { m_events.emplace_back("Click"); }));
    m_cookies.push_back(source->Connect("Finished", [this] {
        m_events.emplace_back("Finished");
        m_finished = true;
    }));

    m_keypad->Attach(m_step, m_display);
    m_keypad->ReceiveMessage(orvane::MakeMessage("manager mode", m_context.manager_mode));
    m_keypad->ReceiveMessage(orvane::MakeMessage("button color", m_context.button_color));
    m_keypad->Reset();
}

void PunchSession::PressKey(int16_t key) {
    if (!m_keypad || Finished() || m_cancelled)
        return;
    m_keypad->ProcessKeyPress(key);
}

void PunchSession::Cancel() {
    if (m_cancelled)
        return;
    m_cancelled = true;
    if (m_keypad)
        m_keypad->Cancelled();
}

PunchSession::Outcome PunchSession::Complete(int32_t card) {
    Outcome outcome;
    if (m_cancelled)
        return outcome;
    // A punch without a value (nothing chosen) writes nothing. The step's own check of its value
    // is reported but does not stop the write: its list of codes names funeral leave and jury
    // duty by their first letters only, and the step writes nothing for a code it does not know,
    // so every code the keypad offers is stored as the step writes it.
    const bool has_value = framework::FromVBool(m_step->IsValid());
    outcome.valid = has_value && framework::FromVBool(m_step->ValidateValue(m_step->Value()));
    if (!has_value)
        return outcome;

    auto names = std::make_shared<orvane::RecordNameList>();
    m_step->RegisterRecordNames(names);

    orvane::PunchWrite write;
    write.card = card;
    write.own = std::make_shared<orvane::PunchRecord>("");
    m_step->WriteValue(m_steps, "", write.own);
    for (const auto& name : names->names()) {
        auto extra = std::make_shared<orvane::PunchRecord>(name);
        m_step->WriteValue(m_steps, name, extra);
        write.extras.push_back(std::move(extra));
    }
    outcome.records = std::move(write);
    return outcome;
}

bool PunchSession::Outcome::HasWrites() const {
    if (!records)
        return false;
    if (records->own && !records->own->writes().empty())
        return true;
    for (const auto& extra : records->extras) {
        if (!extra->writes().empty())
            return true;
    }
    return false;
}

std::shared_ptr<platform::UserControl> PunchSession::KeypadForm() const {
    return platform::query<platform::UserControl>(m_keypad);
}

}  // namespace timeclock
