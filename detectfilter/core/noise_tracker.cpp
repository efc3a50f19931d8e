#include "detectfilter/core/noise_tracker.h"

namespace orvanta::detect {

void NoiseTracker::Reset(double fps) {
  average_ = 0;
  n_ = static_cast<int>(fps * 16667);
  falling_ = static_cast<int>(fps * 33);
  rising_ = static_cast<int>(fps * 33);
  rising_floor_ = static_cast<int>(fps * 11);
  start_frames_ = static_cast<int>(fps);
  followed_ = 0;
}

void NoiseTracker::Follow(int level) {
  if (rising_ > rising_floor_) --rising_;
  if (followed_ < start_frames_) {
    // The first second: the plain mean of its levels. Taken from one frame, the start could
    // be a changing date text or a flash, and the slow fall would then hold the detection
    // level far above the noise for minutes.
    ++followed_;
    average_ += (level - average_) / followed_;
  } else if (average_ >= 0.1) {
    double w = level <= average_ ? falling_ : rising_;
    average_ = ((n_ - w) * average_ + w * level) / n_;
  } else {
    average_ = level;
  }
}

int NoiseTracker::Dlev(int nt_ratio, int nt_delta, int nt_min) const {
  int t = static_cast<int>(average_ + 0.5);
  int a = (t * nt_ratio + 99) / 100;
  int b = nt_delta <= a - t ? a : t + nt_delta;
  if (b > 254) b = 254;
  return b > nt_min ? b : nt_min;
}

}  // namespace orvanta::detect
