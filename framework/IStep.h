#pragma once

#include <memory>
#include <string>

#include "framework/Bool16.h"
#include "framework/HostObjects.h"
#include "platform/Api.h"

namespace framework {

// A step of the host's punch sequence, as the host drives it. Operations in slot order.
// Called by the host on the apartment's thread only. The host initialises a new step
// (platform::Persistable::InitProperties) or restores a saved one before any other call.
// "Keeps": the step holds a share of the argument; "borrows": it uses it during the call only.
class PLATFORM_API IStep : public virtual platform::Object {
  public:
    // 1. The step's name.
    virtual std::string Name() const = 0;
    // 2. The step's value.
    virtual Variant Value() const = 0;
    // 3. Sets the step's value (its text). Raises 94 for null, 13 for an object.
    virtual void SetValue(const Variant& rhs) = 0;
    // 4. Whether the step holds a value; asked after the keypad finished.
    virtual VBool IsValid() const = 0;
    // 5. Whether a value is acceptable as the step's value.
    virtual VBool ValidateValue(const Variant& value) const = 0;
    // 6. Whether the step can run in this sequence; before it runs. Borrows steps.
    virtual VBool CheckPrecondition(const std::shared_ptr<ISteps>& steps) = 0;
    // 7. Fills a record: the punch's own record ("") or an extra record by name; after
    // RegisterRecordNames. Borrows both. Raises 91 without a date-time, 6 for a moment out of
    // range, 9 for a field the record lacks.
    virtual void WriteValue(const std::shared_ptr<ISteps>& steps, const std::string& record_name,
                            const std::shared_ptr<IRecord>& record) = 0;
    // 8. The errors that keep the step from running, after CheckPrecondition (the step's own).
    virtual std::shared_ptr<IErrorCollection> PreconditionErrors() const = 0;
    // 9. The programmatic identifier of the step's setup page.
    virtual std::string PropertyPageID() const = 0;
    // 10. The programmatic identifier of the step's keypad control.
    virtual std::string KeypadControlID() const = 0;
    // 11. The step's live settings collection (owned by the step; null before it is initialised
    // or restored).
    virtual std::shared_ptr<IPropertyCollection> Properties() const = 0;
    // 12. A new step with the same settings (the caller's).
    virtual std::shared_ptr<IStep> Clone() const = 0;
    // 13. Gives the step the punch's date-time at the start of each punch. Keeps it.
    virtual void AttachDateTime(const std::shared_ptr<IPunchDateTime>& date_time) = 0;
    // 14. A message of the host ("manager mode", "datetime"). Borrows it; 91 for null.
    virtual void ReceiveMessage(const std::shared_ptr<IMessage>& message) = 0;
    // 15. Adds the names of the extra records the punch needs; before the writes. Borrows.
    virtual void RegisterRecordNames(const std::shared_ptr<IRecordNames>& names) = 0;
    // 16. Whether the host should not show the step's keypad; before showing it (the automatic
    // punch reads the database here). Borrows steps; 13 for no sequence, 91 uninitialised.
    virtual VBool Skip(const std::shared_ptr<ISteps>& steps) = 0;
};

}  // namespace framework
