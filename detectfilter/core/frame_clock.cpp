#include "detectfilter/core/frame_clock.h"

namespace orvanta::detect {

FrameTime StationTime(FrameTime clock, int64_t time_offset, int si_offset) {
  int64_t sec = clock.sec - time_offset;
  int64_t ms = static_cast<int64_t>(clock.ms) + si_offset;
  int64_t carry = ms >= 0 ? ms / 1000 : -((999 - ms) / 1000);
  return FrameTime{sec + carry, static_cast<int32_t>(ms - carry * 1000)};
}

int64_t ElapsedMs(FrameTime later, FrameTime earlier) {
  return (later.sec - earlier.sec) * 1000 + (later.ms - earlier.ms);
}

CalendarTime BreakDown(int64_t sec) {
  int64_t days = sec >= 0 ? sec / 86400 : -((86399 - sec) / 86400);
  int64_t rest = sec - days * 86400;
  // Civil date from days since 1970-01-01 (proleptic Gregorian).
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return CalendarTime{
      static_cast<int>(year),        static_cast<int>(month),          static_cast<int>(day),
      static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60)};
}

void ArrivalHistory::Restart(FrameTime now) {
  int64_t step = static_cast<int64_t>(period_ms_);
  t_[3] = now;
  for (int k = 2; k >= 0; --k) {
    int64_t ms = t_[k + 1].ms - step;
    int64_t sec = t_[k + 1].sec;
    while (ms < 0) {
      ms += 1000;
      --sec;
    }
    t_[k] = FrameTime{sec, static_cast<int32_t>(ms)};
  }
}

void ArrivalHistory::Arrive(FrameTime now) {
  t_[0] = t_[1];
  t_[1] = t_[2];
  t_[2] = t_[3];
  t_[3] = now;
  int interval = now.ms - t_[2].ms;
  interval_ms_ = interval < 0 ? interval + 1000 : interval;
  period_ms_ = 0.98 * period_ms_ + 0.02 * interval_ms_;
}

}  // namespace orvanta::detect
