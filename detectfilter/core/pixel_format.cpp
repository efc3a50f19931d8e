#include "detectfilter/core/pixel_format.h"

namespace orvanta::detect {

namespace {

constexpr FormatInfo kNotAccepted{-1, 1, 0, "", nullptr};

Guid FourccGuid(char a, char b, char c, char d) {
  uint32_t code = static_cast<uint32_t>(static_cast<uint8_t>(a)) |
                  static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
                  static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
                  static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
  return Guid{code, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

Guid RgbGuid(uint32_t data1) {
  return Guid{data1, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
}

}  // namespace

FormatInfo FormatOf(Subtype subtype) {
  switch (subtype) {
    case Subtype::Null:
      return {kTypeNull, 1, 0, "NULL", nullptr};
    case Subtype::I420:
    case Subtype::IYUV:
    case Subtype::YV12:
      return {kTypeI420, 1, 0, "I420", nullptr};
    case Subtype::YUY2:
      return {kTypeYUY2, 2, 0, "YUY2", "yuy2R"};
    case Subtype::UYVY:
      return {kTypeUYVY, 2, 1, "UYVY", "uyvyR"};
    case Subtype::RGB8:
      return {kTypeRGB8, 1, 0, "RGB8", nullptr};
    case Subtype::Y800:
      return {kTypeY800, 1, 0, "Y800", nullptr};
    case Subtype::RGB24:
      return {kTypeRGB24, 3, 0, "RGB24", nullptr};
    case Subtype::RGB32:
      return {kTypeRGB32, 4, 0, "RGB32", nullptr};
    case Subtype::NV12:
      return {kTypeNV12, 1, 0, "NV12", nullptr};
    case Subtype::Other:
      break;
  }
  return kNotAccepted;
}

Guid SubtypeGuid(Subtype subtype) {
  switch (subtype) {
    case Subtype::I420:
      return FourccGuid('I', '4', '2', '0');
    case Subtype::IYUV:
      return FourccGuid('I', 'Y', 'U', 'V');
    case Subtype::YV12:
      return FourccGuid('Y', 'V', '1', '2');
    case Subtype::YUY2:
      return FourccGuid('Y', 'U', 'Y', '2');
    case Subtype::UYVY:
      return FourccGuid('U', 'Y', 'V', 'Y');
    case Subtype::Y800:
      return FourccGuid('Y', '8', '0', '0');
    case Subtype::NV12:
      return FourccGuid('N', 'V', '1', '2');
    case Subtype::RGB8:
      return RgbGuid(0xE436EB7A);
    case Subtype::RGB24:
      return RgbGuid(0xE436EB7D);
    case Subtype::RGB32:
      return RgbGuid(0xE436EB7E);
    case Subtype::Null:
    case Subtype::Other:
      break;
  }
  return Guid{};
}

size_t ImageSize(int type_index, size_t pixels) {
  switch (type_index) {
    case kTypeI420:
    case kTypeNV12:
      return pixels * 12 / 8;
    case kTypeRGB8:
    case kTypeY800:
      return pixels;
    case kTypeRGB24:
      return pixels * 3;
    case kTypeRGB32:
      return pixels * 4;
    default:
      return pixels * 2;
  }
}

int PixelStep(int type_index) {
  switch (type_index) {
    case kTypeYUY2:
    case kTypeUYVY:
      return 2;
    case kTypeRGB24:
      return 3;
    case kTypeRGB32:
      return 4;
    default:
      return 1;
  }
}

int BrightnessOffset(int type_index) {
  return type_index == kTypeUYVY ? 1 : 0;
}

}  // namespace orvanta::detect
