#include "app/font_size.h"

#include <algorithm>

namespace orvanta {

void ApplyFontSize(int si_fontsize, DetectionBlock& ib) {
  struct Glyph {
    int x, y, scale;
  };
  static constexpr Glyph kSizes[] = {{5, 9, 1}, {8, 15, 1}, {14, 24, 1}, {14, 24, 2}};
  const Glyph& g = kSizes[std::clamp(si_fontsize, 0, 3)];
  ib.si_fontx = g.x;
  ib.si_fonty = g.y;
  ib.font_scale = g.scale;
  // A picture lower than the text keeps the position at 0, never below (the settings
  // would refuse it at the next start).
  ib.si_y0 = std::max(0, std::min(ib.si_y0, ib.cy - (g.y * g.scale + 2)));
}

}  // namespace orvanta
