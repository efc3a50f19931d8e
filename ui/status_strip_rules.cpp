#include "ui/status_strip_rules.h"

#include <cstdio>

namespace orvanta::ui {

int StatusCode(const StatusInputs& in) {
  return (in.rec_remain != 0 ? 1 : 0) + 100 * in.warmup + 10 * in.live_state;
}

StatusChoice ChooseStatus(const StatusInputs& in) {
  StatusChoice c;
  if (in.warmup != 0) {
    c = {" activating ", 255, 255, 100};
  } else if (in.rec_remain != 0 && in.force_rec) {
    c = {" Recording ", 255, 0, 0, true};
  } else if (in.rec_remain != 0 && in.detect_on) {
    c = {" D-Recording ", 255, 80, 80, true};
  } else if (in.rec_remain != 0) {
    c = {" T-Recording ", 255, 120, 120};
  } else if (in.live_state == 1) {
    c = {" Previewing ", 200, 200, 240};
  } else if (in.live_state == 0) {
    c = {" status : idle ", 160, 160, 160};
  } else {
    c = {" Detecting ", 80, 100, 255};
  }
  if (in.deliver_errors != 0 || in.late_frames != 0) {
    char counts[32];
    std::snprintf(counts, sizeof counts, "-%d-%d", in.deliver_errors, in.late_frames);
    c.text.append(counts);
  }
  return c;
}

}  // namespace orvanta::ui
