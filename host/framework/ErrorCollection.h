#pragma once

#include <vector>

#include "framework/HostObjects.h"

namespace orvane {

// The host library's error collection: errors in the order they were added.
class PLATFORM_API ErrorCollection final : public framework::IErrorCollection {
  public:
    int32_t Count() const override;
    void Add(int32_t number, const std::string& description) override;
    framework::ErrorEntry Item(int32_t position) const override;

  private:
    std::vector<framework::ErrorEntry> m_errors;
};

}  // namespace orvane
