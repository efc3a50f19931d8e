#include "app/font_size.h"

#include <algorithm>

#include "app/bitmap_fonts.h"

namespace orvanta {

void ApplyFontSize(int si_fontsize, DetectionBlock& ib) {
  // The station supplies the glyph table with its metrics: without it the filter has no
  // font and the clips carry no time.
  const FontChoice font = FontForSize(si_fontsize);
  ib.font = font.table;
  ib.si_fontx = font.fontx;
  ib.si_fonty = font.fonty;
  ib.font_scale = font.scale;
  // A picture lower than the text keeps the position at 0, never below (the settings
  // would refuse it at the next start).
  ib.si_y0 = std::max(0, std::min(ib.si_y0, ib.cy - (font.fonty * font.scale + 2)));
}

}  // namespace orvanta
