// The status strip's choice of text and colour from the live state, without widgets.
#pragma once

#include <string>

namespace orvanta::ui {

struct StatusInputs {
  int rec_remain = 0;
  int warmup = 0;
  int live_state = 0;  // 0 idle, 1 previewing, 2 detecting
  int force_rec = 0;
  int detect_on = 0;
  int deliver_errors = 0;
  int late_frames = 0;
};

struct StatusChoice {
  std::string text;
  int red = 255, green = 255, blue = 255;
  bool plays_record_sound = false;  // " Recording " or " D-Recording "
};

// (rec_remain != 0) + 100 warmup + 10 live_state: the strip is chosen again only when it
// changes.
int StatusCode(const StatusInputs& in);

StatusChoice ChooseStatus(const StatusInputs& in);

}  // namespace orvanta::ui
