// What the live image shows beyond the picture: masked pixels painted, and the boxes of the
// tracked objects. Only the live image is drawn on; ring frames and recordings stay clean.
#pragma once

#include <cstdint>

#include "detectfilter/core/object_tracker.h"

namespace orvanta::detect {

// Writes `value` as the brightness of pixel i (all three colour bytes for RGB24 and RGB32).
void WriteBrightness(uint8_t* frame, int type_index, size_t i, uint8_t value);

// Star-mask marks get `paint_value` (0: none); user-masked pixels get 128 when `si_area`.
void PaintMask(uint8_t* frame, int type_index, const uint8_t* mask, size_t pixels, int paint_value,
               bool si_area);

// Box outlines: white for slow objects, grey for the others in use, at most 11 of each.
void DrawObjectBoxes(uint8_t* frame, int type_index, int cx, const ObjectTracker& tracker);

}  // namespace orvanta::detect
