// The recording branch's own NV12 -> YUY2 conversion (the AVI writer takes no NV12).
#pragma once

#include <cstdint>

namespace orvanta::media {

// Two luma rows share one chroma row; even columns take U, odd columns V of the pair at
// the column rounded down to even. Strides are in bytes.
void Nv12ToYuy2(const uint8_t* y, int y_stride, const uint8_t* uv, int uv_stride, uint8_t* out,
                int out_stride, int width, int height);

}  // namespace orvanta::media
