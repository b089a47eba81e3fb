#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Date.h"

namespace punches {

// One row of "Clock Data Table" as the clock database stores it: an open record has only its
// in-fields, a closed one both, a record that closed nothing only its out-fields. Dates are whole
// days, times a time of day on day zero. The amounts are the fields of pay and leave entries.
struct Row {
    int64_t id = 0;
    int32_t card = 0;
    std::optional<platform::Date> date_in, time_in, date_out, time_out;
    std::string punch_type;
    std::string notes;
    double holiday = 0, sick = 0, vacation = 0, bonus = 0, advances = 0, personal = 0, other = 0;
};

}  // namespace punches
