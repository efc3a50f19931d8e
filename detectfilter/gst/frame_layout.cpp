#include "detectfilter/gst/frame_layout.h"

#include <algorithm>
#include <cstring>

namespace orvanta::detect::gst {

FrameLayout::FrameLayout(const GstVideoInfo& info) {
  const size_t w = static_cast<size_t>(GST_VIDEO_INFO_WIDTH(&info));
  const int h = GST_VIDEO_INFO_HEIGHT(&info);
  const size_t pixels = w * static_cast<size_t>(h);
  auto plane = [&](size_t offset, size_t row_bytes, int rows) {
    planes_[n_planes_++] = Plane{offset, row_bytes, rows};
  };
  switch (GST_VIDEO_INFO_FORMAT(&info)) {
    case GST_VIDEO_FORMAT_I420:
    case GST_VIDEO_FORMAT_YV12:
      // Chroma planes of (w / 2) x (h / 2), the second one a quarter frame after the first.
      plane(0, w, h);
      plane(pixels, w / 2, h / 2);
      plane(pixels + pixels / 4, w / 2, h / 2);
      packed_size_ = pixels * 3 / 2;
      break;
    case GST_VIDEO_FORMAT_NV12:
      plane(0, w, h);
      plane(pixels, w, h / 2);
      packed_size_ = pixels * 3 / 2;
      break;
    case GST_VIDEO_FORMAT_YUY2:
    case GST_VIDEO_FORMAT_UYVY:
      plane(0, w * 2, h);
      packed_size_ = pixels * 2;
      break;
    case GST_VIDEO_FORMAT_BGR:
      plane(0, w * 3, h);
      packed_size_ = pixels * 3;
      break;
    case GST_VIDEO_FORMAT_BGRx:
      plane(0, w * 4, h);
      packed_size_ = pixels * 4;
      break;
    default:  // GRAY8, RGB8P (its palette is not part of the picture)
      plane(0, w, h);
      packed_size_ = pixels;
      break;
  }
  in_place_ = true;
  for (int p = 0; p < n_planes_; ++p) {
    const Plane& pl = planes_[p];
    if (static_cast<size_t>(GST_VIDEO_INFO_PLANE_OFFSET(&info, p)) != pl.offset ||
        (pl.rows > 1 && static_cast<size_t>(GST_VIDEO_INFO_PLANE_STRIDE(&info, p)) != pl.row_bytes))
      in_place_ = false;
  }
}

void FrameLayout::Pack(const GstVideoFrame& frame, uint8_t* packed) const {
  for (int p = 0; p < n_planes_; ++p) {
    const Plane& pl = planes_[p];
    const auto* src = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
    const size_t stride = static_cast<size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p));
    const size_t n = std::min(pl.row_bytes, stride);
    for (int r = 0; r < pl.rows; ++r)
      std::memcpy(packed + pl.offset + r * pl.row_bytes, src + r * stride, n);
  }
}

void FrameLayout::Unpack(const uint8_t* packed, size_t bytes, GstVideoFrame& frame,
                         const uint8_t* palette, size_t palette_bytes) const {
  for (int p = 0; p < n_planes_; ++p) {
    const Plane& pl = planes_[p];
    auto* dst = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
    const size_t stride = static_cast<size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p));
    const size_t n = std::min(pl.row_bytes, stride);
    for (int r = 0; r < pl.rows; ++r) {
      const size_t from = pl.offset + r * pl.row_bytes;
      if (from >= bytes) return;  // a short frame: the rest stays as the buffer holds it
      std::memcpy(dst + r * stride, packed + from, std::min(n, bytes - from));
    }
  }
  if (palette && static_cast<int>(GST_VIDEO_FRAME_N_PLANES(&frame)) > n_planes_) {
    auto* dst = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, n_planes_));
    std::memcpy(dst, palette, std::min<size_t>(palette_bytes, 256 * 4));
  }
}

}  // namespace orvanta::detect::gst
