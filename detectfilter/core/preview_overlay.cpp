#include "detectfilter/core/preview_overlay.h"

#include "detectfilter/core/pixel_format.h"

namespace orvanta::detect {

void WriteBrightness(uint8_t* frame, int type_index, size_t i, uint8_t value) {
  switch (type_index) {
    case kTypeYUY2:
      frame[2 * i] = value;
      break;
    case kTypeUYVY:
      frame[2 * i + 1] = value;
      break;
    case kTypeRGB24:
      frame[3 * i] = frame[3 * i + 1] = frame[3 * i + 2] = value;
      break;
    case kTypeRGB32:
      frame[4 * i] = frame[4 * i + 1] = frame[4 * i + 2] = value;
      break;
    default:
      frame[i] = value;
      break;
  }
}

namespace {

// The painted value of a pixel with mask byte m, or the pixel's own value `own`.
inline uint8_t Painted(uint8_t m, uint8_t own, uint8_t paint, uint8_t area) {
  const uint8_t star = paint != 0 ? paint : own;
  const uint8_t user = area != 0 ? area : own;
  return m == 0 ? own : ((m & 3) == 0 ? star : user);
}

// One loop per layout, chosen once per frame: `kStep` bytes per pixel, brightness at `kOff`,
// `kBytes` bytes written (three colour bytes for RGB).
template <int kStep, int kOff, int kBytes>
void PaintPixels(uint8_t* __restrict frame, const uint8_t* __restrict mask, size_t pixels,
                 uint8_t paint, uint8_t area) {
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t m = mask[i];
    for (int b = 0; b < kBytes; ++b) {
      uint8_t& v = frame[kStep * i + kOff + b];
      v = Painted(m, v, paint, area);
    }
  }
}

}  // namespace

void PaintMask(uint8_t* frame, int type_index, const uint8_t* mask, size_t pixels, int paint_value,
               bool si_area) {
  const uint8_t paint = static_cast<uint8_t>(paint_value);
  const uint8_t area = si_area ? 128 : 0;
  switch (type_index) {
    case kTypeYUY2:
      return PaintPixels<2, 0, 1>(frame, mask, pixels, paint, area);
    case kTypeUYVY:
      return PaintPixels<2, 1, 1>(frame, mask, pixels, paint, area);
    case kTypeRGB24:
      return PaintPixels<3, 0, 3>(frame, mask, pixels, paint, area);
    case kTypeRGB32:
      return PaintPixels<4, 0, 3>(frame, mask, pixels, paint, area);
    default:
      return PaintPixels<1, 0, 1>(frame, mask, pixels, paint, area);
  }
}

namespace {

void DrawBox(uint8_t* frame, int type_index, int cx, const TrackedObject& o, uint8_t value) {
  for (int x = o.x0; x <= o.x1; ++x) {
    WriteBrightness(frame, type_index, static_cast<size_t>(o.y0) * cx + x, value);
    WriteBrightness(frame, type_index, static_cast<size_t>(o.y1) * cx + x, value);
  }
  for (int y = o.y0; y <= o.y1; ++y) {
    WriteBrightness(frame, type_index, static_cast<size_t>(y) * cx + o.x0, value);
    WriteBrightness(frame, type_index, static_cast<size_t>(y) * cx + o.x1, value);
  }
}

}  // namespace

void DrawObjectBoxes(uint8_t* frame, int type_index, int cx, const ObjectTracker& tracker) {
  constexpr int kMaxBoxes = 11;
  int slow = 0;
  int other = 0;
  for (int number = 1; number <= tracker.highest(); ++number) {
    const TrackedObject& o = tracker.object(number);
    if (o.state == kObjectSlow && slow < kMaxBoxes) {
      DrawBox(frame, type_index, cx, o, 255);
      ++slow;
    } else if (o.state != kObjectFree && o.state != kObjectSlow && other < kMaxBoxes) {
      DrawBox(frame, type_index, cx, o, 128);
      ++other;
    }
  }
}

}  // namespace orvanta::detect
