#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Api.h"
#include "platform/Object.h"

namespace platform {

// One event of an event interface: its name and its dispatch id.
struct EventDescriptor {
    std::string_view name;
    int32_t dispatch_id;
};

// The outgoing event interface of an object. Events carry no arguments; they are raised by name
// and delivered synchronously, inside the call that raised them, to every handler connected to
// that name, in the order of connection. A host asks an object for this interface
// (query<EventSource>) and connects its handlers by name.
class PLATFORM_API EventSource : public virtual Object {
  public:
    using Handler = std::function<void()>;

    // The events of this source, in the order of its event interface.
    const std::vector<EventDescriptor>& Events() const { return m_events; }
    // The dispatch id of an event; raises "Property or method not found" (423) for a name the
    // source does not raise.
    int32_t DispatchId(std::string_view name) const;

    // Connects a handler to an event by name (the name compared without regard to letter case);
    // returns a cookie for Disconnect. Raises 423 for an unknown event.
    int Connect(std::string_view name, Handler handler);
    void Disconnect(int cookie);

  protected:
    explicit EventSource(std::vector<EventDescriptor> events);
    ~EventSource() override;

    // Raises an event of this source by name; handlers run before this returns. Once the first
    // handler has run, the source's own state is not touched again.
    void RaiseEvent(std::string_view name);

  private:
    struct Connection {
        int cookie;
        int32_t dispatch_id;
        Handler handler;
        bool connected = true;
    };
    std::vector<EventDescriptor> m_events;
    // Shared with an event being raised, so that a handler may disconnect handlers, or release
    // the source itself, while the event is delivered.
    std::vector<std::shared_ptr<Connection>> m_connections;
    int m_next_cookie = 1;
};

}  // namespace platform
