#include "capture/media/preview_sink.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <memory>

namespace orvanta::media {
namespace {

GstFlowReturn OnSample(GstAppSink* sink, gpointer data) {
  auto* callback = static_cast<PreviewFrameCallback*>(data);
  GstSample* sample = gst_app_sink_pull_sample(sink);
  if (!sample) return GST_FLOW_OK;
  GstVideoInfo info;
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  GstCaps* caps = gst_sample_get_caps(sample);
  GstVideoFrame frame;
  if (buffer && caps && gst_video_info_from_caps(&info, caps) &&
      gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
    PreviewFrame view;
    view.width = GST_VIDEO_FRAME_WIDTH(&frame);
    view.height = GST_VIDEO_FRAME_HEIGHT(&frame);
    view.stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    view.pixels = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    (*callback)(view);
    gst_video_frame_unmap(&frame);
  }
  gst_sample_unref(sample);
  return GST_FLOW_OK;
}

}  // namespace

GstElement* MakePreviewSink(bool realtime, PreviewFrameCallback on_frame) {
  GstElement* bin = gst_bin_new(nullptr);
  GstElement* pace = gst_element_factory_make("clocksync", nullptr);
  GstElement* queue = gst_element_factory_make("queue", nullptr);
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  if (!pace || !queue || !convert || !sink) {
    for (GstElement* e : {pace, queue, convert, sink})
      if (e) gst_object_unref(gst_object_ref_sink(e));
    gst_object_unref(gst_object_ref_sink(bin));
    return nullptr;
  }
  g_object_set(pace, "sync", realtime ? TRUE : FALSE, nullptr);
  // Only the newest frame waits for the converter; older ones are dropped.
  g_object_set(queue, "leaky", 2, "max-size-buffers", 1u, "max-size-bytes", 0u, "max-size-time",
               static_cast<guint64>(0), nullptr);
  GstCaps* caps = gst_caps_from_string("video/x-raw,format=BGRx");
  g_object_set(sink, "caps", caps, "sync", FALSE, "async", FALSE, "drop", TRUE, "max-buffers", 1u,
               "enable-last-sample", FALSE, nullptr);
  gst_caps_unref(caps);
  auto* callback = new PreviewFrameCallback(std::move(on_frame));
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = OnSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, callback, [](gpointer data) {
    delete static_cast<PreviewFrameCallback*>(data);
  });
  gst_bin_add_many(GST_BIN(bin), pace, queue, convert, sink, nullptr);
  gst_element_link_many(pace, queue, convert, sink, nullptr);
  GstPad* target = gst_element_get_static_pad(pace, "sink");
  gst_element_add_pad(bin, gst_ghost_pad_new("sink", target));
  gst_object_unref(target);
  return bin;
}

}  // namespace orvanta::media
