#include "schedule/latest_date.h"

namespace orvanta::schedule {

CalendarDate LatestDate(int64_t wall_now, int days, bool night) {
  const int64_t t =
      night ? wall_now - int64_t{days} * 86400 + 43200 : wall_now - (int64_t{days} - 1) * 86400;
  const std::time_t at = static_cast<std::time_t>(t);
  std::tm tm{};
  gmtime_r(&at, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

int64_t ClipClockWallTime(std::time_t now, bool utc) {
  if (utc) return now;
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<int64_t>(now) + local.tm_gmtoff;
}

void SetLatestDate(AppParams& ap, bool si_utc, std::time_t now) {
  const CalendarDate date = LatestDate(ClipClockWallTime(now, si_utc), ap.db_days, ap.db_night);
  ap.db_y = date.year;
  ap.db_m = date.month;
  ap.db_d = date.day;
}

}  // namespace orvanta::schedule
