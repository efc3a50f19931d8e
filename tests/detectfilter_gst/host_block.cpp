#include "tests/detectfilter_gst/host_block.h"

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
  b.frame_bytes = static_cast<int32_t>(b.pixels * s.bytes_per_pixel);
  b.ring_count = s.fs_head + s.fs_diff + s.dmin + 15;
  frames_.assign(static_cast<size_t>(b.ring_count), std::vector<uint8_t>(b.frame_bytes, 0));
  for (int i = 0; i < b.ring_count; ++i) b.frames[i] = frames_[i].data();
  const size_t mask_bytes = static_cast<size_t>(b.pixels + 12 * s.cx);
  mask_.assign(mask_bytes, 0);
  mask2_.assign(mask_bytes, 0);
  b.mask_base = mask_.data();
  b.mask = mask_.data() + 6 * s.cx;
  b.mask2_base = mask2_.data();
  b.mask2 = mask2_.data() + 6 * s.cx;
  hit_map_.assign(b.pixels, 0);
  avr_map_.assign(b.pixels, 0);
  avr_map2_.assign(b.pixels, 0);
  obj_map_.assign(b.pixels, 0);
  snapshot_.assign(b.frame_bytes, 0);
  b.hit_map = hit_map_.data();
  b.avr_map = avr_map_.data();
  b.avr_map2 = avr_map2_.data();
  b.obj_map = obj_map_.data();
  b.snapshot = snapshot_.data();
  if (s.audio) {
    b.audio_chunk_bytes = ((static_cast<int>(192000 / s.fps) + 4095) / 4096) * 4096;
    b.audio_chunk_count = b.ring_count * 2;
    audio_.assign(static_cast<size_t>(b.audio_chunk_bytes) * b.audio_chunk_count, 0);
    b.audio_buffer = audio_.data();
  }
  // Plain detection: a pixel brighter by dlev than the frame fs_diff back is a hit.
  b.dlev = 30;
  b.dsize = 5;
  b.detect_on = 1;
  b.bands = 8;
  b.alev = 30000;
  b.font_scale = 1;
}

}  // namespace orvanta::detect::testing
