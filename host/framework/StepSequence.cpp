#include "host/framework/StepSequence.h"

#include <utility>

#include "framework/IStep.h"
#include "host/framework/ErrorCollection.h"
#include "host/framework/Names.h"
#include "host/framework/PropertyCollection.h"
#include "platform/Error.h"

namespace orvane {

void StepSequence::Append(const std::string& name, platform::ObjectRef step) {
    for (auto& [existing, object] : m_steps) {
        if (SameName(existing, name)) {
            object = std::move(step);
            return;
        }
    }
    m_steps.emplace_back(name, std::move(step));
}

platform::ObjectRef StepSequence::Item(const std::string& name) const {
    for (const auto& [existing, object] : m_steps) {
        if (SameName(existing, name))
            return object;
    }
    platform::raise(platform::err::kSubscriptOutOfRange,
                    "Subscript out of range: the sequence has no step \"" + name + "\"");
}

framework::VBool StepSequence::Exists(const std::string& name) const {
    for (const auto& step : m_steps) {
        if (SameName(step.first, name))
            return framework::VBool::True;
    }
    return framework::VBool::False;
}

namespace {

// A step of the host's own that only carries a value, such as the card number of the
// "Employee ID" step. It shows no keypad, needs no settings and writes nothing.
class ValueStep final : public framework::IStep {
  public:
    ValueStep(std::string name, platform::Variant value)
        : m_name(std::move(name)), m_value(std::move(value)) {}

    std::string Name() const override { return m_name; }
    platform::Variant Value() const override { return m_value; }
    void SetValue(const platform::Variant& rhs) override { m_value = rhs; }
    framework::VBool IsValid() const override {
        return framework::ToVBool(!m_value.is_empty() && !m_value.is_null());
    }
    framework::VBool ValidateValue(const platform::Variant&) const override {
        return framework::VBool::True;
    }
    framework::VBool CheckPrecondition(const std::shared_ptr<framework::ISteps>&) override {
        return framework::VBool::True;
    }
    void WriteValue(const std::shared_ptr<framework::ISteps>&, const std::string&,
                    const std::shared_ptr<framework::IRecord>&) override {}
    std::shared_ptr<framework::IErrorCollection> PreconditionErrors() const override {
        return m_errors;
    }
    std::string PropertyPageID() const override { return ""; }
    std::string KeypadControlID() const override { return ""; }
    std::shared_ptr<framework::IPropertyCollection> Properties() const override {
        return m_settings;
    }
    std::shared_ptr<framework::IStep> Clone() const override {
        return std::make_shared<ValueStep>(m_name, m_value);
    }
    void AttachDateTime(const std::shared_ptr<framework::IPunchDateTime>&) override {}
    void ReceiveMessage(const std::shared_ptr<framework::IMessage>&) override {}
    void RegisterRecordNames(const std::shared_ptr<framework::IRecordNames>&) override {}
    framework::VBool Skip(const std::shared_ptr<framework::ISteps>&) override {
        return framework::VBool::True;
    }

  private:
    std::string m_name;
    platform::Variant m_value;
    std::shared_ptr<framework::IErrorCollection> m_errors = std::make_shared<ErrorCollection>();
    std::shared_ptr<framework::IPropertyCollection> m_settings =
        std::make_shared<PropertyCollection>();
};

}  // namespace

platform::ObjectRef MakeValueStep(const std::string& name, const platform::Variant& value) {
    return std::make_shared<ValueStep>(name, value);
}

}  // namespace orvane
