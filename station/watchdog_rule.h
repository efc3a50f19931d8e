// When the station tells the service manager it is alive. A keep-alive goes out only
// while frames really reach the detection filter, or while the station is idle because
// its schedule says so: a hung graph or a silent camera stops the keep-alives, and the
// service manager restarts the station.
#pragma once

#include <cstdint>

namespace orvanta::station {

struct WatchdogCheck {
  uint64_t frames_now = 0;     // frames that have reached the filter so far
  uint64_t frames_before = 0;  // the same count at the previous check
  int live_state = 0;          // 0 idle, 1 previewing, 2 detecting
  bool scheduled = false;      // a detection window starts and stops detection
  bool stopping = false;       // the station is ending on its own
};

bool KeepAliveDue(const WatchdogCheck& check);

// The station is ready once its graph delivers frames, or at once when its schedule keeps
// it idle.
bool StationReady(uint64_t frames, int live_state, bool scheduled);

}  // namespace orvanta::station
