#pragma once

#include <memory>

#include "framework/HostObjects.h"
#include "platform/Api.h"

// The host framework library's creatable classes, as the component creates them. The host
// application provides them (it links the framework library); a component library that the host
// loads finds them there.
namespace framework {

// A new, empty property collection (persistable, "OrvaneFramework.PropertyCollection").
PLATFORM_API std::shared_ptr<IPropertyCollection> NewPropertyCollection();
// A new, empty error collection.
PLATFORM_API std::shared_ptr<IErrorCollection> NewErrorCollection();
// A new, empty message builder.
PLATFORM_API std::shared_ptr<IMessageBuilder> NewMessageBuilder();
// The library's global object, created on first use.
PLATFORM_API std::shared_ptr<IGlobal> Global();

}  // namespace framework
