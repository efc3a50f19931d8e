// A host for the detection core in tests and benchmarks: a DetectionBlock with the station's
// default detection settings and every buffer sized the way the host sizes them, plus a clock
// that steps one frame period per reading.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "detectfilter/core/bitmap_fonts.h"
#include "detectfilter/core/detect_core.h"
#include "detectfilter/pixel_format.h"
#include "detectfilter/zavipf.h"
#include "tests/support/block_buffers.h"

namespace orvanta::detect::testing {

// The IF. defaults of the settings file, for a picture of cx x cy.
inline void ApplyStationDefaults(DetectionBlock& b, int cx, int cy) {
  b.cx = cx;
  b.cy = cy;
  b.fps = 30;
  b.fs_head = 20;
  b.fs_tail = 20;
  b.fs_diff = 1;
  b.si_y0 = 1;
  b.si_on = 1;
  b.si_offset = -33;
  b.dsize = 3;
  b.dlev = 50;
  b.alev = 5000;
  b.dmin = 2;
  b.dminsize = 100;
  b.dmaxsec = 0;
  b.nt_on = 1;
  b.nt_ratio = 120;
  b.nt_delta = 20;
  b.nt_min = 10;
  b.sm_on = 1;
  b.sm_on2 = 0;
  b.sm_level = 120;
  b.sm_size = 8;
  b.so_on = 1;
  b.so_vel = 36;
  b.so_size = 36;
  b.brightonly = 1;
  b.bolevel = 2;
  b.im_peak = 1;
  b.im_map = 1;
  b.avr_keep = 510;  // scintillation averaging speed 2
  b.avr_take = 32768;
  b.bands = (cy >= 1081 && cy % 16 == 0) ? 16 : 8;
  const FontChoice font = FontForSize(2);
  b.font = font.table;
  b.si_fontx = font.fontx;
  b.si_fonty = font.fonty;
  b.font_scale = font.scale;
  const char* format = "%T%M %pfps %y-%Y %F %L %c %I OrvantaIP";
  for (int i = 0; format[i] != 0; ++i) b.si_format[i] = static_cast<char16_t>(format[i]);
}

struct TestStation : orvanta::testing::BlockBuffers {
  // `setup` may change settings (fs_head, dmin, ...) before the buffers are sized.
  template <typename Setup>
  TestStation(int cx, int cy, PixelFormat format, Setup setup) : block(new DetectionBlock{}) {
    DetectionBlock& b = *block;
    ApplyStationDefaults(b, cx, cy);
    setup(b);
    b.pixels = (cx * cy + 3) / 4 * 4;
    b.frame_bytes = static_cast<int32_t>(FrameBytes(format, b.pixels));
    if (b.ring_count == 0) b.ring_count = b.fs_head + b.fs_diff + b.dmin + 15;
    b.warmup = 0;
    Allocate(b);
  }
  TestStation(int cx, int cy, PixelFormat format)
      : TestStation(cx, cy, format, [](DetectionBlock&) {}) {}

  DetectionBlock& b() { return *block; }

  std::unique_ptr<DetectionBlock> block;
};

// A clock that advances by `step_ms` on every reading, from a fixed start.
struct SteppingClock {
  int64_t sec = 1709672829;  // 2024-03-05 21:07:09 UTC
  int32_t ms = 0;
  int step_ms = 33;
  FrameTime operator()() {
    FrameTime now{sec, ms};
    ms += step_ms;
    sec += ms / 1000;
    ms %= 1000;
    return now;
  }
};

}  // namespace orvanta::detect::testing
