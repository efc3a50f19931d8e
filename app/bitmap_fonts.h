// The three fonts the station offers for the superimposed text line, each a glyph table in
// the form the detection filter reads through the block's `font` field.
#pragma once

#include <cstdint>

#include "detectfilter/core/glyph_table.h"

namespace orvanta {

struct FontChoice {
  const uint8_t* table;  // lives for the whole process
  int fontx;
  int fonty;
  int scale;  // 1 or 2
};

// The host's "AP.si_fontsize": 0 small (5 x 9), 1 medium (8 x 15), 2 large (14 x 24),
// 3 large doubled; any other value the small font, doubled above 3.
FontChoice FontForSize(int si_fontsize);

}  // namespace orvanta
