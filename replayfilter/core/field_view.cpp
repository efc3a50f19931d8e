#include "replayfilter/core/field_view.h"

namespace orvanta::replayfilter {

bool FieldViewReplaces(int height, int field_odd, int row) {
  const int up = height - 1 - row;  // the row counted from the bottom
  if (field_odd == 0) return up >= 2 && up <= height - 2 && up % 2 == 0;
  return height - 2 > 3 && up >= 3 && up < height - 2 && up % 2 == 1;
}

void ApplyFieldView(uint8_t* picture, ptrdiff_t stride, size_t row_bytes, int height,
                    int field_odd) {
  // Replaced rows are every other row and their neighbours are never replaced, so the
  // order of the work does not matter.
  for (int row = 1; row + 1 < height; ++row) {
    if (!FieldViewReplaces(height, field_odd, row)) continue;
    uint8_t* out = picture + stride * row;
    const uint8_t* above = out - stride;
    const uint8_t* below = out + stride;
    for (size_t i = 0; i < row_bytes; ++i)
      out[i] = static_cast<uint8_t>((above[i] + below[i]) >> 1);
  }
}

}  // namespace orvanta::replayfilter
