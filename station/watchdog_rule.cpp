#include "station/watchdog_rule.h"

namespace orvanta::station {

bool KeepAliveDue(const WatchdogCheck& check) {
  if (check.stopping) return false;
  if (check.live_state == 0) return check.scheduled;
  return check.frames_now != check.frames_before;
}

bool StationReady(uint64_t frames, int live_state, bool scheduled) {
  if (live_state == 0) return scheduled;
  return frames > 0;
}

}  // namespace orvanta::station
