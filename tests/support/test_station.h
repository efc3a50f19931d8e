// A host for the detection core in tests and benchmarks: a DetectionBlock with the station's
// default settings and every buffer sized the way the host sizes them, plus a clock that steps
// one frame period per reading.
#pragma once

#include <cstdint>
#include <memory>

#include "capture/block_buffers.h"
#include "detectfilter/core/detect_core.h"
#include "detectfilter/pixel_format.h"
#include "detectfilter/zavipf.h"

namespace orvanta::detect::testing {

// The settings file's defaults (SetDefaults) for a picture of cx x cy at 30 frames per
// second, with what the host derives from them: averaging weights, bands and the text font.
void ApplyStationDefaults(DetectionBlock& b, int cx, int cy);

// Allocates the block's buffers; a shortage ends the process with the host's message.
void HoldBuffers(capture::BlockBuffers& buffers, DetectionBlock& b);

struct TestStation : capture::BlockBuffers {
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
    HoldBuffers(*this, b);
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
