#pragma once

#include "platform/Api.h"
#include "platform/Date.h"
#include "platform/Object.h"

namespace framework {

// The values a step collected for a punch besides its Value: the date-times in and out and the
// amount that the value-entry keypads stored. The host reads them for its reports of a punch;
// a step that collects no such values does not implement this interface.
class PLATFORM_API IPunchValues : public virtual platform::Object {
  public:
    virtual platform::Date DateTimeIn() const = 0;
    virtual platform::Date DateTimeOut() const = 0;
    virtual double Amount() const = 0;
};

}  // namespace framework
