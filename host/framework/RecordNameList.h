#pragma once

#include <string>
#include <vector>

#include "framework/HostObjects.h"

namespace orvane {

// The names of the extra records of one punch, in the order they were added.
class PLATFORM_API RecordNameList final : public framework::IRecordNames {
  public:
    void Add(const std::string& name, const std::string& text) override;
    const std::vector<std::string>& names() const { return m_names; }

  private:
    std::vector<std::string> m_names;
};

}  // namespace orvane
