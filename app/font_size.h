// The superimposed text's glyph size and scale follow "AP.si_fontsize".
#pragma once

#include "detectfilter/zavipf.h"

namespace orvanta {

// Sets the glyph table (font), si_fontx, si_fonty and font_scale from the size (0 "s",
// 1 "m", 2 "l", 3 "x"; any other the small font, doubled above 3) and lowers si_y0 so the
// text stays inside the frame. Called when the size or the text position
// changes on the input page and each time detection starts.
void ApplyFontSize(int si_fontsize, DetectionBlock& ib);

}  // namespace orvanta
