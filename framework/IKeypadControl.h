#pragma once

#include <cstdint>
#include <memory>

#include "framework/Bool16.h"
#include "framework/HostObjects.h"
#include "platform/Api.h"

namespace framework {

class IStep;

// The on-screen keypad of a step, as the host drives it. Operations in slot order. A keypad is
// also a user control (platform::UserControl) that the host draws, and an event source
// (platform::EventSource) whose events the host connects by name: "Finished" (1) and "Click" (2),
// delivered inside the call that raised them. Called on the apartment's thread only.
class PLATFORM_API IKeypadControl : public virtual platform::Object {
  public:
    // Hands the keypad a message of the host ("manager mode", "button color"), after Attach.
    // Borrows it; 91 for null.
    virtual void ReceiveMessage(const std::shared_ptr<IMessage>& message) = 0;
    // One key press, a 16-bit character code; may raise Finished or Click. 91 before Attach.
    virtual void ProcessKeyPress(int16_t key_ascii) = 0;
    // Attaches the keypad to its step and to the host's display; first, once per punch. Keeps
    // both. 13 for a step of another component, 91 for a step not yet initialised.
    virtual void Attach(const std::shared_ptr<IStep>& step,
                        const std::shared_ptr<IDisplay>& display) = 0;
    // Whether the keypad wants to finish on its own.
    virtual VBool Finalize() = 0;
    // Prepares a new entry; after Attach, before the first key.
    virtual void Reset() = 0;
    // The host gave the punch up.
    virtual void Cancelled() = 0;
};

}  // namespace framework
