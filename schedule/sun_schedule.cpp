#include "schedule/sun_schedule.h"

#include <cmath>
#include <numbers>

#include "schedule/equation_of_time.h"

namespace orvanta::schedule {
namespace {

constexpr int kMinutesPerDay = 1440;
// 90.85 degrees: the sun's upper limb with standard refraction.
constexpr double kZenithDistance = 1.5856316254368479;

// Wraps minutes of the day into 0..1439, whatever the size of the excess:
// offsets and site values read from a file can lie beyond one day.
int WrapMinutes(long long minutes) {
  long long t = minutes % kMinutesPerDay;
  if (t < 0) t += kMinutesPerDay;
  return static_cast<int>(t);
}

HourMinute FromMinutes(int minutes) {
  return {minutes / 60, minutes % 60};
}

// Spencer's series for the sun's declination (radians) on day angle g.
double Declination(double g) {
  return 0.006918 - 0.399912 * std::cos(g) + 0.070257 * std::sin(g) - 0.006758 * std::cos(2 * g) +
         0.000907 * std::sin(2 * g) - 0.002697 * std::cos(3 * g) + 0.00148 * std::sin(3 * g);
}

}  // namespace

HourMinute ShiftTime(int hour, int minute, int offset_minutes) {
  return FromMinutes(WrapMinutes(static_cast<long long>(hour) * 60 + minute + offset_minutes));
}

int DayOfYear(const CivilDate& date) {
  static constexpr int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  if (date.month < 1 || date.month > 12) return 0;
  const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
  return kDaysBefore[date.month - 1] + (leap && date.month > 2 ? 1 : 0) + date.day - 1;
}

SunTimes SunScheduleFor(const CivilDate& date, double lng, double lat, int tz_bias,
                        const ScheduleWindow (&sd)[2]) {
  SunTimes sun;
  sun.month = date.month;
  sun.day = date.day;

  const double noon = 43200.0 - EquationOfTime(date.month, date.day) - lng / 360.0 * 86400.0 -
                      static_cast<double>(tz_bias);
  const double g = 2 * std::numbers::pi * (DayOfYear(date) + 0.5) / 365.0;
  const double d = Declination(g);
  const double phi = lat / 180.0 * std::numbers::pi;
  const double cos_h =
      std::cos(kZenithDistance) / (std::cos(d) * std::cos(phi)) - std::tan(d) * std::tan(phi);

  // A damaged settings file can hold any double; beyond a few days of noon
  // shift the site is not on this planet.
  const bool usable_site = std::isfinite(noon) && std::fabs(noon) < 1e7 && !std::isnan(cos_h);
  if (!usable_site || cos_h < -1.0 || cos_h > 1.0) {
    // Below -1 the sun stays above the horizon all day; above 1 it never rises.
    sun.crossing = !usable_site   ? SunCrossing::UnusableSite
                   : cos_h < -1.0 ? SunCrossing::PolarDay
                                  : SunCrossing::PolarNight;
    sun.window1_start = {sd[0].h1, sd[0].m1};
    sun.window1_end = {sd[0].h2, sd[0].m2};
    sun.window2_start = {sd[1].h1, sd[1].m1};
    sun.window2_end = {sd[1].h2, sd[1].m2};
    return sun;
  }

  const double half_day = std::acos(cos_h) / std::numbers::pi * 12.0 * 3600.0;
  // Truncation toward zero after adding half a minute rounds to the minute.
  const auto rise = static_cast<long long>((noon - half_day + 30.0) / 60.0);
  const auto set = static_cast<long long>((noon + half_day + 30.0) / 60.0);
  sun.sunrise = FromMinutes(WrapMinutes(rise));
  sun.sunset = FromMinutes(WrapMinutes(set));

  sun.window1_start = ShiftTime(sun.sunrise.hour, sun.sunrise.minute, sd[0].o1);
  sun.window1_end = ShiftTime(sun.sunset.hour, sun.sunset.minute, sd[0].o2);
  sun.window2_start = ShiftTime(sun.sunset.hour, sun.sunset.minute, sd[1].o1);
  sun.window2_end = ShiftTime(sun.sunrise.hour, sun.sunrise.minute, sd[1].o2);
  return sun;
}

SunTimes ComputeSunSchedule(AppParams& ap, int tz_bias, const CivilDate& today, bool apply) {
  SunTimes sun = SunScheduleFor(today, ap.lng, ap.lat, tz_bias, ap.sd);
  if (apply && sun.crossing == SunCrossing::RisesAndSets) {
    ap.sd[0].h1 = sun.window1_start.hour;
    ap.sd[0].m1 = sun.window1_start.minute;
    ap.sd[0].h2 = sun.window1_end.hour;
    ap.sd[0].m2 = sun.window1_end.minute;
    ap.sd[1].h1 = sun.window2_start.hour;
    ap.sd[1].m1 = sun.window2_start.minute;
    ap.sd[1].h2 = sun.window2_end.hour;
    ap.sd[1].m2 = sun.window2_end.minute;
  }
  return sun;
}

}  // namespace orvanta::schedule
