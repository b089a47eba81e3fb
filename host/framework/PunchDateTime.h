#pragma once

#include "framework/HostObjects.h"
#include "platform/Date.h"

namespace orvane {

// The moment of a punch as the host hands it to the step: the day and the time of day.
class PLATFORM_API PunchDateTime final : public framework::IPunchDateTime {
  public:
    // Splits a moment into its date part and its time of day.
    explicit PunchDateTime(platform::Date moment);

    platform::Variant Date() const override;
    platform::Variant Time() const override;

  private:
    platform::Date m_date;
    platform::Date m_time;
};

}  // namespace orvane
