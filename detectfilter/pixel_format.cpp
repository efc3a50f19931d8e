#include "detectfilter/pixel_format.h"

#include <array>
#include <cstring>

namespace orvanta {
namespace {

constexpr Guid FourccGuid(const char (&code)[5]) {
  return Guid{static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
                  static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8 |
                  static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16 |
                  static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24,
              0x0000,
              0x0010,
              {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
constexpr Guid RgbGuid(uint32_t data1) {
  return Guid{data1, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
}

using enum PixelFormat;
using enum PlaneKind;
constexpr ChromaSite kNone{-1, 0, 0};

// clang-format off
constexpr std::array<PixelFormatInfo, 13> kTable = {{
//  format name     fourcc   red      caps     guid                      pic    filter bits planes         step bright rgb    u            v
  {Null,  "NULL",  "NULL",  nullptr, "",      Guid{},                   false, true,  16, Packed,        1, 0, false, kNone,       kNone},
  {I420,  "I420",  "I420",  nullptr, "I420",  FourccGuid("I420"),       true,  true,  12, Planar420,     1, 0, false, {1, 0, 1},   {2, 0, 1}},
  {IYUV,  "IYUV",  "I420",  nullptr, "I420",  FourccGuid("IYUV"),       true,  true,  12, Planar420,     1, 0, false, {1, 0, 1},   {2, 0, 1}},
  {YV12,  "YV12",  "I420",  nullptr, "YV12",  FourccGuid("YV12"),       true,  true,  12, Planar420,     1, 0, false, {2, 0, 1},   {1, 0, 1}},
  {YUY2,  "YUY2",  "YUY2",  "yuy2R", "YUY2",  FourccGuid("YUY2"),       true,  true,  16, Packed,        2, 0, false, {0, 1, 4},   {0, 3, 4}},
  {UYVY,  "UYVY",  "UYVY",  "uyvyR", "UYVY",  FourccGuid("UYVY"),       true,  true,  16, Packed,        2, 1, false, {0, 0, 4},   {0, 2, 4}},
  {NV12,  "NV12",  "NV12",  nullptr, "NV12",  FourccGuid("NV12"),       true,  true,  12, SemiPlanar420, 1, 0, false, {1, 0, 2},   {1, 1, 2}},
  {Y800,  "Y800",  "Y800",  nullptr, "GRAY8", FourccGuid("Y800"),       true,  true,   8, Packed,        1, 0, false, kNone,       kNone},
  {RGB8,  "RGB8",  "RGB8",  nullptr, "RGB8P", RgbGuid(0xE436EB7A),      true,  true,   8, Packed,        1, 0, false, kNone,       kNone},
  {RGB24, "RGB24", "RGB24", nullptr, "BGR",   RgbGuid(0xE436EB7D),      true,  true,  24, Packed,        3, 0, true,  kNone,       kNone},
  {RGB32, "RGB32", "RGB32", nullptr, "BGRx",  RgbGuid(0xE436EB7E),      true,  true,  32, Packed,        4, 0, true,  kNone,       kNone},
  {DVSD,  "DVSD",  "DVSD",  nullptr, "",      FourccGuid("dvsd"),       false, false, 16, None,          1, 0, false, kNone,       kNone},
  {Other, "",      "",      nullptr, "",      Guid{},                   false, false, 16, None,          1, 0, false, kNone,       kNone},
}};
// clang-format on

constexpr bool InEnumOrder() {
  for (size_t i = 0; i < kTable.size(); ++i)
    if (static_cast<size_t>(kTable[i].format) != i) return false;
  return true;
}
static_assert(InEnumOrder());

}  // namespace

std::span<const PixelFormatInfo> PixelFormats() {
  return kTable;
}

const PixelFormatInfo& Info(PixelFormat format) {
  const size_t i = static_cast<size_t>(format);
  return i < kTable.size() ? kTable[i] : kTable[static_cast<size_t>(Other)];
}

bool SameGuid(const Guid& a, const Guid& b) {
  return std::memcmp(&a, &b, sizeof(Guid)) == 0;
}

PixelFormat PixelFormatOfGuid(const Guid& guid) {
  for (const PixelFormatInfo& f : kTable)
    if (SameGuid(f.guid, guid)) return f.format;
  return Other;
}

PixelFormat PixelFormatOfName(std::string_view name) {
  for (const PixelFormatInfo& f : kTable)
    if (f.format != Other && name == f.name) return f.format;
  return Other;
}

PixelFormat PixelFormatOfRawCaps(std::string_view caps_format) {
  for (const PixelFormatInfo& f : kTable)
    if (f.raw_caps[0] != '\0' && caps_format == f.raw_caps) return f.format;
  return Other;
}

int64_t FrameBytes(PixelFormat format, int64_t pixels) {
  return pixels * Info(format).bits / 8;
}

Planes PlanesOf(PixelFormat format, int width, int height) {
  const PixelFormatInfo& f = Info(format);
  Planes out;
  if (width <= 0 || height <= 0 || f.planes == None) return out;
  const size_t w = static_cast<size_t>(width);
  const size_t pixels = w * static_cast<size_t>(height);
  auto add = [&](size_t offset, size_t row_bytes, int rows) {
    out.plane[out.count++] = Plane{offset, row_bytes, rows};
  };
  add(0, w * static_cast<size_t>(f.step), height);
  if (f.planes == Planar420) {
    // The second colour plane starts a quarter frame after the first.
    add(pixels, w / 2, height / 2);
    add(pixels + pixels / 4, w / 2, height / 2);
  } else if (f.planes == SemiPlanar420) {
    add(pixels, w, height / 2);
  }
  return out;
}

}  // namespace orvanta
