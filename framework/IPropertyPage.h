#pragma once

#include <memory>
#include <string>

#include "framework/HostObjects.h"
#include "platform/Api.h"

namespace framework {

class IStep;

// The setup page of a step, as the host drives it. Operations in slot order. A page is also a
// user control (its controls) and an event source ("Changed", 1). Called on the apartment's
// thread only, by the host's setup screen.
class PLATFORM_API IPropertyPage : public virtual platform::Object {
  public:
    virtual void Reset() = 0;
    // Attaches the page to the step whose settings it edits, and loads its controls. Keeps it.
    virtual void AttachStep(const std::shared_ptr<IStep>& step) = 0;
    // Writes the edits into the step's settings; 13 for a value a setting cannot take.
    virtual void ApplyChanges() = 0;
    virtual std::string Description() const = 0;
    virtual void ReceiveMessage(const std::shared_ptr<IMessage>& message) = 0;
};

}  // namespace framework
