#pragma once

#include "framework/IPunchValues.h"
#include "platform/Date.h"

namespace stampkind {

// What the keypads of this library keep in their step besides its Value: the date-times and the
// amount entered for a punch, and whether STATUS may be offered. It is the keypads' whole view of
// the step; only clsStep implements it, so a step of another kind is refused with "Type
// mismatch" (13) when a keypad converts it. The host reads the same values through IPunchValues.
class IEnteredValues : public framework::IPunchValues {
  public:
    virtual void SetDateTimeIn(platform::Date value) = 0;
    virtual void SetDateTimeOut(platform::Date value) = 0;
    virtual void SetAmount(double value) = 0;
    // True when the step sequence of the last Skip held an "Employee Statistics" step.
    virtual bool HasStatisticsStep() const = 0;
};

}  // namespace stampkind
