#include "schedule/latest_date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace orvanta::schedule {
namespace {

int64_t Wall(int y, int mo, int d, int h, int mi) {
  std::tm tm{};
  tm.tm_year = y - 1900, tm.tm_mon = mo - 1, tm.tm_mday = d, tm.tm_hour = h, tm.tm_min = mi;
  return ::timegm(&tm);
}

TEST(LatestDate, NightDaysGiveTheEveningDateAndCalendarDaysEndToday) {
  struct Case {
    int64_t now;
    int days;
    bool night;
    CalendarDate want;
  } cases[] = {
      // The morning after a night: its evening date, also across a year's end.
      {Wall(2024, 1, 1, 5, 0), 1, true, {2023, 12, 31}},
      {Wall(2024, 1, 2, 11, 59), 1, true, {2024, 1, 1}},
      // From noon on the night that is beginning is the latest.
      {Wall(2024, 1, 2, 12, 0), 1, true, {2024, 1, 2}},
      // Three nights up to the last one, over a leap day.
      {Wall(2024, 3, 1, 5, 0), 3, true, {2024, 2, 27}},
      {Wall(2024, 1, 2, 5, 0), 1, false, {2024, 1, 2}},
      {Wall(2024, 1, 2, 0, 0), 7, false, {2023, 12, 27}},
      {Wall(2024, 1, 2, 23, 59), 10000, false, {1996, 8, 17}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.now);
    EXPECT_EQ(LatestDate(c.now, c.days, c.night), c.want);
  }
}

TEST(LatestDate, ClipClockIsLocalWallTimeUnlessUtc) {
  const char* before = std::getenv("TZ");
  const std::string kept = before ? before : "";
  ::setenv("TZ", "JST-9", 1);
  ::tzset();
  const std::time_t now = Wall(2024, 1, 1, 20, 0);  // 05:00 on the 2nd in Tokyo
  EXPECT_EQ(ClipClockWallTime(now, true), now);
  EXPECT_EQ(ClipClockWallTime(now, false), now + 9 * 3600);

  AppParams ap{};
  ap.db_days = 1;
  ap.db_night = 1;
  SetLatestDate(ap, false, now);
  EXPECT_EQ((CalendarDate{ap.db_y, ap.db_m, ap.db_d}), (CalendarDate{2024, 1, 1}));
  ap.db_night = 0;
  SetLatestDate(ap, false, now);
  EXPECT_EQ((CalendarDate{ap.db_y, ap.db_m, ap.db_d}), (CalendarDate{2024, 1, 2}));
  SetLatestDate(ap, true, now);
  EXPECT_EQ((CalendarDate{ap.db_y, ap.db_m, ap.db_d}), (CalendarDate{2024, 1, 1}));

  if (before) {
    ::setenv("TZ", kept.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

}  // namespace
}  // namespace orvanta::schedule
