#include "capture/media/subtypes.h"

#include <array>
#include <cstring>

namespace orvanta::media {
namespace {

constexpr Guid Fourcc(char a, char b, char c, char d) {
  return Guid{static_cast<uint32_t>(static_cast<uint8_t>(a)) |
                  static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
                  static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
                  static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24,
              0x0000,
              0x0010,
              {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
constexpr Guid Rgb(uint32_t data1) {
  return Guid{data1, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
}

const std::array<SubtypeInfo, 12> kTable = {{
    {Subtype::Null, "NULL", "", Guid{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}},
    {Subtype::UYVY, "UYVY", "UYVY", Fourcc('U', 'Y', 'V', 'Y')},
    {Subtype::YUY2, "YUY2", "YUY2", Fourcc('Y', 'U', 'Y', '2')},
    {Subtype::NV12, "NV12", "NV12", Fourcc('N', 'V', '1', '2')},
    {Subtype::I420, "I420", "I420", Fourcc('I', '4', '2', '0')},
    {Subtype::IYUV, "IYUV", "I420", Fourcc('I', 'Y', 'U', 'V')},
    {Subtype::YV12, "YV12", "YV12", Fourcc('Y', 'V', '1', '2')},
    {Subtype::DVSD, "DVSD", "", Fourcc('d', 'v', 's', 'd')},
    {Subtype::RGB24, "RGB24", "BGR", Rgb(0xE436EB7D)},
    {Subtype::RGB32, "RGB32", "BGRx", Rgb(0xE436EB7E)},
    {Subtype::Y800, "Y800", "GRAY8", Fourcc('Y', '8', '0', '0')},
    {Subtype::RGB8, "RGB8", "RGB8P", Rgb(0xE436EB7A)},
}};

}  // namespace

bool SameGuid(const Guid& a, const Guid& b) {
  return std::memcmp(&a, &b, sizeof(Guid)) == 0;
}

const SubtypeInfo& Info(Subtype subtype) {
  for (const auto& info : kTable)
    if (info.subtype == subtype) return info;
  return kTable[0];
}

Guid SubtypeGuid(Subtype subtype) {
  return Info(subtype).guid;
}

std::optional<Subtype> SubtypeFromGuid(const Guid& guid) {
  for (const auto& info : kTable)
    if (SameGuid(info.guid, guid)) return info.subtype;
  return std::nullopt;
}

std::optional<Subtype> SubtypeFromCapsFormat(std::string_view format) {
  for (const auto& info : kTable)
    if (info.caps_format[0] != '\0' && format == info.caps_format) return info.subtype;
  return std::nullopt;
}

int64_t FrameBytes(const Guid& subtype, int64_t pixels) {
  switch (SubtypeFromGuid(subtype).value_or(Subtype::Null)) {
    case Subtype::RGB8:
    case Subtype::Y800:
      return pixels;
    case Subtype::I420:
    case Subtype::IYUV:
    case Subtype::YV12:
    case Subtype::NV12:
      return pixels * 3 / 2;
    case Subtype::RGB24:
      return pixels * 3;
    case Subtype::RGB32:
      return pixels * 4;
    default:
      return pixels * 2;
  }
}

std::optional<ForcedFormat> ParseForcedFormat(std::string_view name) {
  if (name.empty() || name[0] == 'a') return ForcedFormat{true, Subtype::Null, 0};
  if (name == "uyvyR") return ForcedFormat{false, Subtype::UYVY, 1};
  if (name == "yuy2R") return ForcedFormat{false, Subtype::YUY2, 1};
  for (const auto& info : kTable)
    if (info.subtype != Subtype::Null && name == info.name)
      return ForcedFormat{false, info.subtype, 0};
  return std::nullopt;
}

}  // namespace orvanta::media
