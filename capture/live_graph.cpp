#include "capture/live_graph.h"

#include <cctype>

#include "app/messages.h"
#include "app/text_utf.h"
#include "capture/finished_clip.h"
#include "capture/graph_error_log.h"
#include "capture/live_graph_steps.h"
#include "detectfilter/shared_field.h"

namespace orvanta::capture {
namespace {

// The first four characters of the encoded format a decoder takes in.
std::string FourccOfCaps(GstCaps* caps) {
  if (!caps || gst_caps_is_any(caps) || gst_caps_is_empty(caps)) return "";
  const GstStructure* s = gst_caps_get_structure(caps, 0);
  std::string name = gst_structure_get_name(s);
  if (name == "video/x-raw") {
    const char* f = gst_structure_get_string(s, "format");
    return f ? std::string(f).substr(0, 4) : "";
  }
  if (name == "video/x-h264") return "H264";
  if (name == "video/x-h265") return "HEVC";
  if (name == "image/jpeg") return "MJPG";
  if (name == "video/x-dv") return "dvsd";
  if (name == "video/x-divx" || name == "video/x-xvid") return "XVID";
  if (name == "video/mpeg") return "MP4V";
  std::string tail = name.substr(name.find('/') + 1);
  if (tail.starts_with("x-")) tail = tail.substr(2);
  for (auto& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return tail.substr(0, 4);
}

}  // namespace

LiveGraph::LiveGraph(AppContext& app, CaptureState& state, CaptureHooks& hooks)
    : app_(app), ib_(app.ib), ap_(app.ap), state_(state), hooks_(hooks) {}

LiveGraph::~LiveGraph() {
  ReleaseLiveGraph();
}

void LiveGraph::StopAction() {
  if (hooks_.stop_action) hooks_.stop_action();
}

void LiveGraph::WriteErrorLog(int code, Result result) {
  GraphErrorReport report;
  report.code = code;
  report.result = result;
  report.cx = ib_.cx;
  report.cy = ib_.cy;
  report.fps = ib_.fps;
  report.video_device = FieldUtf8(ap_.dv_video_device);
  report.audio_device = FieldUtf8(ap_.dv_audio_device);
  report.codec = FieldUtf8(ap_.dv_out_codec);
  report.fourcc = FieldUtf8(ib_.fourcc);
  report.format_error = FieldUtf8(ib_.format_error);
  WriteGraphErrorLog(app_.state.startupDir, report);
}

void LiveGraph::ReportGraphError(Result result, int code) {
  app_.state.graph_error = code;
  WriteErrorLog(code, result);
  StopAction();
  const std::string format_error = FieldUtf8(ib_.format_error);
  if (!format_error.empty()) ReportMessage("Format error: %s", format_error.c_str());
}

void LiveGraph::FailEnd(int code, Result result) {
  app_.state.graph_error = code;
  WriteErrorLog(code, result);
  ReleaseLiveGraph();
  StopAction();
}

bool LiveGraph::BuildLiveGraph() {
  if (graph_) return false;
  app_.state.graph_error = 0;
  state_.last_ftp_minute = 0;
  StoreShared(ib_.output_hold, 0);
  ib_.timelog_count = 0;
  SetField(ib_.fourcc_original, u"");
  auto fail = [this](int code, const char* text, Result result) {
    ReportMessage("%s", text);
    FailEnd(code, result);
    return false;
  };

  {
    std::lock_guard lock(events_mutex_);
    events_.clear();
    events_closed_ = false;
  }
  graph_ = std::make_unique<media::Graph>();
  media::Graph* graph = graph_.get();
  graph_->SetNotify([this, graph] {
    // The events move out of the graph at once: the handler runs on another thread and
    // may find the graph already released.
    {
      std::lock_guard lock(events_mutex_);
      media::GraphEvent event;
      while (graph->GetEvent(&event))
        if (!events_closed_) events_.push_back(std::move(event));
    }
    if (hooks_.graph_notify) hooks_.graph_notify();
  });
  graph_->SetElementMessageHandler([this](GstElement* source, const GstStructure* s) {
    if (source != parts_.zav || !gst_structure_has_name(s, "ClipEnd")) return;
    branch_finished_ = true;
    if (hooks_.clip_end) hooks_.clip_end(FinishedClipFrom(s, ib_));
  });

  // Source and hosting report their own failures; building goes on to the next step
  // whose result is examined.
  if (ib_.filterinmode)
    FilterSource();
  else
    DeviceSource();
  HostDetectionFilter();

  Result r = JoinSourceToFilter();
  if (Failed(r)) {
    if (ib_.filterinmode) {
      FailEnd(351, r);
      return false;
    }
    return fail(221, "UM021: Resolution or Media type not matched", r);
  }

  GstElement* sink = hooks_.make_preview_sink ? hooks_.make_preview_sink() : nullptr;
  if (!sink) {
    sink = gst_element_factory_make("fakesink", nullptr);
    if (sink) g_object_set(sink, "sync", hooks_.realtime_preview ? TRUE : FALSE, nullptr);
  }
  parts_.renderer.reset(sink);
  if (!parts_.renderer) return fail(34, "UM034: Cannot Create Instance VMRx", media::kNoInterface);
  if (Failed(r = graph_->AddFilter(parts_.renderer, "VMRx")))
    return fail(34, "UE034: Cannot add VMRx to graph", r);
  if (Failed(r = graph_->RenderStream(PinCategory::None, MediaKind::Video, parts_.zav, nullptr,
                                      parts_.renderer))) {
    parts_.avi_decompressor.reset(gst_element_factory_make("videoconvert", nullptr));
    if (!parts_.avi_decompressor)
      return fail(32, "UE032: Cannot create AVI Decompressor instance", media::kNoInterface);
    if (Failed(r = graph_->AddFilter(parts_.avi_decompressor, "AVI Decompressor")))
      return fail(33, "UE033: Cannot add AVI Decompressor to graph", r);
    if (Failed(r = graph_->RenderStream(PinCategory::None, MediaKind::Video, parts_.zav,
                                        parts_.avi_decompressor, parts_.renderer)))
      return fail(34, "UE034: Cannot render ZAV-VMR", r);
  }

  if (Named(FieldUtf8(ap_.dv_audio_device)) && !BuildAudioPath()) return false;

  if (!BuildRecordBranch()) {
    FailEnd(500, media::kFail);
    return false;
  }

  if (parts_.decoder) {
    media::PadRef in(graph_->FindPin(parts_.decoder, media::PinDirection::Input, PinCategory::None,
                                     MediaKind::Video, 0));
    if (in) {
      GstCaps* caps = gst_pad_get_current_caps(in);
      if (caps) {
        SetText(ib_.fourcc_original, FourccOfCaps(caps));
        gst_caps_unref(caps);
      } else {
        // The encoded format is known once the stream starts: its first format event
        // names it, before any frame reaches the detection filter.
        gst_pad_add_probe(
            in, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM,
            [](GstPad*, GstPadProbeInfo* info, gpointer block) -> GstPadProbeReturn {
              GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
              if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS) return GST_PAD_PROBE_OK;
              GstCaps* format = nullptr;
              gst_event_parse_caps(event, &format);
              SetText(static_cast<DetectionBlock*>(block)->fourcc_original, FourccOfCaps(format));
              return GST_PAD_PROBE_REMOVE;
            },
            &ib_, nullptr);
      }
    }
  }
  if (hooks_.graph_built) hooks_.graph_built(*this);
  return true;
}

Result LiveGraph::Run() {
  if (!graph_) return media::kWrongState;
  if (playing_) {
    // Between clips: the detection filter runs again; the source has kept running.
    return graph_->RunAgain(parts_.zav);
  }
  Result r = graph_->Run();
  playing_ = !Failed(r);
  return r;
}

Result LiveGraph::Stop() {
  if (!graph_) return media::kWrongState;
  if (hooks_.graph_stopping) hooks_.graph_stopping();
  recording_unfinished_ = !FinishRecordFile();
  playing_ = false;
  return graph_->Stop();
}

void LiveGraph::HandleGraphEvents() {
  media::GraphEvent event;
  for (;;) {
    {
      std::lock_guard lock(events_mutex_);
      if (events_.empty()) return;
      event = std::move(events_.front());
      events_.pop_front();
      // The end of the stream and an abort both stop the capture: what the graph says
      // after that is of no further use until it is built again.
      if (event.code == media::kEventComplete || event.code == media::kEventErrorAbort) {
        events_.clear();
        events_closed_ = true;
      }
    }
    if (event.code == media::kEventComplete) {
      StopAction();
      return;
    }
    if (event.code == media::kEventErrorAbort) {
      if (!FieldUtf8(ib_.format_error).empty()) {
        // The detection filter refused the source's format.
        ReportGraphError(event.param1, 351);
      } else {
        StopAction();
        if (event.param1 == media::kDiskFull)
          ReportMessage(
              "The disk of the clip store (%s) is full: the clip being recorded is kept "
              "with what was written, and recording stops",
              FieldUtf8(ap_.db_dir).c_str());
        ReportMessage("UE042: Playback ERRORABORT (0x%08lx: %s). Aborting...\r\n",
                      static_cast<unsigned long>(static_cast<uint32_t>(event.param1)),
                      ResultMessage(static_cast<media::Result>(event.param1)).c_str());
      }
      if (hooks_.graph_failed) hooks_.graph_failed();
      return;
    }
  }
}

void LiveGraph::ReleaseLiveGraph() {
  // Streaming must have ended before the buffers the filter works in are freed.
  if (graph_) {
    if (hooks_.graph_stopping) hooks_.graph_stopping();
    graph_->Stop();
  }
  playing_ = false;
  buffers_.Release(ib_);
  // Every element reference goes with its handle; the graph holds the last ones.
  parts_ = {};
  branch_ = {};
  audio_from_video_source_ = false;
  graph_.reset();
}

}  // namespace orvanta::capture
