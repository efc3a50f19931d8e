// The pixel formats of the system, in one table: the media subtype the host keeps in the block
// (its GUID), the names the host, the filter and GStreamer give it, the bytes of one frame and
// how a packed frame lies in memory. Every part that handles frames (the detection core and
// its element, capture, products, the simulator) speaks of formats through this table.
//
// Packed frames are top-down, rows without padding: `width` pixels of `step` bytes; 4:2:0
// colour planes of (width / 2) x (height / 2) samples follow the brightness plane (an odd last
// row or column has no colour samples of its own).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "detectfilter/zavipf.h"

namespace orvanta {

enum class PixelFormat : uint8_t {
  Null,  // the host's empty subtype, which the filter takes as well
  I420,
  IYUV,  // I420 under another FOURCC
  YV12,  // I420 with the colour planes swapped
  YUY2,
  UYVY,
  NV12,
  Y800,
  RGB8,  // palette indices, read as brightness
  RGB24,
  RGB32,
  DVSD,   // DV: encoded, no picture layout
  Other,  // a subtype the system does not know
};

enum class PlaneKind : uint8_t {
  None,           // no picture layout
  Packed,         // one plane
  Planar420,      // brightness plane, then two colour planes of one byte a sample
  SemiPlanar420,  // brightness plane, then one plane of colour pairs
};

// Where the colour samples of one kind (U or V) lie: in plane `plane` (-1: none), `offset`
// bytes into each group of `step` bytes. The samples of plane 0 cover pixel pairs; those of
// the other planes 2x2 blocks.
struct ChromaSite {
  int8_t plane;
  int8_t offset;
  int8_t step;
};

struct PixelFormatInfo {
  PixelFormat format;
  const char* name;      // the subtype's name, as the input page offers it ("YUY2", "RGB24")
  const char* fourcc;    // what the filter reports it takes ("I420" for IYUV and YV12 too)
  const char* red_name;  // the name with the red signal ("yuy2R"), nullptr where none
  const char* raw_caps;  // GStreamer raw video format ("BGR"), "" where none
  Guid guid;             // the DirectShow subtype kept in host_subtype and input_subtype
  bool picture;          // a raw picture laid out as below
  bool filter_input;     // the detection filter takes it
  int bits;              // bits per pixel of one frame
  PlaneKind planes;
  int step;        // bytes per pixel in plane 0
  int brightness;  // offset of the brightness byte in the step (RGB: the first colour byte)
  bool rgb;        // brightness is (B + 2G + R) / 4 of three colour bytes, written to all three
  ChromaSite u, v;
};

// Every format, in the order of the enum.
std::span<const PixelFormatInfo> PixelFormats();
const PixelFormatInfo& Info(PixelFormat format);

bool SameGuid(const Guid& a, const Guid& b);
// Other for a subtype not in the table (the zero GUID is Null).
PixelFormat PixelFormatOfGuid(const Guid& guid);
// By the subtype's name ("RGB24"); Other for any other name.
PixelFormat PixelFormatOfName(std::string_view name);
// By GStreamer's raw video format name ("BGR"); Other for any other name.
PixelFormat PixelFormatOfRawCaps(std::string_view caps_format);

// Bytes of one frame of `pixels` pixels (also for a pixel count the host rounded up).
int64_t FrameBytes(PixelFormat format, int64_t pixels);

struct Plane {
  size_t offset = 0;     // in the packed frame
  size_t row_bytes = 0;  // bytes of one row
  int rows = 0;
};
struct Planes {
  int count = 0;
  Plane plane[3];
};
// The planes of a packed frame of width x height (none for PlaneKind::None).
Planes PlanesOf(PixelFormat format, int width, int height);

// Writes `value` as the brightness of pixel `i` (the three colour bytes of RGB).
inline void PutBrightness(const PixelFormatInfo& f, uint8_t* frame, size_t i, uint8_t value) {
  uint8_t* p = frame + static_cast<size_t>(f.step) * i + f.brightness;
  p[0] = value;
  if (f.rgb) p[1] = p[2] = value;
}

// Full-range BT.601 in integer thousandths, clamped to 0..255: the one conversion of a
// YUV sample to colour bytes, for still images and replay snapshots alike.
struct Bgr {
  uint8_t b, g, r;
};
inline Bgr YuvToBgr(int y, int u, int v) {
  auto clamp = [](int x) { return static_cast<uint8_t>(x < 0 ? 0 : x > 255 ? 255 : x); };
  return Bgr{clamp((1000 * y + 1772 * u - 226316) / 1000),
             clamp((1000 * y - 344 * u - 714 * v + 135924) / 1000),
             clamp((1000 * y + 1402 * v - 178956) / 1000)};
}

}  // namespace orvanta
