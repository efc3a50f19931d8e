// The field view of an interlaced picture: one field shown alone, the rows of the other field
// replaced by the average of their neighbours, so the two moments an interlaced camera
// caught in one frame can be looked at one after the other.
//
// Which rows are replaced is counted from the bottom of the picture (the first stored row
// of a bottom-up bitmap): with field 0, bottom-up rows 2, 4, ... up to height - 2; with
// field 1, bottom-up rows 3, 5, ... below height - 2 (none when height - 2 <= 3). The bottom
// row, and for field 1 the second row and the two top rows, keep their own values.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvanta::replayfilter {

// Whether picture row `row` (counted from the top, 0-based) is replaced for `field_odd`.
bool FieldViewReplaces(int height, int field_odd, int row);

// Applies the field view in place to a top-down picture of `height` rows of `row_bytes`
// bytes, `stride` bytes apart. Each replaced byte is (above + below) / 2, rounded down.
void ApplyFieldView(uint8_t* picture, ptrdiff_t stride, size_t row_bytes, int height,
                    int field_odd);

}  // namespace orvanta::replayfilter
