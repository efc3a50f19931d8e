// The main window's layout rules, without widgets: the sheets' places, the "1:N" fitting of
// the window to the video, the video area's fitting, and the window's saved show state.
#pragma once

namespace orvanta::ui {

inline constexpr int kMinWindowWidth = 790;

struct SheetLayout {
  int left_width = 320;  // the input page's right edge + 4
  int right_x = 324;     // that right edge + 8
  int min_height = 240;  // 480 once the input page exists
  // The input page sets the values when it is created.
  void FromInputPage(int input_page_right) {
    left_width = input_page_right + 4;
    right_x = input_page_right + 8;
    min_height = 480;
  }
};

struct PixelSize {
  int width = 0;
  int height = 0;
  bool operator==(const PixelSize&) const = default;
};

// The window size that shows a cx x cy video at one, two or half its pixel size, with the
// video area's top-left corner at (x0, y0) from the window's top-left corner.
PixelSize FitWindowToVideo(int cx, int cy, int x0, int y0, int window_width, int min_height);

// The largest size of cx : cy proportions inside `room` (at least 1 x 1).
PixelSize FitToRoom(int cx, int cy, PixelSize room);

struct PixelRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PixelRect&) const = default;
};

// A saved window rectangle brought onto the screen it opens on: no larger than the screen
// (never below the minimum size) and moved so that it lies on it. A rectangle that fits
// stays as it is.
PixelRect PlaceOnScreen(PixelRect window, PixelRect screen, PixelSize minimum);

// The window's show state as the settings keep it.
enum ShowCmd : int { kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3 };

}  // namespace orvanta::ui
