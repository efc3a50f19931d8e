// Painting on a detect-area mask (the editor's work image): Detect and Mask colours, the
// round brushes, rectangles and lines. Points are picture coordinates from the top-left of
// the picture as the user sees it; the image itself keeps its rows bottom-up.
#pragma once

#include <cstdint>
#include <vector>

#include "products/image24.h"

namespace orvanta {

enum class MaskColour { Detect, Mask };

// Brush sizes "S", "M", "L", "LL": a single pixel and discs of diameter 5, 13 and 25.
enum class MaskBrush { S = 1, M = 2, L = 3, LL = 4 };

inline constexpr uint8_t kDetectByte = 128;  // a Detect pixel is 128, 128, 128

struct PicturePoint {
  int x = 0;
  int y = 0;
  bool operator==(const PicturePoint&) const = default;
};

int BrushDiameter(MaskBrush brush);
// The other colour (the right mouse button paints it).
MaskColour OtherColour(MaskColour colour);

// "All Detect" / "All Mask".
void FillMask(Image24& mask, MaskColour colour);
// A work image of the frame size, all Detect.
Image24 WholePictureMask(int cx, int cy);

// True when the pixel is pure red, i.e. left out of detection.
bool IsMasked(const Image24& mask, PicturePoint p);

// The brush centred on `p`, clipped at the picture's edges.
void PaintPoint(Image24& mask, PicturePoint p, MaskColour colour, MaskBrush brush);

// Columns from `a.x` up to but not including `b.x`, rows from `a.y` through `b.y` (the
// corners in any order), clipped at the picture's edges.
void PaintRect(Image24& mask, PicturePoint a, PicturePoint b, MaskColour colour);

// The brush stepped one pixel at a time along the longer axis from one end to the other;
// equal ends paint nothing.
void PaintLine(Image24& mask, PicturePoint a, PicturePoint b, MaskColour colour, MaskBrush brush);

// The brush at every picture pixel whose `seeds` byte (top-down rows, width x height) is
// not 0: what painting each such point in turn gives, in time linear in the brush width.
void PaintSeeds(Image24& mask, const std::vector<uint8_t>& seeds, MaskColour colour,
                MaskBrush brush);

// What the editor shows: the background with every masked pixel's blue and green halved
// and its red set to 128. A background of another size shows as black.
Image24 ComposeMaskDisplay(const Image24& background, const Image24& mask);

}  // namespace orvanta
