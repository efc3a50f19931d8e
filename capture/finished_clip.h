// A clip the detection filter has finished: the block as it stood at the clip's end, with
// its own copies of the maps and the snapshot. Detection goes on with the next frame while
// the live thread turns this clip into its files, so the clip's products are made from
// this copy, never from the live block.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "detectfilter/zavipf.h"

namespace orvanta::capture {

struct FinishedClip {
  // The results and settings of the clip; hit_map, avr_map, mask and snapshot point into
  // the copies below, every other buffer pointer is null.
  DetectionBlock block{};
  std::vector<uint8_t> hit_map;
  std::vector<uint32_t> avr_map;
  std::vector<uint8_t> mask;
  std::vector<uint8_t> snapshot;
  int delivered = 0;  // clip frames that left on the capture output
};

// From the filter's "ClipEnd" message; a message without the clip's copy (a filter that
// does not send one) gives a copy of `live`, the host's block, taken now.
std::shared_ptr<FinishedClip> FinishedClipFrom(const GstStructure* message,
                                               const DetectionBlock& live);

}  // namespace orvanta::capture
