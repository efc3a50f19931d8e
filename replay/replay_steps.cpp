#include "replay/replay_steps.h"

#include <algorithm>
#include <cmath>

namespace orvanta::replay {

void StepForward(ReplayBlock& rb, int bbf) {
  if (rb.deinterace == 0) {
    rb.replay_pos += rb.frame_time;
    return;
  }
  rb.field_step = 1;
  if (rb.field_odd == 0) {
    if (bbf == 1) rb.replay_pos += rb.frame_time;
    rb.field_odd = 1;
  } else {
    if (bbf == 0) rb.replay_pos += rb.frame_time;
    rb.field_odd = 0;
  }
}

void StepBack(ReplayBlock& rb, int bbf) {
  if (rb.deinterace == 0) {
    rb.replay_pos -= rb.frame_time;
    return;
  }
  rb.field_step = 1;
  if (rb.field_odd == 1) {
    if (bbf == 1) rb.replay_pos -= rb.frame_time;
    rb.field_odd = 0;
  } else {
    if (bbf == 0) rb.replay_pos -= rb.frame_time;
    rb.field_odd = 1;
  }
}

void SeekPosition(ReplayBlock& rb, int64_t ms) {
  rb.field_step = 0;
  rb.replay_pos = ms * 10000;
  if (rb.deinterace != 1 || rb.clip_fps <= 0) return;
  rb.field_step = 1;
  const double field_time = 5000000.0 / rb.clip_fps;
  const auto field =
      static_cast<int64_t>(std::trunc(static_cast<double>(rb.replay_pos) / field_time));
  rb.field_odd = field % 2 != 0 ? 1 : 0;
}

int64_t ClampToClip(int64_t pos, int64_t duration, int64_t frame_time) {
  if (duration > 0) pos = std::min(pos, std::max<int64_t>(0, duration - frame_time));
  return std::max<int64_t>(0, pos);
}

}  // namespace orvanta::replay
