// The detection core works on tightly packed frames (rows of exactly `width` samples, the
// planes one after the other), as the host's ring buffers hold them. GStreamer's raw video
// pads rows to 4 bytes and may add a palette; this converts between the two layouts, and
// says when they are the same so that frames can be used in place.
#pragma once

#include <gst/video/video.h>

#include <cstddef>
#include <cstdint>

#include "detectfilter/pixel_format.h"

namespace orvanta::detect::gst {

// The format of GStreamer's raw video format; Other for one the table does not name.
PixelFormat PixelFormatOfVideo(GstVideoFormat format);

class FrameLayout {
 public:
  FrameLayout() = default;
  explicit FrameLayout(const GstVideoInfo& info);

  // Bytes of one packed frame.
  size_t packed_size() const { return packed_size_; }
  // The caps layout's first `packed_size()` bytes are the packed frame itself.
  bool in_place() const { return in_place_; }

  // Copies the picture of a mapped frame into `packed` (packed_size() bytes).
  void Pack(const GstVideoFrame& frame, uint8_t* packed) const;
  // Copies `bytes` of a packed frame into a mapped frame of the caps layout. A format with
  // a palette gets `palette` (its size in bytes, or none when null).
  void Unpack(const uint8_t* packed, size_t bytes, GstVideoFrame& frame,
              const uint8_t* palette = nullptr, size_t palette_bytes = 0) const;

 private:
  Planes planes_;
  size_t packed_size_ = 0;
  bool in_place_ = false;
};

}  // namespace orvanta::detect::gst
