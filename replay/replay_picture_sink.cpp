#include "replay/replay_picture_sink.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

namespace orvanta::replay {
namespace {

using FrameCallback = std::function<void(const media::PreviewFrame&)>;

void Deliver(GstSample* sample, const FrameCallback& on_frame) {
  if (!sample) return;
  GstVideoInfo info;
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  GstCaps* caps = gst_sample_get_caps(sample);
  GstVideoFrame frame;
  if (buffer && caps && gst_video_info_from_caps(&info, caps) &&
      gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
    media::PreviewFrame view;
    view.width = GST_VIDEO_FRAME_WIDTH(&frame);
    view.height = GST_VIDEO_FRAME_HEIGHT(&frame);
    view.stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    view.pixels = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    on_frame(view);
    gst_video_frame_unmap(&frame);
  }
  gst_sample_unref(sample);
}

// The frame a paused clip stands on.
GstFlowReturn OnPreroll(GstAppSink* sink, gpointer data) {
  Deliver(gst_app_sink_pull_preroll(sink), *static_cast<FrameCallback*>(data));
  return GST_FLOW_OK;
}

// The frames of a running clip, each at its time.
GstFlowReturn OnSample(GstAppSink* sink, gpointer data) {
  Deliver(gst_app_sink_pull_sample(sink), *static_cast<FrameCallback*>(data));
  return GST_FLOW_OK;
}

}  // namespace

GstElement* MakeReplayPictureSink(FrameCallback on_frame) {
  GstElement* bin = gst_bin_new(nullptr);
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  if (!convert || !sink) {
    for (GstElement* e : {convert, sink})
      if (e) gst_object_unref(gst_object_ref_sink(e));
    gst_object_unref(gst_object_ref_sink(bin));
    return nullptr;
  }
  GstCaps* caps = gst_caps_from_string("video/x-raw,format=BGRx");
  // Synchronised and prerolling like a renderer: the graph's pause waits for the picture.
  g_object_set(sink, "caps", caps, "sync", TRUE, "max-buffers", 1u, "enable-last-sample", FALSE,
               nullptr);
  gst_caps_unref(caps);
  GstAppSinkCallbacks callbacks{};
  callbacks.new_preroll = OnPreroll;
  callbacks.new_sample = OnSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new FrameCallback(std::move(on_frame)),
                             [](gpointer data) { delete static_cast<FrameCallback*>(data); });
  gst_bin_add_many(GST_BIN(bin), convert, sink, nullptr);
  gst_element_link(convert, sink);
  GstPad* pad = gst_element_get_static_pad(convert, "sink");
  gst_element_add_pad(bin, gst_ghost_pad_new("sink", pad));
  gst_object_unref(pad);
  return bin;
}

}  // namespace orvanta::replay
