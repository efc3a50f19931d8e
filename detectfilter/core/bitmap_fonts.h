// The three fonts the station offers for the superimposed text line. Each is a glyph table
// in the form the detection filter reads through the block's `font` field: 96 glyphs for the
// codes 127 down to 32, each `fonty` rows of `fontx` bytes with the bottom row first; byte 0
// is transparent, 1 is the dark outline, any other value (255) the glyph body.
#pragma once

#include <cstdint>

namespace orvanta::detect {

struct FontChoice {
  const uint8_t* table;  // lives for the whole process
  int fontx;
  int fonty;
  int scale;  // 1 or 2
};

inline constexpr int kFontGlyphs = 96;  // codes 32..127

// The host's "AP.si_fontsize": 0 small (5 x 9), 1 medium (8 x 15), 2 large (14 x 24),
// 3 large doubled; any other value the small font, doubled above 3.
FontChoice FontForSize(int si_fontsize);

// Offset of the glyph of `code` (32..127) in a table of fontx x fonty cells.
inline int GlyphOffset(int code, int fontx, int fonty) {
  return (127 - code) * fontx * fonty;
}

}  // namespace orvanta::detect
