// The window's preview renderer: a sink that hands each shown frame to the window as
// 32-bit BGRx pixels. It keeps the stream's pace like a synchronised sink, but converts
// on a thread of its own behind a queue that keeps only the newest frame, so a window
// that cannot keep up loses preview frames and never holds up detection.
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

using PreviewFrameCallback = std::function<void(const PreviewFrame& frame)>;

// A floating bin with one video sink pad. `realtime` paces the stream at its clock (a
// station); false lets it run as fast as it can. The callback runs on the preview's own
// streaming thread. Null when an element is missing.
GstElement* MakePreviewSink(bool realtime, PreviewFrameCallback on_frame);

}  // namespace orvanta::media
