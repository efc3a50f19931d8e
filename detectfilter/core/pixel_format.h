// The input formats the detection filter takes, and what the pixel code needs to know of each:
// type index, image size, brightness byte position, the name shown to the user.
#pragma once

#include <cstddef>
#include <cstdint>

#include "detectfilter/core/detect_core.h"
#include "detectfilter/zavipf.h"

namespace orvanta::detect {

// Type indices used by all pixel code.
enum TypeIndex : int {
  kTypeNull = 0,
  kTypeI420 = 1,
  kTypeYUY2 = 2,
  kTypeUYVY = 3,
  kTypeRGB8 = 4,
  kTypeY800 = 5,
  kTypeRGB24 = 6,
  kTypeRGB32 = 7,
  kTypeNV12 = 8,
};

struct FormatInfo {
  int type_index;        // -1: not accepted
  int step;              // bytes per pixel step
  int offset;            // brightness byte offset
  const char* fourcc;    // name written to the block's fourcc
  const char* red_name;  // name with red_mode (YUY2, UYVY), else nullptr
};

FormatInfo FormatOf(Subtype subtype);
// Media subtype GUID as the host names it (FOURCC GUIDs and the RGB ones; zero for Null).
Guid SubtypeGuid(Subtype subtype);
// Bytes of one image of `pixels` pixels for a type index.
size_t ImageSize(int type_index, size_t pixels);
// Pixel step and brightness offset of a type index.
int PixelStep(int type_index);
int BrightnessOffset(int type_index);

}  // namespace orvanta::detect
