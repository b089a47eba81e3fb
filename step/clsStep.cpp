// The step's identity, settings, persistence, messages and value.
#include "step/clsStep.h"

#include <string>

#include "common/LiveObjects.h"
#include "framework/Factories.h"
#include "platform/Error.h"
#include "platform/TextScan.h"
#include "step/StepSettings.h"

namespace stampkind {

namespace {

constexpr const char* kStepName = "Punch Entry";
constexpr const char* kSetupPageId = "Stampkind.SetupPage";
constexpr const char* kKeypadId = "Stampkind.StampkindKeypad";
// The property under which the settings collection is saved.
constexpr const char* kSettingsProperty = "Props";
// The property under which Clone saves the step into its scratch bag.
constexpr const char* kCloneProperty = "step";

void AddDefaults(framework::IPropertyCollection& settings) {
    for (const auto& setting : StepSettings()) {
        settings.Add(std::string(setting.name), setting.default_value);
    }
}

}  // namespace

clsStep::clsStep() : m_precondition_errors(framework::NewErrorCollection()) {}

clsStep::~clsStep() = default;

std::shared_ptr<clsStep> clsStep::Create() {
    return MakeCounted<clsStep>();
}

std::string clsStep::Name() const {
    return kStepName;
}

platform::Variant clsStep::Value() const {
    return platform::Variant(m_value);
}

void clsStep::SetValue(const platform::Variant& rhs) {
    m_value = rhs.to_text();
}

framework::VBool clsStep::IsValid() const {
    return framework::ToVBool(!m_value.empty());
}

framework::VBool clsStep::CheckPrecondition(const std::shared_ptr<framework::ISteps>&) {
    return framework::VBool::True;
}

std::shared_ptr<framework::IErrorCollection> clsStep::PreconditionErrors() const {
    return m_precondition_errors;
}

std::string clsStep::PropertyPageID() const {
    return kSetupPageId;
}

std::string clsStep::KeypadControlID() const {
    return kKeypadId;
}

std::shared_ptr<framework::IPropertyCollection> clsStep::Properties() const {
    return m_settings;
}

std::shared_ptr<framework::IStep> clsStep::Clone() const {
    // The copy goes through the host's own persistence path: this step saves itself into a
    // scratch bag and a new step restores itself from it, so the clone shares no settings object
    // and starts with a new step's values. The bag uses the reference only while it saves, so a
    // reference that does not own this step is enough.
    const std::shared_ptr<clsStep> self(std::shared_ptr<clsStep>{}, const_cast<clsStep*>(this));
    platform::PropertyBag bag;
    bag.WriteProperty(kCloneProperty, platform::Variant(self));
    const platform::Variant copy = bag.ReadProperty(kCloneProperty, NewInstance());
    return platform::query_or_raise<framework::IStep>(copy.to_object());
}

void clsStep::AttachDateTime(const std::shared_ptr<framework::IPunchDateTime>& date_time) {
    m_date_time = date_time;
}

void clsStep::ReceiveMessage(const std::shared_ptr<framework::IMessage>& message) {
    if (!message)
        platform::raise(platform::err::kObjectVariableNotSet);
    for (const auto& entry : message->Entries()) {
        // Names are compared in lower case, nothing trimmed.
        if (platform::text::iequals(entry.Name, "datetime")) {
            AttachDateTime(
                platform::query_or_raise<framework::IPunchDateTime>(entry.Value.to_object()));
        } else if (platform::text::iequals(entry.Name, "manager mode")) {
            m_manager_mode = entry.Value.to_bool();
        }
    }
}

std::shared_ptr<platform::Persistable> clsStep::NewInstance() const {
    return Create();
}

void clsStep::InitProperties() {
    m_settings = framework::NewPropertyCollection();
    AddDefaults(*m_settings);
    m_precondition_errors = framework::NewErrorCollection();
}

void clsStep::ReadProperties(platform::PropertyBag& bag) {
    const platform::Variant saved =
        bag.ReadProperty(kSettingsProperty, platform::Variant(framework::NewPropertyCollection()));
    const platform::ObjectRef object = saved.to_object();
    if (!object) {
        // A step saved before it had settings restores without settings, as it was.
        m_settings = nullptr;
        return;
    }
    m_settings = platform::query_or_raise<framework::IPropertyCollection>(object);
    // From here on every error is ignored. A saved value wins over its default: the collection
    // refuses a name it already holds, and that refusal is expected. A setting missing from older
    // saved data gets its default. A saved value of a kind its setting cannot take (a hand-edited
    // file) is kept as it is: only the use that needs it meets the error, and the automatic
    // punch then goes on as an in punch, so punching never stops.
    for (const auto& setting : StepSettings()) {
        try {
            m_settings->Add(std::string(setting.name), setting.default_value);
        } catch (const platform::RaisedError&) {
        }
    }
}

void clsStep::WriteProperties(platform::PropertyBag& bag) {
    bag.WriteProperty(kSettingsProperty, platform::Variant(m_settings));
}

}  // namespace stampkind
