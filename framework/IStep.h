#pragma once

#include <memory>
#include <string>

#include "framework/Bool16.h"
#include "framework/HostObjects.h"
#include "platform/Api.h"

namespace framework {

// A step of the host's punch sequence, as the host drives it. Operations in slot order.
class PLATFORM_API IStep : public virtual platform::Object {
  public:
    // 1. The step's name.
    virtual std::string Name() const = 0;
    // 2. The step's value.
    virtual Variant Value() const = 0;
    // 3. Sets the step's value.
    virtual void SetValue(const Variant& rhs) = 0;
    // 4. Whether the step holds a value.
    virtual VBool IsValid() const = 0;
    // 5. Whether a value is acceptable as the step's value.
    virtual VBool ValidateValue(const Variant& value) const = 0;
    // 6. Whether the step can run in this sequence.
    virtual VBool CheckPrecondition(const std::shared_ptr<ISteps>& steps) = 0;
    // 7. Fills a record: the punch's own record ("") or an extra record by name.
    virtual void WriteValue(const std::shared_ptr<ISteps>& steps, const std::string& record_name,
                            const std::shared_ptr<IRecord>& record) = 0;
    // 8. The errors that keep the step from running (owned by the step).
    virtual std::shared_ptr<IErrorCollection> PreconditionErrors() const = 0;
    // 9. The programmatic identifier of the step's setup page.
    virtual std::string PropertyPageID() const = 0;
    // 10. The programmatic identifier of the step's keypad control.
    virtual std::string KeypadControlID() const = 0;
    // 11. The step's live settings collection (owned by the step; null before it is initialised
    // or restored).
    virtual std::shared_ptr<IPropertyCollection> Properties() const = 0;
    // 12. A new step with the same settings (owned by the caller).
    virtual std::shared_ptr<IStep> Clone() const = 0;
    // 13. Gives the step the punch's date-time object.
    virtual void AttachDateTime(const std::shared_ptr<IPunchDateTime>& date_time) = 0;
    // 14. Hands the step a message of the host.
    virtual void ReceiveMessage(const std::shared_ptr<IMessage>& message) = 0;
    // 15. Adds the names of the extra records the punch needs.
    virtual void RegisterRecordNames(const std::shared_ptr<IRecordNames>& names) = 0;
    // 16. Whether the host should not show the step's keypad.
    virtual VBool Skip(const std::shared_ptr<ISteps>& steps) = 0;
};

}  // namespace framework
