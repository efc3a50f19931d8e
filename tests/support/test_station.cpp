#include "tests/support/test_station.h"

#include <cstdio>
#include <cstdlib>

#include "app/app_params.h"
#include "app/font_size.h"

namespace orvanta::detect::testing {

void ApplyStationDefaults(DetectionBlock& b, int cx, int cy) {
  auto ap = std::make_unique<AppParams>();
  auto rib = std::make_unique<ReplayBlock>();
  SetDefaults(*ap, b, *rib);
  b.cx = cx;
  b.cy = cy;
  b.fps = 30;
  b.avr_keep = 510;  // the host's weights for the default averaging speed, AP.smspeed 2
  b.avr_take = 32768;
  b.bands = (cy >= 1081 && cy % 16 == 0) ? 16 : 8;
  ApplyFontSize(ap->si_fontsize, b);
}

void HoldBuffers(capture::BlockBuffers& buffers, DetectionBlock& b) {
  if (const auto shortage = buffers.Allocate(b)) {
    std::fprintf(stderr, "%s\n", capture::ShortageMessage(*shortage).c_str());
    std::abort();
  }
}

}  // namespace orvanta::detect::testing
