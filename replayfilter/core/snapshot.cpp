#include "replayfilter/core/snapshot.h"

#include <cstring>

#include "detectfilter/pixel_format.h"

namespace orvanta::replayfilter {

void SnapshotFromBgr(const uint8_t* picture, ptrdiff_t stride, int width, int height,
                     uint8_t* snapshot) {
  const size_t row_bytes = static_cast<size_t>(width) * 3;
  for (int row = 0; row < height; ++row)
    std::memcpy(snapshot + row_bytes * (height - 1 - row), picture + stride * row, row_bytes);
}

void SnapshotFromNv12(const uint8_t* y_plane, ptrdiff_t y_stride, const uint8_t* uv_plane,
                      ptrdiff_t uv_stride, int width, int height, uint8_t* snapshot) {
  const size_t row_bytes = static_cast<size_t>(width) * 3;
  for (int row = 0; row < height; ++row) {
    const uint8_t* y = y_plane + y_stride * row;
    const uint8_t* uv = uv_plane + uv_stride * (row / 2);
    uint8_t* out = snapshot + row_bytes * (height - 1 - row);
    for (int x = 0; x < width; ++x) {
      const Bgr p = YuvToBgr(y[x], uv[2 * (x / 2)], uv[2 * (x / 2) + 1]);
      out[3 * x] = p.b;
      out[3 * x + 1] = p.g;
      out[3 * x + 2] = p.r;
    }
  }
}

}  // namespace orvanta::replayfilter
