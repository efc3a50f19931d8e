#include "tests/detectfilter_gst/host_block.h"

#include "tests/support/test_station.h"

namespace orvanta::detect::testing {

HostBlock::HostBlock(const BlockShape& s) : block_(std::make_unique<DetectionBlock>()) {
  DetectionBlock& b = *block_;
  b.cx = s.cx;
  b.cy = s.cy;
  b.fps = s.fps;
  b.fs_head = s.fs_head;
  b.fs_diff = s.fs_diff;
  b.dmin = s.dmin;
  b.fs_tail = s.fs_tail;
  b.pixels = ((s.cx * s.cy + 3) / 4) * 4;
  b.frame_bytes = static_cast<int32_t>(FrameBytes(s.format, b.pixels));
  b.ring_count = s.fs_head + s.fs_diff + s.dmin + 15;
  if (s.audio) {
    b.audio_chunk_bytes = ((static_cast<int>(192000 / s.fps) + 4095) / 4096) * 4096;
    b.audio_chunk_count = b.ring_count * 2;
  }
  HoldBuffers(buffers_, b);
  // Plain detection: a pixel brighter by dlev than the frame fs_diff back is a hit.
  b.dlev = 30;
  b.dsize = 5;
  b.detect_on = 1;
  b.bands = 8;
  b.alev = 30000;
  b.font_scale = 1;
}

}  // namespace orvanta::detect::testing
