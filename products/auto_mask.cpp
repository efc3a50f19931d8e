#include "products/auto_mask.h"

#include <algorithm>
#include <cstdint>

#include "products/bmp_file.h"

namespace orvanta {
namespace {

constexpr int kRatioBlockRadius = 2;  // the 5 x 5 block
constexpr uint8_t kHotMaskValue = 3;  // mask values 0..2 in a map mean the pixel was quiet

}  // namespace

Image24 AutoSetMask(const Image24& picture, const AutoMaskParams& params) {
  const int w = picture.width, h = picture.height;
  Image24 mask = WholePictureMask(w, h);
  if (!picture.valid()) return mask;
  // Blue + green + red per pixel, and its sums over every rectangle from the top-left.
  std::vector<int32_t> sum3(static_cast<size_t>(w) * h);
  std::vector<int64_t> table(static_cast<size_t>(w + 1) * (h + 1), 0);
  std::vector<uint8_t> seeds(static_cast<size_t>(w) * h, 0);
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = picture.row(h - 1 - y);
    int64_t across = 0;
    for (int x = 0; x < w; ++x, p += 3) {
      const size_t i = static_cast<size_t>(y) * w + x;
      sum3[i] = p[0] + p[1] + p[2];
      if ((p[2] + 2 * p[1] + p[0]) / 4 < params.lev) seeds[i] = 1;
      across += sum3[i];
      table[static_cast<size_t>(y + 1) * (w + 1) + x + 1] =
          table[static_cast<size_t>(y) * (w + 1) + x + 1] + across;
    }
  }
  for (int y = 0; y < h; ++y) {
    const int y0 = std::max(y - kRatioBlockRadius, 0), y1 = std::min(y + kRatioBlockRadius, h - 1);
    for (int x = 0; x < w; ++x) {
      const int x0 = std::max(x - kRatioBlockRadius, 0),
                x1 = std::min(x + kRatioBlockRadius, w - 1);
      const int64_t s = table[static_cast<size_t>(y1 + 1) * (w + 1) + x1 + 1] -
                        table[static_cast<size_t>(y0) * (w + 1) + x1 + 1] -
                        table[static_cast<size_t>(y1 + 1) * (w + 1) + x0] +
                        table[static_cast<size_t>(y0) * (w + 1) + x0];
      const int64_t n = static_cast<int64_t>(x1 - x0 + 1) * (y1 - y0 + 1);
      const size_t i = static_cast<size_t>(y) * w + x;
      const int64_t v = sum3[i];
      // v / mean x 100 < ratio with mean = (s - v) / (n - 1), kept in whole numbers: a
      // pixel among black neighbours (mean 0) is never darker than them.
      if (n > 1 && params.ratio * (s - v) > 100 * v * (n - 1)) seeds[i] = 1;
    }
  }
  PaintSeeds(mask, seeds, MaskColour::Mask, params.brush);
  return mask;
}

HotPixelOutcome HotPixelMask(const std::vector<std::string>& map_paths, Image24& mask) {
  HotPixelOutcome outcome;
  const int w = mask.width, h = mask.height;
  // Stays 1 while the pixel's mask value was 3 or more in every map read so far.
  std::vector<uint8_t> hot(static_cast<size_t>(w) * h, 1);
  for (const std::string& path : map_paths) {
    auto reader = BmpReader::Open(path);
    if (!reader) {
      outcome.skipped.push_back(path);
      continue;
    }
    if (reader->header().width != w || reader->header().height != h) {
      outcome.message = kHotMapSizeMismatch;
      return outcome;
    }
    Image24 map;
    if (!reader->ReadPixels(map)) {
      outcome.skipped.push_back(path);
      continue;
    }
    ++outcome.maps_read;
    // Both are bottom-up: the same memory index is the same picture pixel.
    for (size_t i = 0; i < hot.size(); ++i)
      if (map.bgr[3 * i] < kHotMaskValue) hot[i] = 0;
  }
  if (outcome.maps_read == 0) return outcome;
  // Seeds are top-down picture rows; the hot table follows the images' bottom-up rows.
  std::vector<uint8_t> seeds(hot.size());
  for (int y = 0; y < h; ++y)
    std::copy_n(hot.begin() + static_cast<size_t>(h - 1 - y) * w, w,
                seeds.begin() + static_cast<size_t>(y) * w);
  PaintSeeds(mask, seeds, MaskColour::Mask, MaskBrush::S);
  return outcome;
}

}  // namespace orvanta
