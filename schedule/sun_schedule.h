// Sunrise and sunset at the observing site and the four schedule window
// edges tied to them ("Auto Adjust to Sun").
#pragma once

#include "app/app_params.h"

namespace orvanta::schedule {

struct HourMinute {
  int hour = 0;
  int minute = 0;
  bool operator==(const HourMinute&) const = default;
};

// hour:minute moved by offset minutes, wrapped into one day.
HourMinute ShiftTime(int hour, int minute, int offset_minutes);

struct CivilDate {
  int year = 1970;
  int month = 1;  // 1-12
  int day = 1;    // 1-31
};

// Day of the year, 0 for 1 January.
int DayOfYear(const CivilDate& date);

// Whether the sun crosses the horizon that day. Without a crossing (polar
// day or night, or site values that are no coordinates at all) there are no
// sun edges: the windows keep the edges they had.
enum class SunCrossing { RisesAndSets, PolarDay, PolarNight, UnusableSite };

// The result of the last computation, kept for the schedule dialog.
struct SunTimes {
  int month = 0;
  int day = 0;
  SunCrossing crossing = SunCrossing::RisesAndSets;
  HourMinute sunrise{-1, -1};  // -1:-1 without a crossing
  HourMinute sunset{-1, -1};
  HourMinute window1_start, window1_end;  // sd[0]
  HourMinute window2_start, window2_end;  // sd[1]
};

// Sun times for a date at longitude lng (degrees east), latitude lat
// (degrees north) and tz_bias seconds west of UTC, with the windows' sun
// offsets. Without a crossing the window edges are those already in sd.
SunTimes SunScheduleFor(const CivilDate& date, double lng, double lat, int tz_bias,
                        const ScheduleWindow (&sd)[2]);

// ComputeSunSchedule: today's sun times from the site in ap; with apply the
// four edges are written into sd[0] and sd[1] (on flags, offsets and profile
// names untouched), except on a day without a crossing.
SunTimes ComputeSunSchedule(AppParams& ap, int tz_bias, const CivilDate& today, bool apply);

}  // namespace orvanta::schedule
