// The replay page's picture: a sink that waits for its frame like a renderer, so that a paused,
// stepped or sought clip shows the frame it stands on, and hands every frame it shows to the
// page as 32-bit BGRx pixels.
#pragma once

#include <gst/gst.h>

#include <functional>

#include "capture/media/preview_sink.h"

namespace orvanta::replay {

// A floating bin with one video sink pad; null when an element is missing. `on_frame` runs
// on the graph's streaming thread.
GstElement* MakeReplayPictureSink(std::function<void(const media::PreviewFrame&)> on_frame);

}  // namespace orvanta::replay
