#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Services.h"

namespace platform {

// Services for tests and scripted punches: a clock that stands still at `now` unless moved, a
// sleep that records the pause and returns at once, a message box that records its text, and a
// count of the dispatches of pending messages. Every call is also written to `calls` in order
// ("Sleep 2000", "DoEvents", "MessageBox Error: ...") so that a test can assert the sequence.
class PLATFORM_API FakeServices : public Services {
  public:
    FakeServices();
    explicit FakeServices(Date start);

    Date Now() override { return now; }
    void Sleep(uint32_t milliseconds) override;
    void DoEvents() override;
    void MessageBox(std::string_view text) override;
    const RegionalSettings& Regional() const override { return regional; }
    std::filesystem::path RegistryFile() const override { return registry_file; }

    Date now{};
    RegionalSettings regional;
    std::filesystem::path registry_file;
    // When set, Sleep also moves the clock on by the time slept.
    bool advance_clock_on_sleep = false;

    std::vector<uint32_t> pauses;
    std::vector<std::string> messages;
    int dispatches = 0;
    std::vector<std::string> calls;
};

}  // namespace platform
