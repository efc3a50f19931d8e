#include "capture/host_sizing.h"

#include <algorithm>
#include <cstdio>

#include "app/settings_ranges.h"
#include "detectfilter/pixel_format.h"

namespace orvanta::capture {

bool AveragingWeights(int smspeed, int32_t* keep, int32_t* take) {
  static constexpr int kSteps[] = {1, 2, 3, 5, 9, 17};
  if (smspeed < 1 || smspeed > 6) return false;
  const int m = kSteps[smspeed - 1];
  *keep = 512 - m;
  *take = 16384 * m;
  return true;
}

HostSizing SizeHostBuffers(const DetectionBlock& block, bool audio, int smspeed) {
  HostSizing s;
  // Everything is counted in 64 bits and refused before a byte is allocated: a block out of
  // range (a page, a tool) must end in a message, never in an overflow or a huge allocation.
  if (!FrameSizeTaken(block.cx, block.cy)) {
    s.refusal = "UE0108: " + FrameSizeRefusal(block.cx, block.cy);
    return s;
  }
  const int64_t area = static_cast<int64_t>(block.cx) * block.cy;
  s.pixels = static_cast<int32_t>((area + 3) / 4 * 4);
  s.frame_bytes = FrameBytes(PixelFormatOfGuid(block.host_subtype), s.pixels);
  const int64_t ring = int64_t{block.fs_head} + block.fs_diff + block.dmin + 15;
  s.ring_count = static_cast<int32_t>(std::clamp<int64_t>(ring, 0, kRingMax));
  char text[160];
  if (ring >= kRingMax) {
    std::snprintf(text, sizeof text, "UM013: Insufficient memory , too big frame space %lld",
                  static_cast<long long>(ring));
    s.refusal = text;
    return s;
  }
  if (block.fs_head < 0 || block.fs_diff < 1 || block.dmin < 1) {
    std::snprintf(text, sizeof text,
                  "UM013: Head %d, Diff %d and Min(frm) %d cannot make a frame space: Head must "
                  "be 0 or more, Diff and Min(frm) 1 or more",
                  block.fs_head, block.fs_diff, block.dmin);
    s.refusal = text;
    return s;
  }
  if (ring * s.frame_bytes > kRingBytesLimit) {
    s.refusal = "UM313: Memory space limit. Please reduce Head or Frame size Xi Yi";
    return s;
  }
  s.bands = block.cy > 1080 && block.cy % 16 == 0 ? 16 : 8;
  if (audio) {
    s.audio_chunk_bytes =
        block.fps < 0.01 ? 98304 : static_cast<int32_t>((192000 / block.fps + 4095) / 4096) * 4096;
    s.audio_chunk_count = block.fps >= 0.01 ? s.ring_count * 2 : s.ring_count;
  }
  s.has_weights = AveragingWeights(smspeed, &s.avr_keep, &s.avr_take);
  s.warmup = block.fps >= 0.01 ? static_cast<int32_t>(block.sm_on ? 4 * block.fps : block.fps) : 30;
  s.fps = block.fps > 120 ? 120 : block.fps;
  return s;
}

void PrepareBlockForHosting(const HostSizing& sizing, DetectionBlock& block) {
  block.detect_on = 0;
  block.force_rec = 0;
  block.rec_remain = 0;
  block.clip_no = 0;
  block.clip_started = 0;
  block.deliver_errors = 0;
  block.late_frames = 0;
  block.audio_48k = 0;
  if (sizing.has_weights) {
    block.avr_keep = sizing.avr_keep;
    block.avr_take = sizing.avr_take;
  }
  block.warmup = sizing.warmup;
  block.fps = sizing.fps;
}

}  // namespace orvanta::capture
