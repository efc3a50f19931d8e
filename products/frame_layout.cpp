#include "products/frame_layout.h"

#include <cstring>

namespace orvanta {
namespace {

constexpr uint32_t FourCc(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

// {XXXXXXXX-0000-0010-8000-00AA00389B71}: the FOURCC family.
constexpr Guid FourCcGuid(uint32_t fourcc) {
  return Guid{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
// {E436EBxx-524F-11CE-9F53-0020AF0BA770}: the uncompressed RGB family.
constexpr Guid RgbGuid(uint32_t data1) {
  return Guid{data1, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
}

bool Same(const Guid& a, const Guid& b) {
  return std::memcmp(&a, &b, sizeof(Guid)) == 0;
}

struct Entry {
  Guid guid;
  FrameLayout layout;
};
constexpr Entry kTable[] = {
    {FourCcGuid(FourCc('I', '4', '2', '0')), FrameLayout::I420},
    {FourCcGuid(FourCc('I', 'Y', 'U', 'V')), FrameLayout::I420},
    {FourCcGuid(FourCc('Y', 'V', '1', '2')), FrameLayout::YV12},
    {FourCcGuid(FourCc('N', 'V', '1', '2')), FrameLayout::NV12},
    {FourCcGuid(FourCc('Y', 'U', 'Y', '2')), FrameLayout::YUY2},
    {FourCcGuid(FourCc('U', 'Y', 'V', 'Y')), FrameLayout::UYVY},
    {FourCcGuid(FourCc('Y', '8', '0', '0')), FrameLayout::Y800},
    {RgbGuid(0xE436EB7A), FrameLayout::RGB8},
    {RgbGuid(0xE436EB7D), FrameLayout::RGB24},
    {RgbGuid(0xE436EB7E), FrameLayout::RGB32},
};

}  // namespace

FrameLayout FrameLayoutOf(const Guid& subtype) {
  for (const Entry& e : kTable)
    if (Same(e.guid, subtype)) return e.layout;
  return FrameLayout::Other;
}

Guid SubtypeGuid(FrameLayout layout) {
  for (const Entry& e : kTable)
    if (e.layout == layout) return e.guid;
  return Guid{};
}

size_t FrameLayoutBytes(FrameLayout layout, int cx, int cy) {
  if (cx <= 0 || cy <= 0) return 0;
  const size_t w = static_cast<size_t>(cx), h = static_cast<size_t>(cy);
  const size_t cw = (w + 1) / 2, ch = (h + 1) / 2;
  switch (layout) {
    case FrameLayout::I420:
    case FrameLayout::YV12:
    case FrameLayout::NV12:
      return w * h + 2 * cw * ch;
    case FrameLayout::YUY2:
    case FrameLayout::UYVY:
      return cw * 4 * h;
    case FrameLayout::Y800:
    case FrameLayout::RGB8:
      return w * h;
    case FrameLayout::RGB24:
      return w * h * 3;
    case FrameLayout::RGB32:
      return w * h * 4;
    case FrameLayout::Other:
      break;
  }
  return 0;
}

}  // namespace orvanta
