// What the replay filter tells the program about the clip it plays: the frame duration it
// settles on (the clip's own, the one already known, or 29.97 frames per second when the
// clip gives none that makes sense) and the picture format.
#pragma once

#include <cstdint>

#include "detectfilter/pixel_format.h"
#include "replayfilter/zaviprf.h"

namespace orvanta::replayfilter {

inline constexpr int64_t kFallbackFrameTime = 333667;  // 29.97 frames per second, 100-ns

// 100-ns duration of a frame at num/den frames per second, rounded up: a position moved on
// by whole durations from a frame's start then never lands before that frame's successors.
// 0 when the rate is 0 or unknown.
int64_t FrameDurationOfRate(int num, int den);

struct FrameTiming {
  int64_t frame_time = 0;       // the block's frame_time
  double clip_fps = 0;          // the block's clip_fps
  int64_t format_duration = 0;  // the frame duration the filter's output announces
};
// `offered`: the frame duration of the connected format (0: none); `known`: the block's
// frame_time so far (0 after attach).
FrameTiming SettleFrameTime(int64_t offered, int64_t known);

// The clip fields of the block for a picture of `format` (RGB24 or NV12).
void FillClipFormat(ReplayBlock& block, PixelFormat format, int width, int height);

}  // namespace orvanta::replayfilter
