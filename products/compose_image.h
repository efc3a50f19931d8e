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
