// The automatic detect-area masks: the dark parts of the station's picture ("set") and
// the pixels that were hot in the detection maps of chosen clips (Ctrl + "set").
#pragma once

#include <string>
#include <vector>

#include "products/image24.h"
#include "products/mask_painting.h"

namespace orvanta {

inline constexpr const char* kHotMapSizeMismatch =
    "Mbmp  cx,cy is not equal to mask size. Please use same mask size( Xi Yi)";

struct AutoMaskParams {
  int lev = 20;    // "AP.me_lev": brightness (red + 2 green + blue) / 4 below it is masked
  int ratio = 90;  // "AP.me_ratio": a pixel darker than this percentage of its neighbours
  MaskBrush brush = MaskBrush::L;
};

// A new mask of the picture's size: all Detect, then the brush painted Mask at every pixel
// darker than `lev` and at every pixel whose sum of blue, green and red is below `ratio`
// percent of the mean of the others in its 5 x 5 block (cut at the picture's edges).
Image24 AutoSetMask(const Image24& picture, const AutoMaskParams& params);

struct HotPixelOutcome {
  int maps_read = 0;
  std::vector<std::string> skipped;  // maps that could not be read
  std::string message;               // kHotMapSizeMismatch: the mask was left unchanged
};

// Masks the pixels whose mask value (the blue byte of a detection map) was 3 or more in
// every map read; maps that cannot be read are skipped. A map of another size than `mask`
// leaves the mask unchanged. With no map read nothing is masked.
HotPixelOutcome HotPixelMask(const std::vector<std::string>& map_paths, Image24& mask);

}  // namespace orvanta
