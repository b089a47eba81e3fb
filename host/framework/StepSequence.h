#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/HostObjects.h"

namespace orvane {

// The step sequence of one punch: steps by name, in order. Names are compared without regard to
// the case of ASCII letters.
class PLATFORM_API StepSequence final : public framework::ISteps {
  public:
    // Appends a step under a name (a later step of the same name replaces the earlier one).
    void Append(const std::string& name, platform::ObjectRef step);

    platform::ObjectRef Item(const std::string& name) const override;
    framework::VBool Exists(const std::string& name) const override;

    const std::vector<std::pair<std::string, platform::ObjectRef>>& steps() const {
        return m_steps;
    }

  private:
    std::vector<std::pair<std::string, platform::ObjectRef>> m_steps;
};

// A step of the host's own that only carries a value (the "Employee ID" step's card number).
// It answers IStep with fixed, harmless answers for everything else.
PLATFORM_API platform::ObjectRef MakeValueStep(const std::string& name,
                                               const platform::Variant& value);

}  // namespace orvane
