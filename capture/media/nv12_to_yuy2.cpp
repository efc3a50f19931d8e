#include "capture/media/nv12_to_yuy2.h"

namespace orvanta::media {

void Nv12ToYuy2(const uint8_t* y, int y_stride, const uint8_t* uv, int uv_stride, uint8_t* out,
                int out_stride, int width, int height) {
  const int pairs = width / 2;
  for (int i = 0; i < height; ++i) {
    const uint8_t* yrow = y + static_cast<int64_t>(i) * y_stride;
    const uint8_t* crow = uv + static_cast<int64_t>(i / 2) * uv_stride;
    uint8_t* orow = out + static_cast<int64_t>(i) * out_stride;
    for (int p = 0; p < pairs; ++p) {
      orow[4 * p] = yrow[2 * p];
      orow[4 * p + 1] = crow[2 * p];
      orow[4 * p + 2] = yrow[2 * p + 1];
      orow[4 * p + 3] = crow[2 * p + 1];
    }
    if (width & 1) {  // the lone last column: its pair is completed from itself
      const int j = width - 1;
      orow[2 * j] = yrow[j];
      orow[2 * j + 1] = crow[j];
      if (out_stride >= 2 * j + 4) {
        orow[2 * j + 2] = yrow[j];
        orow[2 * j + 3] = crow[j + 1];  // NV12 chroma rows hold whole pairs
      }
    }
  }
}

}  // namespace orvanta::media
