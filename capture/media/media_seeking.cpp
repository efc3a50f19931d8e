#include "capture/media/media_seeking.h"

namespace orvanta::media {
namespace {

Result Settle(Graph& graph, int timeout_ms) {
  GstState state = GST_STATE_NULL;
  const GstStateChangeReturn r = gst_element_get_state(
      graph.pipeline(), &state, nullptr, static_cast<GstClockTime>(timeout_ms) * GST_MSECOND);
  if (r == GST_STATE_CHANGE_FAILURE) return graph.last_error() != kOk ? graph.last_error() : kFail;
  if (r == GST_STATE_CHANGE_ASYNC) return kTimeout;
  return kOk;
}

}  // namespace

Result Pause(Graph& graph, int timeout_ms) {
  if (gst_element_set_state(graph.pipeline(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
    return graph.last_error() != kOk ? graph.last_error() : kFail;
  return Settle(graph, timeout_ms);
}

Result SeekTo(Graph& graph, int64_t position, int timeout_ms) {
  if (position < 0) return kInvalidArg;
  const bool sent = gst_element_seek_simple(
      graph.pipeline(), GST_FORMAT_TIME,
      static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
      static_cast<gint64>(position) * 100);
  if (!sent) return kFail;
  return Settle(graph, timeout_ms);
}

Result StepFrames(Graph& graph, int frames) {
  if (frames <= 0) return kInvalidArg;
  const bool sent = gst_element_send_event(
      graph.pipeline(),
      gst_event_new_step(GST_FORMAT_BUFFERS, static_cast<guint64>(frames), 1.0, TRUE, FALSE));
  return sent ? kOk : kFail;
}

Result WaitPaused(Graph& graph, int timeout_ms) {
  return Settle(graph, timeout_ms);
}

bool GetPosition(Graph& graph, int64_t* position) {
  gint64 ns = 0;
  if (!gst_element_query_position(graph.pipeline(), GST_FORMAT_TIME, &ns) || ns < 0) return false;
  *position = ns / 100;
  return true;
}

bool GetDuration(Graph& graph, int64_t* duration) {
  gint64 ns = 0;
  if (!gst_element_query_duration(graph.pipeline(), GST_FORMAT_TIME, &ns) || ns < 0) return false;
  *duration = ns / 100;
  return true;
}

}  // namespace orvanta::media
