#include "products/mask_painting.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "products/area_mask.h"

namespace orvanta {
namespace {

constexpr uint8_t kMaskPixel[3] = {0, 0, 255};
constexpr uint8_t kDetectPixel[3] = {kDetectByte, kDetectByte, kDetectByte};

const uint8_t* PixelOf(MaskColour colour) {
  return colour == MaskColour::Mask ? kMaskPixel : kDetectPixel;
}

// The brush as one half-width per row offset: row dy of the disc covers dx from -w to +w.
// A disc holds the offsets within (d - 1) / 2 whose squared distance is at most d * d / 4.
struct BrushRows {
  int radius = 0;
  int half_width[13] = {};  // indexed by |dy|; 13 rows for the largest brush
};

BrushRows RowsOf(MaskBrush brush) {
  const int d = BrushDiameter(brush);
  BrushRows rows;
  rows.radius = (d - 1) / 2;
  const int limit = d * d / 4;
  for (int dy = 0; dy <= rows.radius; ++dy) {
    int w = 0;
    while (w + 1 <= rows.radius && (w + 1) * (w + 1) + dy * dy <= limit) ++w;
    rows.half_width[dy] = w;
  }
  return rows;
}

// Sets columns [x0, x1) of picture row y, already clipped.
void SetRun(Image24& mask, int y, int x0, int x1, const uint8_t* pixel) {
  uint8_t* p = mask.row(mask.height - 1 - y) + 3 * x0;
  for (int x = x0; x < x1; ++x, p += 3) std::memcpy(p, pixel, 3);
}

}  // namespace

int BrushDiameter(MaskBrush brush) {
  switch (brush) {
    case MaskBrush::S:
      return 1;
    case MaskBrush::M:
      return 5;
    case MaskBrush::L:
      return 13;
    case MaskBrush::LL:
      return 25;
  }
  return 1;
}

MaskColour OtherColour(MaskColour colour) {
  return colour == MaskColour::Mask ? MaskColour::Detect : MaskColour::Mask;
}

void FillMask(Image24& mask, MaskColour colour) {
  for (int y = 0; y < mask.height; ++y) SetRun(mask, y, 0, mask.width, PixelOf(colour));
}

Image24 WholePictureMask(int cx, int cy) {
  Image24 mask;
  mask.Resize(cx, cy);
  std::fill(mask.bgr.begin(), mask.bgr.end(), kDetectByte);
  return mask;
}

bool IsMasked(const Image24& mask, PicturePoint p) {
  return IsExcludedPixel(mask.row(mask.height - 1 - p.y) + 3 * p.x);
}

void PaintPoint(Image24& mask, PicturePoint p, MaskColour colour, MaskBrush brush) {
  const BrushRows rows = RowsOf(brush);
  for (int dy = -rows.radius; dy <= rows.radius; ++dy) {
    const int y = p.y + dy;
    if (y < 0 || y >= mask.height) continue;
    const int w = rows.half_width[std::abs(dy)];
    const int x0 = std::max(p.x - w, 0), x1 = std::min(p.x + w + 1, mask.width);
    if (x0 < x1) SetRun(mask, y, x0, x1, PixelOf(colour));
  }
}

void PaintRect(Image24& mask, PicturePoint a, PicturePoint b, MaskColour colour) {
  const int x0 = std::max(std::min(a.x, b.x), 0), x1 = std::min(std::max(a.x, b.x), mask.width);
  const int y0 = std::max(std::min(a.y, b.y), 0),
            y1 = std::min(std::max(a.y, b.y), mask.height - 1);
  if (x0 >= x1) return;
  for (int y = y0; y <= y1; ++y) SetRun(mask, y, x0, x1, PixelOf(colour));
}

void PaintLine(Image24& mask, PicturePoint a, PicturePoint b, MaskColour colour, MaskBrush brush) {
  if (a == b) return;
  const int dx = b.x - a.x, dy = b.y - a.y;
  if (std::abs(dx) >= std::abs(dy)) {
    if (a.x > b.x) std::swap(a, b);
    const double slope = static_cast<double>(b.y - a.y) / (b.x - a.x);
    for (int x = a.x; x <= b.x; ++x)
      PaintPoint(mask, {x, static_cast<int>(a.y + slope * (x - a.x))}, colour, brush);
  } else {
    if (a.y > b.y) std::swap(a, b);
    const double slope = static_cast<double>(b.x - a.x) / (b.y - a.y);
    for (int y = a.y; y <= b.y; ++y)
      PaintPoint(mask, {static_cast<int>(a.x + slope * (y - a.y)), y}, colour, brush);
  }
}

void PaintSeeds(Image24& mask, const std::vector<uint8_t>& seeds, MaskColour colour,
                MaskBrush brush) {
  const int w = mask.width, h = mask.height;
  if (seeds.size() < static_cast<size_t>(w) * h) return;
  // Seeds counted along each row, so "any seed within +-hw of x" is one subtraction.
  std::vector<int32_t> prefix(static_cast<size_t>(w + 1) * h);
  for (int y = 0; y < h; ++y) {
    int32_t* row = prefix.data() + static_cast<size_t>(y) * (w + 1);
    const uint8_t* s = seeds.data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x) row[x + 1] = row[x] + (s[x] != 0);
  }
  const BrushRows rows = RowsOf(brush);
  const uint8_t* pixel = PixelOf(colour);
  for (int y = 0; y < h; ++y) {
    uint8_t* out = mask.row(h - 1 - y);
    for (int dy = -rows.radius; dy <= rows.radius; ++dy) {
      const int sy = y + dy;
      if (sy < 0 || sy >= h) continue;
      const int32_t* row = prefix.data() + static_cast<size_t>(sy) * (w + 1);
      if (row[w] == 0) continue;
      const int hw = rows.half_width[std::abs(dy)];
      for (int x = 0; x < w; ++x) {
        const int lo = std::max(x - hw, 0), hi = std::min(x + hw + 1, w);
        if (row[hi] != row[lo]) std::memcpy(out + 3 * x, pixel, 3);
      }
    }
  }
}

Image24 ComposeMaskDisplay(const Image24& background, const Image24& mask) {
  Image24 display;
  display.Resize(mask.width, mask.height);
  if (background.valid() && background.width == mask.width && background.height == mask.height)
    std::memcpy(display.bgr.data(), background.bgr.data(), display.bgr.size());
  for (size_t i = 0; i + 2 < display.bgr.size(); i += 3) {
    if (!IsExcludedPixel(mask.bgr.data() + i)) continue;
    uint8_t* d = display.bgr.data() + i;
    d[0] /= 2;
    d[1] /= 2;
    d[2] = 128;
  }
  return display;
}

}  // namespace orvanta
