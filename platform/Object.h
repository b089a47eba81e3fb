#pragma once

#include <memory>

#include "platform/Api.h"

namespace platform {

// The root of every object that crosses an interface: components, host objects and controls.
// Objects are held by std::shared_ptr; asking an object for another of its interfaces is a
// dynamic_pointer_cast (see query()). Interfaces derive virtually from Object so that one object
// that implements several interfaces still has one Object.
class PLATFORM_API Object {
  public:
    virtual ~Object();

  protected:
    Object() = default;
    Object(const Object&) = default;
    Object& operator=(const Object&) = default;
};

using ObjectRef = std::shared_ptr<Object>;

// The interface I of an object, or null when the object does not implement it.
template <class I, class T>
std::shared_ptr<I> query(const std::shared_ptr<T>& object) {
    return std::dynamic_pointer_cast<I>(object);
}

// The interface I of an object; raises "Type mismatch" (13) when the object does not implement
// it, and "Object variable or With block variable not set" (91) when there is no object.
template <class I, class T>
std::shared_ptr<I> query_or_raise(const std::shared_ptr<T>& object);

}  // namespace platform

#include "platform/Error.h"

namespace platform {
template <class I, class T>
std::shared_ptr<I> query_or_raise(const std::shared_ptr<T>& object) {
    if (!object)
        raise(err::kObjectVariableNotSet);
    auto result = std::dynamic_pointer_cast<I>(object);
    if (!result)
        raise(err::kTypeMismatch);
    return result;
}
}  // namespace platform
