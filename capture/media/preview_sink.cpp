#include "capture/media/preview_sink.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>

namespace orvanta::media {
namespace {

struct Preview {
  PreviewTarget target;
  GstElement* size_filter = nullptr;  // owned by the bin
  PreviewSize asked;
  bool yielding = false;
};

// The preview's thread gives way to detection when both want the processor.
void YieldToDetection(Preview& preview) {
  if (preview.yielding) return;
  preview.yielding = true;
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 10);
}

// Asks the scaler for the window's size when it has changed; the frames after the
// renegotiation come at that size.
void FollowWantedSize(Preview& preview) {
  if (!preview.target.wanted_size) return;
  const PreviewSize want = preview.target.wanted_size();
  if (want.width == preview.asked.width && want.height == preview.asked.height) return;
  preview.asked = want;
  GstCaps* caps = gst_caps_from_string("video/x-raw,format=BGRx,pixel-aspect-ratio=1/1");
  if (want.width > 0 && want.height > 0)
    gst_caps_set_simple(caps, "width", G_TYPE_INT, want.width, "height", G_TYPE_INT, want.height,
                        nullptr);
  g_object_set(preview.size_filter, "caps", caps, nullptr);
  gst_caps_unref(caps);
}

GstFlowReturn OnSample(GstAppSink* sink, gpointer data) {
  auto& preview = *static_cast<Preview*>(data);
  YieldToDetection(preview);
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
    if (preview.target.on_frame) preview.target.on_frame(view);
    gst_video_frame_unmap(&frame);
  }
  gst_sample_unref(sample);
  FollowWantedSize(preview);
  return GST_FLOW_OK;
}

}  // namespace

GstElement* MakePreviewSink(bool realtime, PreviewTarget target) {
  GstElement* bin = gst_bin_new(nullptr);
  GstElement* pace = gst_element_factory_make("clocksync", nullptr);
  GstElement* queue = gst_element_factory_make("queue", "preview");
  GstElement* scale = gst_element_factory_make("videoscale", nullptr);
  GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
  GstElement* size = gst_element_factory_make("capsfilter", nullptr);
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  if (!pace || !queue || !scale || !convert || !size || !sink) {
    for (GstElement* e : {pace, queue, scale, convert, size, sink})
      if (e) gst_object_unref(gst_object_ref_sink(e));
    gst_object_unref(gst_object_ref_sink(bin));
    return nullptr;
  }
  g_object_set(pace, "sync", realtime ? TRUE : FALSE, nullptr);
  // Only the newest frame waits for the converter; older ones are dropped.
  g_object_set(queue, "leaky", 2, "max-size-buffers", 1u, "max-size-bytes", 0u, "max-size-time",
               static_cast<guint64>(0), nullptr);
  // Scaling first: the conversion then works on the picture the window shows.
  // Nearest neighbour and no dithering: a preview picture, not a product.
  g_object_set(scale, "add-borders", FALSE, "method", 0, nullptr);
  g_object_set(convert, "dither", 0, nullptr);
  GstCaps* caps = gst_caps_from_string("video/x-raw,format=BGRx");
  g_object_set(size, "caps", caps, nullptr);
  g_object_set(sink, "caps", caps, "sync", FALSE, "async", FALSE, "drop", TRUE, "max-buffers", 1u,
               "enable-last-sample", FALSE, nullptr);
  gst_caps_unref(caps);
  auto* preview = new Preview{std::move(target), size, {}};
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = OnSample;
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, preview,
                             [](gpointer data) { delete static_cast<Preview*>(data); });
  gst_bin_add_many(GST_BIN(bin), pace, queue, scale, convert, size, sink, nullptr);
  gst_element_link_many(pace, queue, scale, convert, size, sink, nullptr);
  GstPad* pad = gst_element_get_static_pad(pace, "sink");
  gst_element_add_pad(bin, gst_ghost_pad_new("sink", pad));
  gst_object_unref(pad);
  return bin;
}

}  // namespace orvanta::media
