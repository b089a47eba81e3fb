#include "platform/FakeServices.h"

namespace platform {

namespace {
constexpr double kMillisecondsPerDay = 86400000.0;
}  // namespace

FakeServices::FakeServices() = default;

FakeServices::FakeServices(Date start) : now(start) {}

void FakeServices::Sleep(uint32_t milliseconds) {
    pauses.push_back(milliseconds);
    calls.push_back("Sleep " + std::to_string(milliseconds));
    if (advance_clock_on_sleep)
        now.days += milliseconds / kMillisecondsPerDay;
}

void FakeServices::DoEvents() {
    ++dispatches;
    calls.emplace_back("DoEvents");
}

void FakeServices::MessageBox(std::string_view text) {
    messages.emplace_back(text);
    calls.push_back("MessageBox " + std::string(text));
}

}  // namespace platform
