// The window's preview renderer: a sink that hands each shown frame to the window as
// 32-bit BGRx pixels at the size the window shows it. It keeps the stream's pace like a
// synchronised sink, but scales and converts on a thread of its own behind a queue that
// keeps only the newest frame, so a window that cannot keep up loses preview frames and
// never holds up detection.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <functional>

namespace orvanta::media {

struct PreviewFrame {
  int width = 0;
  int height = 0;
  int stride = 0;                   // bytes per row
  const uint8_t* pixels = nullptr;  // B, G, R, x; valid during the call only
};

struct PreviewSize {
  int width = 0;  // 0: the stream's own size
  int height = 0;
};

struct PreviewTarget {
  // Each frame, on the preview's own streaming thread.
  std::function<void(const PreviewFrame& frame)> on_frame;
  // The size the window wants the next frames in; asked after each frame (any thread).
  std::function<PreviewSize()> wanted_size;
};

// A floating bin with one video sink pad. `realtime` paces the stream at its clock (a
// station); false lets it run as fast as it can. Null when an element is missing.
GstElement* MakePreviewSink(bool realtime, PreviewTarget target);

}  // namespace orvanta::media
