#include "replay/replay_graph.h"

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "capture/media/media_seeking.h"
#include "capture/media/plugin_element.h"

namespace orvanta::replay {

ReplayGraph::~ReplayGraph() {
  if (graph_) graph_->Stop();
}

bool ReplayGraph::Build(const ReplayGraphSetup& setup, ReplayBlock& rb, std::string* error) {
  auto fail = [&](std::string text) {
    *error = std::move(text);
    Release(rb);
    return false;
  };
  graph_ = std::make_unique<media::Graph>();
  media::Graph* graph = graph_.get();
  {
    std::lock_guard lock(*events_mu_);
    events_->clear();
  }
  // The events move out of the graph at once: the window hears of them on another thread.
  graph_->SetNotify([graph, mu = events_mu_, events = events_, notify = setup.notify] {
    {
      std::lock_guard lock(*mu);
      media::GraphEvent event;
      while (graph->GetEvent(&event)) events->push_back(std::move(event));
    }
    if (notify) notify();
  });

  source_.reset(gst_element_factory_make("filesrc", nullptr));
  if (!source_ || media::Failed(graph_->AddFilter(source_, "source")))
    return fail("UE059: Failed to connect " + setup.file);
  g_object_set(source_, "location", setup.file.c_str(), nullptr);

  filter_.reset(
      media::MakePluginElement(kReplayFilterFactory, kReplayFilterLibrary, setup.startup_dir));
  if (!filter_)
    return fail(
        "UM022: Cannot find ZAVIPRF \n Please put libzaviprf.so in the start-up directory, "
        "beside zavip or in a folder named by GST_PLUGIN_PATH (or reinstall the package)");
  if (media::Failed(graph_->AddFilter(filter_, "ZavFilter")))
    return fail("UE060: Cannot add ZAV2RFilter to graph");
  if (!g_signal_lookup("attach-block", G_OBJECT_TYPE(filter_.get())))
    return fail("UE061: Cannot Find IZAV2RF interface");
  gint version = 0, reserved = 0, result = 0;
  g_signal_emit_by_name(filter_, "attach-block", static_cast<gpointer>(&rb),
                        static_cast<gpointer>(&version), static_cast<gpointer>(&reserved), &result);
  if (version != kZaviprfVersion)
    return fail(
        "UM023: ZAVIPRF version invalid. Please remove any older libzaviprf.so on "
        "GST_PLUGIN_PATH or in the start-up directory, or reinstall the package");

  // Decoders are put in as the clip needs them; the formats the filter takes are narrowed
  // here so the converter makes RGB24 whenever the field view may be asked for.
  converter_.reset(gst_element_factory_make("capsfilter", nullptr));
  GstCaps* caps = gst_caps_from_string(setup.rgb_only ? "video/x-raw,format=BGR"
                                                      : "video/x-raw,format={BGR,NV12}");
  g_object_set(converter_, "caps", caps, nullptr);
  gst_caps_unref(caps);
  graph_->AddFilter(converter_, "Converter");
  graph_->RenderStream(media::PinCategory::None, media::MediaKind::Video, source_, converter_,
                       filter_);

  if (setup.with_sound) {
    // The sound comes out of the decoder put behind the source, when the clip has any: the
    // sound renderer joins when that stream appears (a silent clip has none to wait for).
    media::PadRef out(gst_element_get_static_pad(source_, "src"));
    media::PadRef peer(out ? gst_pad_get_peer(out) : nullptr);
    GstElement* decoder = peer ? gst_pad_get_parent_element(peer) : nullptr;
    if (decoder) {
      g_signal_connect(decoder, "pad-added", G_CALLBACK(&ReplayGraph::OnDecodedPad), this);
      gst_object_unref(decoder);
    }
  }

  GstElement* sink = setup.make_video_sink ? setup.make_video_sink() : nullptr;
  if (!sink) sink = gst_element_factory_make("fakesink", nullptr);
  video_sink_.reset(sink);
  if (!video_sink_ || media::Failed(graph_->AddFilter(video_sink_, "VMRxR")))
    return fail("UE034R: Cannot add VMRxR to graph");
  if (media::Failed(graph_->RenderStream(media::PinCategory::Preview, media::MediaKind::Video,
                                         filter_, nullptr, video_sink_)))
    return fail("DXE2007:Cannot render replay window");

  media::PadRef shown_pad(gst_element_get_static_pad(filter_, "Output1"));
  gst_pad_add_probe(
      shown_pad,
      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
      [](GstPad*, GstPadProbeInfo* info, gpointer data) {
        std::atomic<int64_t>& shown = **static_cast<std::shared_ptr<std::atomic<int64_t>>*>(data);
        if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
          GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
          if (GST_BUFFER_PTS_IS_VALID(buffer))
            shown.store(static_cast<int64_t>(GST_BUFFER_PTS(buffer) / 100));
        } else if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_FLUSH_STOP) {
          shown.store(-1);
        }
        return GST_PAD_PROBE_OK;
      },
      new std::shared_ptr<std::atomic<int64_t>>(shown_),
      [](gpointer data) { delete static_cast<std::shared_ptr<std::atomic<int64_t>>*>(data); });

  // The clip's format is known once its first frame is through: the snapshot is sized then.
  const media::Result r = media::Pause(*graph_);
  if (media::Failed(r) || r == media::kTimeout || rb.clip_pixels <= 0) {
    std::string why = graph_->last_error_text();
    if (why.empty()) why = r == media::kTimeout ? "no frame came" : "no video frame";
    return fail("UE059: Failed to connect " + setup.file + " (" + why + ")");
  }
  snapshot_.assign(static_cast<size_t>(rb.clip_pixels) * 3, 0);
  std::atomic_ref<uint8_t*>(rb.replay_snapshot).store(snapshot_.data(), std::memory_order_relaxed);
  duration_ = 0;
  media::GetDuration(*graph_, &duration_);
  return true;
}

void ReplayGraph::OnDecodedPad(GstElement*, GstPad* pad, gpointer data) {
  auto* self = static_cast<ReplayGraph*>(data);
  if (media::KindOfPad(pad) != media::PadKind::Audio || self->has_sound_.exchange(true)) return;
  GstElement* sound = gst_element_factory_make("autoaudiosink", nullptr);
  if (!sound || media::Failed(self->graph_->AddFilter(sound, "Sound Renderer"))) {
    if (sound) gst_object_unref(gst_object_ref_sink(sound));
    self->has_sound_ = false;
    return;  // the clip stays silent
  }
  self->sound_.reset(sound);
  self->graph_->JoinRunningGraph(sound);
  media::PadRef in(gst_element_get_static_pad(sound, "sink"));
  self->graph_->Connect(pad, in);
}

void ReplayGraph::Release(ReplayBlock& rb) {
  // Streaming ends before the buffer the filter writes goes.
  if (graph_) graph_->Stop();
  std::atomic_ref<uint8_t*>(rb.replay_snapshot).store(nullptr, std::memory_order_relaxed);
  source_ = {};
  converter_ = {};
  filter_ = {};
  video_sink_ = {};
  sound_ = {};
  has_sound_ = false;
  graph_.reset();
  snapshot_ = {};
  duration_ = 0;
  // What a released graph said is of no further use.
  std::lock_guard lock(*events_mu_);
  events_->clear();
}

media::Result ReplayGraph::Run() {
  return graph_ ? graph_->Run() : media::kWrongState;
}

media::Result ReplayGraph::Pause() {
  return graph_ ? media::Pause(*graph_) : media::kWrongState;
}

media::Result ReplayGraph::SeekTo(int64_t position) {
  return graph_ ? media::SeekTo(*graph_, position) : media::kWrongState;
}

bool ReplayGraph::StepToNextFrame() {
  if (!graph_) return false;
  const int64_t before = shown_->load();
  if (before < 0 || media::Failed(media::StepFrames(*graph_, 1))) return false;
  // The frame is through the filter (its snapshot written) before the picture takes it; the
  // picture then holds it as after a seek.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (shown_->load() == before) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return media::Succeeded(media::WaitPaused(*graph_)) && shown_->load() > before;
}

int64_t ReplayGraph::Position() {
  int64_t pos = 0;
  if (graph_) media::GetPosition(*graph_, &pos);
  return pos;
}

std::vector<media::GraphEvent> ReplayGraph::TakeEvents() {
  std::lock_guard lock(*events_mu_);
  std::vector<media::GraphEvent> out(events_->begin(), events_->end());
  events_->clear();
  return out;
}

std::string ReplayGraph::last_error_text() const {
  return graph_ ? graph_->last_error_text() : std::string();
}

}  // namespace orvanta::replay
