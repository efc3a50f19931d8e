#include "ui/window_layout.h"

#include <algorithm>
#include <cstdint>

namespace orvanta::ui {

PixelSize FitWindowToVideo(int cx, int cy, int x0, int y0, int window_width, int min_height) {
  PixelSize size;
  if (cy <= 240) {
    size = {x0 + 2 * (cx + 6), y0 + 2 * (cy + 6)};
  } else if (cx >= 1920 && window_width <= 1320) {
    size = {x0 + 12 + cx / 2, y0 + 12 + cy / 2};
  } else {
    size = {x0 + 12 + cx, y0 + 12 + cy};
  }
  size.width = std::max(size.width, kMinWindowWidth);
  size.height = std::max(size.height, min_height);
  return size;
}

PixelSize FitToRoom(int cx, int cy, PixelSize room) {
  if (cx <= 0 || cy <= 0 || room.width <= 0 || room.height <= 0) return {1, 1};
  // Width-limited unless that makes the picture too tall.
  int64_t w = room.width;
  int64_t h = w * cy / cx;
  if (h > room.height) {
    h = room.height;
    w = h * cx / cy;
  }
  return {std::max<int>(1, static_cast<int>(w)), std::max<int>(1, static_cast<int>(h))};
}

PixelRect PlaceOnScreen(PixelRect window, PixelRect screen, PixelSize minimum) {
  PixelRect r = window;
  r.width = std::max(std::min(r.width, screen.width), minimum.width);
  r.height = std::max(std::min(r.height, screen.height), minimum.height);
  r.left = std::max(std::min(r.left, screen.left + screen.width - r.width), screen.left);
  r.top = std::max(std::min(r.top, screen.top + screen.height - r.height), screen.top);
  return r;
}

}  // namespace orvanta::ui
