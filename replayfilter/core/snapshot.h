// The replay snapshot: the frame on show as a 24-bit BGR bitmap, bottom-up (its first row is
// the bottom of the picture) and without row padding, width x height x 3 bytes. The replay
// page saves it as the clip's snapshot.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvanta::replayfilter {

// A top-down BGR picture (rows `stride` bytes apart).
void SnapshotFromBgr(const uint8_t* picture, ptrdiff_t stride, int width, int height,
                     uint8_t* snapshot);

// A top-down NV12 picture: the brightness plane, then the plane of U,V pairs for 2x2 blocks.
void SnapshotFromNv12(const uint8_t* y_plane, ptrdiff_t y_stride, const uint8_t* uv_plane,
                      ptrdiff_t uv_stride, int width, int height, uint8_t* snapshot);

}  // namespace orvanta::replayfilter
