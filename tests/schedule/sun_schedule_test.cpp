#include "schedule/sun_schedule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "schedule/equation_of_time.h"

namespace orvanta::schedule {
namespace {

// The default sun offsets of the two windows.
void DefaultWindows(ScheduleWindow (&sd)[2]) {
  sd[0] = {};
  sd[1] = {};
  sd[0].h1 = 6, sd[0].o1 = -25, sd[0].h2 = 17, sd[0].o2 = 25;
  sd[1].h1 = 18, sd[1].o1 = 30, sd[1].h2 = 5, sd[1].o2 = -30;
}

TEST(EquationOfTime, AlmanacAnchorsAndCalendarGaps) {
  struct Case {
    int month, day;
    double seconds;
  };
  const Case cases[] = {
      {1, 1, -187.8},  {2, 12, -859.8}, {3, 21, -455.0},  {5, 15, 223.8}, {6, 21, -83.8},
      {7, 27, -384.8}, {11, 4, 983.3},  {12, 31, -152.9}, {2, 30, 0.0},   {2, 31, 0.0},
      {4, 31, 0.0},    {6, 31, 0.0},    {9, 31, 0.0},     {11, 31, 0.0},  {0, 1, 0.0},
      {13, 1, 0.0},    {1, 32, 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.month << "-" << c.day);
    EXPECT_DOUBLE_EQ(EquationOfTime(c.month, c.day), c.seconds);
  }
  EXPECT_DOUBLE_EQ(EquationOfTime(2, 29), EquationOfTime(2, 28));
}

TEST(EquationOfTime, ExtremesFallOnTheirDaysAndTheCurveIsSmooth) {
  double lowest = 0, highest = 0, previous = EquationOfTime(12, 31);
  int low_at = 0, high_at = 0;
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int m = 1; m <= 12; ++m) {
    for (int d = 1; d <= kDays[m - 1]; ++d) {
      const double v = EquationOfTime(m, d);
      if (v < lowest) lowest = v, low_at = m * 100 + d;
      if (v > highest) highest = v, high_at = m * 100 + d;
      // About 30 s a day at most; the year's end joins two almanac years.
      EXPECT_LT(std::fabs(v - previous), 36.0) << m << "-" << d;
      previous = v;
    }
  }
  EXPECT_EQ(low_at, 212);
  EXPECT_EQ(high_at, 1104);
}

TEST(ShiftTime, WrapsAroundMidnight) {
  struct Case {
    int hour, minute, offset;
    HourMinute expected;
  };
  const Case cases[] = {
      {23, 50, 10, {0, 0}},   {0, 10, -20, {23, 50}},   {5, 0, -1000, {12, 20}},
      {12, 0, 0, {12, 0}},    {18, 45, 1000, {11, 25}}, {0, 0, 3000, {2, 0}},
      {0, 0, -3000, {22, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.hour << ":" << c.minute << " " << c.offset);
    EXPECT_EQ(ShiftTime(c.hour, c.minute, c.offset), c.expected);
  }
}

TEST(DayOfYear, CountsFromZeroWithLeapDays) {
  EXPECT_EQ(DayOfYear({2024, 1, 1}), 0);
  EXPECT_EQ(DayOfYear({2024, 6, 21}), 172);
  EXPECT_EQ(DayOfYear({2023, 3, 21}), 79);
  EXPECT_EQ(DayOfYear({2100, 3, 1}), 59);
  EXPECT_EQ(DayOfYear({2000, 12, 31}), 365);
}

TEST(SunSchedule, SiteFiguresAndWindowEdges) {
  struct Case {
    const char* site;
    CivilDate date;
    double lng, lat;
    int tz_bias;
    HourMinute rise, set;
  };
  const Case cases[] = {
      {"Tokyo midsummer", {2024, 6, 21}, 139.7, 35.7, -32400, {4, 25}, {19, 0}},
      {"Tokyo new year", {2024, 1, 1}, 139.7, 35.7, -32400, {6, 51}, {16, 38}},
      {"London equinox", {2023, 3, 21}, 0.0, 51.5, 0, {6, 1}, {18, 14}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.site);
    ScheduleWindow sd[2];
    DefaultWindows(sd);
    const SunTimes sun = SunScheduleFor(c.date, c.lng, c.lat, c.tz_bias, sd);
    EXPECT_EQ(sun.crossing, SunCrossing::RisesAndSets);
    EXPECT_EQ(sun.month, c.date.month);
    EXPECT_EQ(sun.day, c.date.day);
    EXPECT_EQ(sun.sunrise, c.rise);
    EXPECT_EQ(sun.sunset, c.set);
    EXPECT_EQ(sun.window1_start, ShiftTime(c.rise.hour, c.rise.minute, -25));
    EXPECT_EQ(sun.window1_end, ShiftTime(c.set.hour, c.set.minute, 25));
    EXPECT_EQ(sun.window2_start, ShiftTime(c.set.hour, c.set.minute, 30));
    EXPECT_EQ(sun.window2_end, ShiftTime(c.rise.hour, c.rise.minute, -30));
  }
}

TEST(SunSchedule, ApplyWritesOnlyTheFourEdges) {
  AppParams ap{};
  DefaultWindows(ap.sd);
  ap.sd[0].on = 1;
  ap.sd[1].zvi[0] = u'n';
  ap.lng = 139.7;
  ap.lat = 35.7;

  const SunTimes shown = ComputeSunSchedule(ap, -32400, {2024, 6, 21}, false);
  EXPECT_EQ(ap.sd[0].h1, 6);  // without apply nothing changes
  EXPECT_EQ(shown.window1_start, (HourMinute{4, 0}));

  ComputeSunSchedule(ap, -32400, {2024, 6, 21}, true);
  EXPECT_EQ((HourMinute{ap.sd[0].h1, ap.sd[0].m1}), (HourMinute{4, 0}));
  EXPECT_EQ((HourMinute{ap.sd[0].h2, ap.sd[0].m2}), (HourMinute{19, 25}));
  EXPECT_EQ((HourMinute{ap.sd[1].h1, ap.sd[1].m1}), (HourMinute{19, 30}));
  EXPECT_EQ((HourMinute{ap.sd[1].h2, ap.sd[1].m2}), (HourMinute{3, 55}));
  EXPECT_EQ(ap.sd[0].on, 1);
  EXPECT_EQ(ap.sd[0].o1, -25);
  EXPECT_EQ(ap.sd[1].zvi[0], u'n');
}

TEST(SunSchedule, NoCrossingKeepsThePreviousEdges) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    CivilDate date;
    double lng, lat;
    SunCrossing expected;
  };
  const Case cases[] = {
      {"Svalbard midsummer", {2024, 6, 21}, 15.6, 78.2, SunCrossing::PolarDay},
      {"Svalbard midwinter", {2024, 12, 21}, 15.6, 78.2, SunCrossing::PolarNight},
      {"north pole in June", {2024, 6, 21}, 0.0, 90.0, SunCrossing::PolarDay},
      {"south pole in June", {2024, 6, 21}, 0.0, -90.0, SunCrossing::PolarNight},
      {"latitude not a number", {2024, 6, 21}, 15.6, nan, SunCrossing::UnusableSite},
      {"longitude out of this world", {2024, 6, 21}, 1e300, 35.0, SunCrossing::UnusableSite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AppParams ap{};
    DefaultWindows(ap.sd);
    ap.sd[0].m1 = 7;
    ap.lng = c.lng;
    ap.lat = c.lat;
    const SunTimes sun = ComputeSunSchedule(ap, -3600, c.date, true);
    EXPECT_EQ(sun.crossing, c.expected);
    EXPECT_EQ(sun.sunrise, (HourMinute{-1, -1}));
    EXPECT_EQ((HourMinute{ap.sd[0].h1, ap.sd[0].m1}), (HourMinute{6, 7}));
    EXPECT_EQ((HourMinute{ap.sd[1].h2, ap.sd[1].m2}), (HourMinute{5, 0}));
    EXPECT_EQ(sun.window1_start, (HourMinute{6, 7}));  // shown as they stay
  }
}

}  // namespace
}  // namespace orvanta::schedule
