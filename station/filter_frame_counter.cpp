#include "station/filter_frame_counter.h"

#include "capture/live_graph.h"
#include "capture/media/gst_ref.h"

namespace orvanta::station {

void CountFilterFrames(capture::LiveGraph& graph, std::atomic<uint64_t>& frames) {
  GstElement* filter = graph.detection_filter();
  if (filter == nullptr) return;
  media::PadRef input(gst_element_get_static_pad(filter, "Input"));
  if (!input) return;
  gst_pad_add_probe(
      input, GST_PAD_PROBE_TYPE_BUFFER,
      [](GstPad*, GstPadProbeInfo*, gpointer counter) {
        static_cast<std::atomic<uint64_t>*>(counter)->fetch_add(1, std::memory_order_relaxed);
        return GST_PAD_PROBE_OK;
      },
      &frames, nullptr);
}

}  // namespace orvanta::station
