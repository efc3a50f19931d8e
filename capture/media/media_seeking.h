// Pausing, positions and seeking of a media graph playing a file: what the replay engine asks
// of the graph (run and stop are the graph's own). Positions are in 100-ns units.
#pragma once

#include <cstdint>

#include "capture/media/media_graph.h"

namespace orvanta::media {

// To paused; waits until the picture holds a frame (or the file has ended), at most
// `timeout_ms`. kTimeout when it did not settle in time.
Result Pause(Graph& graph, int timeout_ms = 10000);
// A flushing seek to exactly `position`; in a paused graph it waits until the frame at that
// position is held, at most `timeout_ms`.
Result SeekTo(Graph& graph, int64_t position, int timeout_ms = 10000);
// Asks the picture's sinks of a paused graph to move on by `frames` frames without a seek:
// the frames already on their way are used, nothing is decoded again. Returns at once.
Result StepFrames(Graph& graph, int frames);
// Waits until a paused graph holds its frame again, at most `timeout_ms`.
Result WaitPaused(Graph& graph, int timeout_ms = 10000);
// The current position and the duration; false when the graph cannot tell.
bool GetPosition(Graph& graph, int64_t* position);
bool GetDuration(Graph& graph, int64_t* duration);

}  // namespace orvanta::media
