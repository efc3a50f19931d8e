#include "app/timezone.h"

namespace orvanta {

TimeZone LocalTimeZone(std::time_t at) {
  tzset();
  std::tm local{};
  localtime_r(&at, &local);
  return TimeZone{static_cast<int32_t>(-local.tm_gmtoff), local.tm_isdst > 0 ? 1 : 0};
}

}  // namespace orvanta
