#include "detectfilter/gst/frame_layout.h"

#include <algorithm>
#include <cstring>

namespace orvanta::detect::gst {

PixelFormat PixelFormatOfVideo(GstVideoFormat format) {
  const char* name = gst_video_format_to_string(format);
  return name != nullptr ? PixelFormatOfRawCaps(name) : PixelFormat::Other;
}

FrameLayout::FrameLayout(const GstVideoInfo& info) {
  const PixelFormat format = PixelFormatOfVideo(GST_VIDEO_INFO_FORMAT(&info));
  const int w = GST_VIDEO_INFO_WIDTH(&info);
  const int h = GST_VIDEO_INFO_HEIGHT(&info);
  // A palette (RGB8P) is not part of the picture.
  planes_ = PlanesOf(format, w, h);
  packed_size_ = static_cast<size_t>(FrameBytes(format, int64_t{w} * h));
  in_place_ = true;
  for (int p = 0; p < planes_.count; ++p) {
    const Plane& pl = planes_.plane[p];
    if (static_cast<size_t>(GST_VIDEO_INFO_PLANE_OFFSET(&info, p)) != pl.offset ||
        (pl.rows > 1 && static_cast<size_t>(GST_VIDEO_INFO_PLANE_STRIDE(&info, p)) != pl.row_bytes))
      in_place_ = false;
  }
}

void FrameLayout::Pack(const GstVideoFrame& frame, uint8_t* packed) const {
  for (int p = 0; p < planes_.count; ++p) {
    const Plane& pl = planes_.plane[p];
    const auto* src = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
    const size_t stride = static_cast<size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p));
    const size_t n = std::min(pl.row_bytes, stride);
    for (int r = 0; r < pl.rows; ++r)
      std::memcpy(packed + pl.offset + r * pl.row_bytes, src + r * stride, n);
  }
}

void FrameLayout::Unpack(const uint8_t* packed, size_t bytes, GstVideoFrame& frame,
                         const uint8_t* palette, size_t palette_bytes) const {
  for (int p = 0; p < planes_.count; ++p) {
    const Plane& pl = planes_.plane[p];
    auto* dst = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
    const size_t stride = static_cast<size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p));
    const size_t n = std::min(pl.row_bytes, stride);
    for (int r = 0; r < pl.rows; ++r) {
      const size_t from = pl.offset + r * pl.row_bytes;
      if (from >= bytes) return;  // a short frame: the rest stays as the buffer holds it
      std::memcpy(dst + r * stride, packed + from, std::min(n, bytes - from));
    }
  }
  if (palette && static_cast<int>(GST_VIDEO_FRAME_N_PLANES(&frame)) > planes_.count) {
    auto* dst = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, planes_.count));
    std::memcpy(dst, palette, std::min<size_t>(palette_bytes, 256 * 4));
  }
}

}  // namespace orvanta::detect::gst
