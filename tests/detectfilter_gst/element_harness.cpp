#include "tests/detectfilter_gst/element_harness.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <cstdlib>

namespace orvanta::detect::testing {
namespace {

void LoadPluginOnce() {
  static const bool loaded = [] {
    gst_init(nullptr, nullptr);
    GError* error = nullptr;
    GstPlugin* plugin = gst_plugin_load_file(ZAVIPF_PLUGIN_FILE, &error);
    if (!plugin) {
      g_printerr("cannot load %s: %s\n", ZAVIPF_PLUGIN_FILE, error ? error->message : "?");
      std::abort();
    }
    gst_object_unref(plugin);
    return true;
  }();
  (void)loaded;
}

struct SinkTarget {
  ElementHarness* harness;
  std::vector<Received>* store;
};

}  // namespace

ElementHarness::ElementHarness(const std::string& video_caps, const std::string& audio_caps) {
  LoadPluginOnce();
  pipeline_ = gst_pipeline_new(nullptr);
  filter_ = gst_element_factory_make("orvantadetect", "ZavFilter");
  video_src_ = gst_element_factory_make("appsrc", nullptr);
  GstCaps* caps = gst_caps_from_string(video_caps.c_str());
  g_object_set(video_src_, "caps", caps, "is-live", TRUE, "format", GST_FORMAT_TIME, "max-bytes",
               static_cast<guint64>(0), nullptr);
  gst_caps_unref(caps);
  gst_bin_add_many(GST_BIN(pipeline_), video_src_, filter_, nullptr);
  gst_element_link_pads(video_src_, "src", filter_, "Input");
  AddSink("Output1", &preview_);
  AddSink("Output2", &capture_);
  if (!audio_caps.empty()) {
    audio_src_ = gst_element_factory_make("appsrc", nullptr);
    GstCaps* acaps = gst_caps_from_string(audio_caps.c_str());
    g_object_set(audio_src_, "caps", acaps, "is-live", TRUE, "format", GST_FORMAT_TIME, "max-bytes",
                 static_cast<guint64>(0), nullptr);
    gst_caps_unref(acaps);
    gst_bin_add(GST_BIN(pipeline_), audio_src_);
    gst_element_link_pads(audio_src_, "src", filter_, "Input Audio");
    AddSink("Audio Capture", &audio_);
  }
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, &ElementHarness::OnBus, this, nullptr);
  gst_object_unref(bus);
}

ElementHarness::~ElementHarness() {
  gst_element_set_state(pipeline_, GST_STATE_NULL);
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
  gst_object_unref(bus);
  gst_object_unref(pipeline_);
}

GstElement* ElementHarness::AddSink(const char* pad, std::vector<Received>* store) {
  GstElement* sink = gst_element_factory_make("appsink", nullptr);
  // No preroll: a clip output may stay silent for a long time.
  g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
  gst_bin_add(GST_BIN(pipeline_), sink);
  gst_element_link_pads(filter_, pad, sink, "sink");
  GstAppSinkCallbacks callbacks{};
  callbacks.new_sample = [](GstAppSink* appsink, gpointer data) {
    auto* target = static_cast<SinkTarget*>(data);
    GstSample* sample = gst_app_sink_pull_sample(appsink);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    Received r;
    r.pts = GST_BUFFER_PTS(buffer);
    GstMapInfo map;
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
      r.data.assign(map.data, map.data + map.size);
      gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    {
      std::lock_guard lock(target->harness->mu_);
      target->store->push_back(std::move(r));
    }
    target->harness->changed_.notify_all();
    return GST_FLOW_OK;
  };
  gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new SinkTarget{this, store},
                             [](gpointer p) { delete static_cast<SinkTarget*>(p); });
  return sink;
}

GstBusSyncReply ElementHarness::OnBus(GstBus*, GstMessage* message, gpointer data) {
  auto* self = static_cast<ElementHarness*>(data);
  {
    std::lock_guard lock(self->mu_);
    switch (GST_MESSAGE_TYPE(message)) {
      case GST_MESSAGE_ELEMENT:
        if (gst_message_has_name(message, "ClipEnd")) ++self->clip_ends_;
        break;
      case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        self->errors_.push_back(error ? error->message : "");
        g_clear_error(&error);
        break;
      }
      case GST_MESSAGE_EOS:
        self->eos_ = true;
        break;
      default:
        break;
    }
  }
  self->changed_.notify_all();
  gst_message_unref(message);
  return GST_BUS_DROP;
}

int ElementHarness::Attach(DetectionBlock* block, int* version, int* reserved) {
  gint v = -1, r = -1, result = -1;
  g_signal_emit_by_name(filter_, "attach-block", static_cast<gpointer>(block),
                        static_cast<gpointer>(&v), static_cast<gpointer>(&r), &result);
  if (version) *version = v;
  if (reserved) *reserved = r;
  return result;
}

bool ElementHarness::Play() {
  // A live source: the sinks commit their state on the first data, the filter at once.
  if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return false;
  for (GstElement* e : {filter_, video_src_, audio_src_}) {
    GstState state = GST_STATE_NULL;
    if (e) gst_element_get_state(e, &state, nullptr, 5 * GST_SECOND);
    if (e && state != GST_STATE_PLAYING) return false;
  }
  return true;
}

bool ElementHarness::Rerun() {
  return gst_element_set_state(filter_, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE &&
         gst_element_set_state(filter_, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

void ElementHarness::PushVideo(const std::vector<uint8_t>& frame) {
  GstBuffer* buffer = gst_buffer_new_memdup(frame.data(), frame.size());
  GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(video_count_, GST_SECOND, 30);
  GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, 30);
  ++video_count_;
  gst_app_src_push_buffer(GST_APP_SRC(video_src_), buffer);
}

void ElementHarness::PushAudio(const std::vector<uint8_t>& data) {
  gst_app_src_push_buffer(GST_APP_SRC(audio_src_), gst_buffer_new_memdup(data.data(), data.size()));
}

void ElementHarness::EndVideo() {
  gst_app_src_end_of_stream(GST_APP_SRC(video_src_));
}

void ElementHarness::EndAudio() {
  gst_app_src_end_of_stream(GST_APP_SRC(audio_src_));
}

bool ElementHarness::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  std::unique_lock lock(mu_);
  while (true) {
    lock.unlock();
    bool ok = done();
    lock.lock();
    if (ok) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    changed_.wait_for(lock, std::chrono::milliseconds(10));
  }
}

std::vector<Received> ElementHarness::preview() const {
  std::lock_guard lock(mu_);
  return preview_;
}
std::vector<Received> ElementHarness::capture() const {
  std::lock_guard lock(mu_);
  return capture_;
}
std::vector<Received> ElementHarness::audio() const {
  std::lock_guard lock(mu_);
  return audio_;
}
int ElementHarness::clip_ends() const {
  std::lock_guard lock(mu_);
  return clip_ends_;
}
std::vector<std::string> ElementHarness::errors() const {
  std::lock_guard lock(mu_);
  return errors_;
}

}  // namespace orvanta::detect::testing
