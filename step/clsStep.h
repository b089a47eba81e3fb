#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "framework/IStep.h"
#include "platform/Date.h"
#include "platform/PropertyBag.h"
#include "step/IEnteredValues.h"

namespace stampkind {

// The "Punch Entry" step: the one class the host creates, keeps in its configuration and drives
// through IStep whenever an employee punches. It owns the step's three settings and their
// persistence, receives the host's messages, carries the chosen punch code from the keypads to
// the punch record, and can choose the punch by itself from the employee's last punch. The
// keypads of this library reach the entered values through IEnteredValues, which is not part of
// IStep. It shows nothing itself.
class clsStep final : public framework::IStep, public IEnteredValues, public platform::Persistable {
  public:
    static constexpr std::string_view kProgId = "Stampkind.clsStep";

    clsStep();
    ~clsStep() override;
    // A new step, counted among the library's live objects (how the library makes its steps).
    static std::shared_ptr<clsStep> Create();

    // IStep, in slot order.
    std::string Name() const override;
    platform::Variant Value() const override;
    void SetValue(const platform::Variant& rhs) override;
    framework::VBool IsValid() const override;
    framework::VBool ValidateValue(const platform::Variant& value) const override;
    framework::VBool CheckPrecondition(const std::shared_ptr<framework::ISteps>& steps) override;
    void WriteValue(const std::shared_ptr<framework::ISteps>& steps, const std::string& record_name,
                    const std::shared_ptr<framework::IRecord>& record) override;
    std::shared_ptr<framework::IErrorCollection> PreconditionErrors() const override;
    std::string PropertyPageID() const override;
    std::string KeypadControlID() const override;
    std::shared_ptr<framework::IPropertyCollection> Properties() const override;
    std::shared_ptr<framework::IStep> Clone() const override;
    void AttachDateTime(const std::shared_ptr<framework::IPunchDateTime>& date_time) override;
    void ReceiveMessage(const std::shared_ptr<framework::IMessage>& message) override;
    void RegisterRecordNames(const std::shared_ptr<framework::IRecordNames>& names) override;
    framework::VBool Skip(const std::shared_ptr<framework::ISteps>& steps) override;

    // Persistence, as the platform's persistence protocol calls it.
    std::string PersistClassId() const override { return std::string(kProgId); }
    std::shared_ptr<platform::Persistable> NewInstance() const override;
    void InitProperties() override;
    void ReadProperties(platform::PropertyBag& bag) override;
    void WriteProperties(platform::PropertyBag& bag) override;

    // IEnteredValues: each only reads or stores its member. The three readers also answer the
    // host through IPunchValues.
    platform::Date DateTimeIn() const override { return m_date_time_in; }
    void SetDateTimeIn(platform::Date value) override { m_date_time_in = value; }
    platform::Date DateTimeOut() const override { return m_date_time_out; }
    void SetDateTimeOut(platform::Date value) override { m_date_time_out = value; }
    double Amount() const override { return m_amount; }
    void SetAmount(double value) override { m_amount = value; }
    bool HasStatisticsStep() const override { return m_has_statistics_step; }
    bool ManagerMode() const { return m_manager_mode; }
    // The punch's date-time object the host gave last, or none.
    std::shared_ptr<framework::IPunchDateTime> DateTime() const { return m_date_time; }

  private:
    // Punch records.
    void WriteInDateTime(framework::IRecord& record, platform::Date moment) const;
    void WriteOutDateTime(framework::IRecord& record, platform::Date moment) const;
    static platform::Date DateOnly(platform::Date moment);
    static platform::Date TimeOnly(platform::Date moment);
    platform::Date PunchMoment() const;
    platform::Date InMoment() const;
    platform::Date OutMoment() const;

    // The automatic punch.
    std::string NextPunchFromLastPunch(int32_t card_number);
    platform::Date LowerBound() const;

    // Members in declaration order.
    std::string m_value;
    std::shared_ptr<framework::IPunchDateTime> m_date_time;
    std::shared_ptr<framework::IPropertyCollection> m_settings;
    platform::Date m_date_time_in{};
    platform::Date m_date_time_out{};
    std::shared_ptr<framework::IErrorCollection> m_precondition_errors;
    bool m_manager_mode = false;
    double m_amount = 0.0;
    bool m_has_statistics_step = false;
};

}  // namespace stampkind
