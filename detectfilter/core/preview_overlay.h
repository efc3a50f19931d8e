// What the live image shows beyond the picture: masked pixels painted, and the boxes of the
// tracked objects. Only the live image is drawn on; ring frames and recordings stay clean.
#pragma once

#include <cstdint>

#include "detectfilter/core/object_tracker.h"
#include "detectfilter/pixel_format.h"

namespace orvanta::detect {

// Star-mask marks get `paint_value` (0: none); user-masked pixels get 128 when `si_area`. The
// value goes to the brightness byte, or to the three colour bytes of RGB.
using PaintMaskFn = void (*)(uint8_t* frame, const uint8_t* mask, size_t pixels, int paint_value,
                             bool si_area);
// The painting loop for frames of `format`; null for a format without a picture layout.
PaintMaskFn PaintMaskFor(const PixelFormatInfo& format);

// Box outlines: white for slow objects, grey for the others in use, at most 11 of each.
void DrawObjectBoxes(uint8_t* frame, const PixelFormatInfo& format, int cx,
                     const ObjectTracker& tracker);

}  // namespace orvanta::detect
