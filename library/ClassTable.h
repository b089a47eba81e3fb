#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "platform/Object.h"

namespace stampkind {

// One creatable class of the library: its name, class id, what the registry records of it, and
// how an object of it is made. `create` makes the object with MakeCounted (common/LiveObjects.h)
// so that the library is not unloaded while the object lives.
struct ComponentClass {
    std::string_view name;      // "clsStep": the programmatic identifier is "Stampkind." + name
    std::string_view class_id;  // "{...}"
    bool control;               // activated when visible, wants its client site first
    bool simple_frame;          // contains other controls
    std::shared_ptr<platform::Object> (*create)();
};

// The classes of the library, in registration order.
const std::vector<ComponentClass>& ClassTable();

}  // namespace stampkind
