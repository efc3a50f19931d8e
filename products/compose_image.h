// Composing the still images in the live page image from the block's maps and
// its snapshot frame. Every frame and map here is stored top-down; the image
// is bottom-up, so the first frame row lands in the image's last memory row.
#pragma once

#include <cstddef>
#include <cstdint>

#include "detectfilter/pixel_format.h"
#include "detectfilter/zavipf.h"
#include "products/image24.h"
#include "products/result.h"

namespace orvanta {

// Full-range BT.601 in integer thousandths, clamped to 0..255.
struct Bgr {
  uint8_t b, g, r;
};
inline Bgr YuvToBgr(int y, int u, int v) {
  auto clamp = [](int x) { return static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x); };
  return Bgr{clamp((1000 * y + 1772 * u - 226316) / 1000),
             clamp((1000 * y - 344 * u - 714 * v + 135924) / 1000),
             clamp((1000 * y + 1402 * v - 178956) / 1000)};
}

// Detection map: blue = mask byte (when sm_on), green = rounded average
// brightness, red = hit map. Clears the block's clip_started afterwards.
Status ComposeMapImage(DetectionBlock& block, Image24& image);

// Converts one packed frame of `format` into the image (cx x cy). For a format
// without a picture the image keeps its previous content and an error is returned.
Status ComposeFrameImage(PixelFormat format, const uint8_t* frame, size_t frame_bytes, int cx,
                         int cy, Image24& image);

// The block's snapshot (or peak-hold composite) by its input subtype.
Status ComposeSnapshotImage(const DetectionBlock& block, Image24& image);

}  // namespace orvanta
