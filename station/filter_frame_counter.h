// Counts the frames that reach the detection filter's input, for the service watchdog.
// One relaxed increment per frame, from the streaming thread.
#pragma once

#include <atomic>
#include <cstdint>

namespace orvanta::capture {
class LiveGraph;
}

namespace orvanta::station {

// Adds the count to a graph just built (its filter's "Input" pad); the counter must outlive
// the graph.
void CountFilterFrames(capture::LiveGraph& graph, std::atomic<uint64_t>& frames);

}  // namespace orvanta::station
