// Noise tracking: follows the typical frame-to-frame difference (`level`) with a slow falling
// and a faster rising weight, and sets the hit threshold `dlev` a margin above it.
#pragma once

namespace orvanta::detect {

class NoiseTracker {
 public:
  // `fps` as the filter takes it (at least 1).
  void Reset(double fps);
  void Follow(int level);
  // The threshold for the tracked average.
  int Dlev(int nt_ratio, int nt_delta, int nt_min) const;

  double average() const { return average_; }
  void set_average(double average) { average_ = average; }

 private:
  double average_ = 0;
  int n_ = 0;
  int falling_ = 0;
  int rising_ = 0;
  int rising_floor_ = 0;
  int start_frames_ = 0;  // the first second, whose levels are averaged plainly
  int followed_ = 0;
};

}  // namespace orvanta::detect
