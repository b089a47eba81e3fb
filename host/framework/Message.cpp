#include "host/framework/Message.h"

#include <utility>

namespace orvane {

Message::Message(std::vector<framework::MessageEntry> entries) : m_entries(std::move(entries)) {}

void MessageBuilder::Add(const std::string& name, const platform::Variant& value) {
    m_entries.push_back({name, value});
}

void MessageBuilder::Clear() {
    m_entries.clear();
}

std::shared_ptr<framework::IMessage> MessageBuilder::Message() const {
    return std::make_shared<orvane::Message>(m_entries);
}

std::shared_ptr<framework::IMessage> MakeMessage(const std::string& name,
                                                 const platform::Variant& value) {
    return std::make_shared<orvane::Message>(
        std::vector<framework::MessageEntry>{framework::MessageEntry{name, value}});
}

}  // namespace orvane
