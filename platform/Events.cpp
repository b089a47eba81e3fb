#include "platform/Events.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/Error.h"
#include "platform/TextScan.h"

namespace platform {

namespace {

[[noreturn]] void raise_unknown_event(std::string_view name) {
    raise(err::kPropertyNotFound,
          standard_description(err::kPropertyNotFound) + ": event \"" + std::string(name) + "\"");
}

}  // namespace

EventSource::EventSource(std::vector<EventDescriptor> events) : m_events(std::move(events)) {}

EventSource::~EventSource() = default;

int32_t EventSource::DispatchId(std::string_view name) const {
    for (const auto& event : m_events) {
        if (platform::text::iequals(event.name, name))
            return event.dispatch_id;
    }
    raise_unknown_event(name);
}

int EventSource::Connect(std::string_view name, Handler handler) {
    const int32_t id = DispatchId(name);
    const int cookie = m_next_cookie++;
    m_connections.push_back(
        std::make_shared<Connection>(Connection{cookie, id, std::move(handler)}));
    return cookie;
}

void EventSource::Disconnect(int cookie) {
    std::erase_if(m_connections, [cookie](const std::shared_ptr<Connection>& c) {
        if (c->cookie != cookie)
            return false;
        c->connected = false;
        return true;
    });
}

void EventSource::RaiseEvent(std::string_view name) {
    const int32_t id = DispatchId(name);
    // Deliver to the handlers connected when the event was raised, skipping those disconnected
    // meanwhile; the local copies keep each connection alive while its handler runs.
    std::vector<std::shared_ptr<Connection>> receivers;
    for (const auto& connection : m_connections) {
        if (connection->dispatch_id == id)
            receivers.push_back(connection);
    }
    for (const auto& receiver : receivers) {
        if (receiver->connected)
            receiver->handler();
    }
}

}  // namespace platform
