#include "platform/Events.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/Error.h"

namespace platform {

namespace {

bool same_name(std::string_view a, std::string_view b) {
    auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

[[noreturn]] void raise_unknown_event(std::string_view name) {
    raise(err::kPropertyNotFound,
          standard_description(err::kPropertyNotFound) + ": event \"" + std::string(name) + "\"");
}

}  // namespace

EventSource::EventSource(std::vector<EventDescriptor> events) : m_events(std::move(events)) {}

EventSource::~EventSource() = default;

int32_t EventSource::DispatchId(std::string_view name) const {
    for (const auto& event : m_events) {
        if (same_name(event.name, name))
            return event.dispatch_id;
    }
    raise_unknown_event(name);
}

int EventSource::Connect(std::string_view name, Handler handler) {
    const int32_t id = DispatchId(name);
    const int cookie = m_next_cookie++;
    m_connections.push_back(Connection{cookie, id, std::move(handler)});
    return cookie;
}

void EventSource::Disconnect(int cookie) {
    std::erase_if(m_connections, [cookie](const Connection& c) { return c.cookie == cookie; });
}

void EventSource::RaiseEvent(std::string_view name) {
    const int32_t id = DispatchId(name);
    // A handler may connect or disconnect handlers while it runs: deliver to the handlers
    // connected when the event was raised, and skip those disconnected meanwhile.
    std::vector<int> cookies;
    for (const auto& connection : m_connections) {
        if (connection.dispatch_id == id)
            cookies.push_back(connection.cookie);
    }
    for (int cookie : cookies) {
        auto it = std::find_if(m_connections.begin(), m_connections.end(),
                               [cookie](const Connection& c) { return c.cookie == cookie; });
        if (it == m_connections.end())
            continue;
        Handler handler = it->handler;  // the connection may go away while the handler runs
        handler();
    }
}

}  // namespace platform
