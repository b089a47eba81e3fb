#include "host/framework/PunchDateTime.h"

namespace orvane {

PunchDateTime::PunchDateTime(platform::Date moment)
    : m_date(platform::date_part(moment)), m_time(platform::time_part(moment)) {}

platform::Variant PunchDateTime::Date() const {
    return m_date;
}

platform::Variant PunchDateTime::Time() const {
    return m_time;
}

}  // namespace orvane
