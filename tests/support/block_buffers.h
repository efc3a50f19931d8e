// The host's buffers of a DetectionBlock held in memory, for tests and benchmarks that host
// the detection filter without the station: sized from the block's cx, pixels, frame_bytes
// and ring_count (with the 6-row margins around both masks), zeroed, and pointed to by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "detectfilter/zavipf.h"

namespace orvanta::testing {

struct BlockBuffers {
  std::vector<std::vector<uint8_t>> frames;
  std::vector<uint8_t> mask, mask2, hit_map, avr_map2, snapshot, obj_map;
  std::vector<uint32_t> avr_map;

  void Allocate(DetectionBlock& b) {
    const size_t pixels = static_cast<size_t>(b.pixels);
    const size_t margin = 6 * static_cast<size_t>(b.cx);
    frames.assign(static_cast<size_t>(b.ring_count), std::vector<uint8_t>(b.frame_bytes, 0));
    for (int i = 0; i < b.ring_count; ++i) b.frames[i] = frames[i].data();
    mask.assign(pixels + 2 * margin, 0);
    mask2.assign(pixels + 2 * margin, 0);
    b.mask_base = mask.data();
    b.mask = b.mask_base + margin;
    b.mask2_base = mask2.data();
    b.mask2 = b.mask2_base + margin;
    hit_map.assign(pixels, 0);
    avr_map.assign(pixels, 0);
    avr_map2.assign(pixels, 0);
    snapshot.assign(static_cast<size_t>(b.frame_bytes), 0);
    obj_map.assign(pixels, 0);
    b.hit_map = hit_map.data();
    b.avr_map = avr_map.data();
    b.avr_map2 = avr_map2.data();
    b.snapshot = snapshot.data();
    b.obj_map = obj_map.data();
  }
};

}  // namespace orvanta::testing
