#include "platform/Events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Error.h"
#include "tests/support/Raised.h"

namespace {

// An event source with the entry keypads' events.
class Keypad final : public platform::EventSource {
  public:
    Keypad() : EventSource({{"Click", 1}, {"Finished", 2}}) {}
    using EventSource::RaiseEvent;
};

TEST(EventSourceTest, KnowsItsEventsAndDeliversByNameInConnectionOrder) {
    Keypad keypad;
    ASSERT_EQ(keypad.Events().size(), 2u);
    EXPECT_EQ(keypad.DispatchId("Click"), 1);
    EXPECT_EQ(keypad.DispatchId("FINISHED"), 2);
    std::string description;
    EXPECT_EQ(ErrorNumberOf([&] { keypad.DispatchId("Changed"); }, &description),
              platform::err::kPropertyNotFound);
    EXPECT_NE(description.find("Changed"), std::string::npos);
    EXPECT_THROW(keypad.Connect("Changed", [] {}), platform::RaisedError);

    // Handlers hear their event by name, in any letter case, in the order they were connected.
    std::vector<std::string> heard;
    keypad.Connect("finished", [&] { heard.push_back("first finished"); });
    keypad.Connect("Click", [&] { heard.push_back("click"); });
    keypad.Connect("Finished", [&] { heard.push_back("second finished"); });

    keypad.RaiseEvent("Finished");
    keypad.RaiseEvent("Click");
    EXPECT_EQ(heard, (std::vector<std::string>{"first finished", "second finished", "click"}));
}

TEST(EventSourceTest, HandlerMayDisconnectItselfAndOthersWhileRunning) {
    Keypad keypad;
    std::vector<std::string> heard;
    int second = 0;
    int first = 0;
    first = keypad.Connect("Click", [&] {
        heard.push_back("first");
        keypad.Disconnect(first);
        keypad.Disconnect(second);
        keypad.Connect("Click", [&] { heard.push_back("late"); });
    });
    second = keypad.Connect("Click", [&] { heard.push_back("second"); });

    keypad.RaiseEvent("Click");
    EXPECT_EQ(heard, std::vector<std::string>{"first"});
    keypad.RaiseEvent("Click");
    EXPECT_EQ(heard, (std::vector<std::string>{"first", "late"}));
}

TEST(EventSourceTest, HandlerMayReleaseTheSourceWhileItIsRaising) {
    auto keypad = std::make_shared<Keypad>();
    std::vector<std::string> heard;
    keypad->Connect("Finished", [&] {
        heard.push_back("release");
        keypad.reset();
    });
    keypad->Connect("Finished", [&] { heard.push_back("after"); });
    // The handler drops the last reference: the source is gone before the second handler runs.
    Keypad* raising = keypad.get();
    raising->RaiseEvent("Finished");
    EXPECT_EQ(keypad, nullptr);
    EXPECT_EQ(heard, (std::vector<std::string>{"release", "after"}));
}

}  // namespace
