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

void PaintMask(uint8_t* frame, int type_index, const uint8_t* mask, size_t pixels, int paint_value,
               bool si_area) {
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t m = mask[i];
    if (m == 0) continue;
    if ((m & 3) == 0) {
      if (paint_value != 0)
        WriteBrightness(frame, type_index, i, static_cast<uint8_t>(paint_value));
    } else if (si_area) {
      WriteBrightness(frame, type_index, i, 128);
    }
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
