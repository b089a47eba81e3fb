#pragma once

#include <memory>
#include <vector>

#include "framework/HostObjects.h"

namespace orvane {

// A message: named entries in the order they were added.
class PLATFORM_API Message final : public framework::IMessage {
  public:
    Message() = default;
    explicit Message(std::vector<framework::MessageEntry> entries);
    const std::vector<framework::MessageEntry>& Entries() const override { return m_entries; }

  private:
    std::vector<framework::MessageEntry> m_entries;
};

// The host library's message builder.
class PLATFORM_API MessageBuilder final : public framework::IMessageBuilder {
  public:
    void Add(const std::string& name, const platform::Variant& value) override;
    void Clear() override;
    std::shared_ptr<framework::IMessage> Message() const override;

  private:
    std::vector<framework::MessageEntry> m_entries;
};

// A message of one entry, for the host's own senders.
PLATFORM_API std::shared_ptr<framework::IMessage> MakeMessage(const std::string& name,
                                                              const platform::Variant& value);

}  // namespace orvane
