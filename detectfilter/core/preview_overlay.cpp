#include "detectfilter/core/preview_overlay.h"

namespace orvanta::detect {

namespace {

// The painted value of a pixel with mask byte m, or the pixel's own value `own`.
inline uint8_t Painted(uint8_t m, uint8_t own, uint8_t paint, uint8_t area) {
  const uint8_t star = paint != 0 ? paint : own;
  const uint8_t user = area != 0 ? area : own;
  return m == 0 ? own : ((m & 3) == 0 ? star : user);
}

// One loop per layout: `kStep` bytes per pixel, brightness at `kOff`, `kBytes` bytes written
// (three colour bytes for RGB).
template <int kStep, int kOff, int kBytes>
void PaintPixels(uint8_t* __restrict frame, const uint8_t* __restrict mask, size_t pixels,
                 int paint_value, bool si_area) {
  const uint8_t paint = static_cast<uint8_t>(paint_value);
  const uint8_t area = si_area ? 128 : 0;
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t m = mask[i];
    for (int b = 0; b < kBytes; ++b) {
      uint8_t& v = frame[kStep * i + kOff + b];
      v = Painted(m, v, paint, area);
    }
  }
}

struct Painter {
  int step;
  int brightness;
  bool rgb;
  PaintMaskFn loop;
};

constexpr Painter kPainters[] = {
    {1, 0, false, PaintPixels<1, 0, 1>}, {2, 0, false, PaintPixels<2, 0, 1>},
    {2, 1, false, PaintPixels<2, 1, 1>}, {3, 0, true, PaintPixels<3, 0, 3>},
    {4, 0, true, PaintPixels<4, 0, 3>},
};

void DrawBox(uint8_t* frame, const PixelFormatInfo& format, int cx, const TrackedObject& o,
             uint8_t value) {
  for (int x = o.x0; x <= o.x1; ++x) {
    PutBrightness(format, frame, static_cast<size_t>(o.y0) * cx + x, value);
    PutBrightness(format, frame, static_cast<size_t>(o.y1) * cx + x, value);
  }
  for (int y = o.y0; y <= o.y1; ++y) {
    PutBrightness(format, frame, static_cast<size_t>(y) * cx + o.x0, value);
    PutBrightness(format, frame, static_cast<size_t>(y) * cx + o.x1, value);
  }
}

}  // namespace

PaintMaskFn PaintMaskFor(const PixelFormatInfo& format) {
  if (format.planes == PlaneKind::None) return nullptr;
  for (const Painter& p : kPainters) {
    if (p.step == format.step && p.brightness == format.brightness && p.rgb == format.rgb)
      return p.loop;
  }
  return nullptr;
}

void DrawObjectBoxes(uint8_t* frame, const PixelFormatInfo& format, int cx,
                     const ObjectTracker& tracker) {
  constexpr int kMaxBoxes = 11;
  int slow = 0;
  int other = 0;
  for (int number = 1; number <= tracker.highest(); ++number) {
    const TrackedObject& o = tracker.object(number);
    if (o.state == kObjectSlow && slow < kMaxBoxes) {
      DrawBox(frame, format, cx, o, 255);
      ++slow;
    } else if (o.state != kObjectFree && o.state != kObjectSlow && other < kMaxBoxes) {
      DrawBox(frame, format, cx, o, 128);
      ++other;
    }
  }
}

}  // namespace orvanta::detect
