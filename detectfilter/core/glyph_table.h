// The glyph table the station hands the filter through the block's `font` field: 96 glyphs
// for the codes 127 down to 32, each `fonty` rows of `fontx` bytes with the bottom row
// first; byte 0 is transparent, 1 is the dark outline, any other value (255) the glyph body.
#pragma once

namespace orvanta::detect {

inline constexpr int kFontGlyphs = 96;  // codes 32..127

// Offset of the glyph of `code` (32..127) in a table of fontx x fonty cells.
inline int GlyphOffset(int code, int fontx, int fonty) {
  return (127 - code) * fontx * fonty;
}

}  // namespace orvanta::detect
