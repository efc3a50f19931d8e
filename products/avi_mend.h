// Mending a recording whose writer never finished it (the program killed, the power cut,
// the disk full): the multiplexer wrote its header with the sizes still zero and no index
// at the end, so players see nothing although the frames are there.
#pragma once

#include <cstdint>
#include <string>

#include "products/result.h"

namespace orvanta {

struct AviFacts {
  uint32_t frames = 0;  // video frames in the file (indexed)
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t us_per_frame = 0;  // from the main header; 0 when unknown
  bool mended = false;        // false: the file was complete already
};

// Keeps every whole chunk of the file's frame list, cuts what follows the last one (a
// frame half written), writes the index and sets the header's sizes and frame counts. A
// complete file is left as it is. When the index does not fit on a full disk, frames are
// given up from the end until it does. Errors: not an AVI recording, no whole frame, or
// the file cannot be written.
Result<AviFacts> MendAvi(const std::string& path);

}  // namespace orvanta
