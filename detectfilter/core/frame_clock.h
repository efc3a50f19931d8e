// Time keeping of the video input: the arrival times of the last four frames, the interval
// between the newest two, the smoothed frame period, and the frame time stamp (the arrival of
// the frame three frames earlier, a constant delay used for texts, time log and trigger time).
#pragma once

#include <cstdint>

#include "detectfilter/core/detect_core.h"

namespace orvanta::detect {

// The station's frame time: the clock reading minus `time_offset` seconds plus `si_offset`
// milliseconds, with the milliseconds brought into 0..999.
FrameTime StationTime(FrameTime clock, int64_t time_offset, int si_offset);

// Milliseconds from `earlier` to `later`.
int64_t ElapsedMs(FrameTime later, FrameTime earlier);

struct CalendarTime {
  int year, month, day, hour, minute, second;
};
CalendarTime BreakDown(int64_t sec);

class ArrivalHistory {
 public:
  // Run: `now` becomes the newest arrival, the older ones one smoothed period apart.
  void Restart(FrameTime now);
  // A frame arrived.
  void Arrive(FrameTime now);

  FrameTime now() const { return t_[3]; }
  FrameTime stamp() const { return t_[0]; }
  int interval_ms() const { return interval_ms_; }
  double smoothed_period_ms() const { return period_ms_; }
  void set_smoothed_period_ms(double period) { period_ms_ = period; }

 private:
  FrameTime t_[4] = {};
  int interval_ms_ = 0;
  double period_ms_ = 50.0;
};

}  // namespace orvanta::detect
