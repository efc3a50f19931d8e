// The first date of the clip list when it follows the clock ("Set Latest days"): the clip
// database page shows it, and the move after the night reads it, with a window or without.
#pragma once

#include <cstdint>
#include <ctime>

#include "app/app_params.h"

namespace orvanta::schedule {

struct CalendarDate {
  int year = 1970;
  int month = 1;
  int day = 1;
  bool operator==(const CalendarDate&) const = default;
};

// `wall_now` is the clock as clip names read it, in seconds whose UTC breakdown gives its
// date and time. With night days (noon to noon) the date is the evening of the first of the
// `days` nights up to the last one; otherwise the first of `days` calendar days up to today.
CalendarDate LatestDate(int64_t wall_now, int days, bool night);

// The clock as clip names read it: UTC with `utc` (si_utc), else local wall time.
int64_t ClipClockWallTime(std::time_t now, bool utc);

// db_y, db_m, db_d := the latest date at `now`, by db_days and db_night.
void SetLatestDate(AppParams& ap, bool si_utc, std::time_t now);

}  // namespace orvanta::schedule
