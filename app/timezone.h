// The local time zone as the frame clock uses it, taken once at start.
#pragma once

#include <cstdint>
#include <ctime>

namespace orvanta {

struct TimeZone {
  int32_t bias;  // seconds west of UTC, daylight saving included
  int32_t dst;   // 1 while daylight saving time is in force
};

TimeZone LocalTimeZone(std::time_t at = std::time(nullptr));

}  // namespace orvanta
