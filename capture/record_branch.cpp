#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

#include "app/messages.h"
#include "app/text_utf.h"
#include "capture/device_catalogue.h"
#include "capture/live_graph.h"
#include "capture/live_graph_steps.h"
#include "capture/media/cnv2yu_element.h"
#include "clipnaming/clip_name.h"
#include "clipnaming/disk_space.h"
#include "detectfilter/pixel_format.h"

namespace orvanta::capture {
namespace {

// The detection filter's outputs that feed the recording branch: clip frames and sound.
constexpr const char* kClipOutputs[] = {"Output2", "Audio Capture"};

}  // namespace

bool LiveGraph::BuildRecordBranch() {
  const std::string db_dir = FieldUtf8(ap_.db_dir);
  int free_mb = FreeDiskMB(db_dir);
  if (hooks_.show_free_space) hooks_.show_free_space(free_mb);
  if (free_mb < ap_.limit_MB) {
    if (ap_.limit_stop) {
      ReportMessage("UM003: HDD Space limit. Please Stop and delete old files");
      return false;
    }
    DiskSpaceOutcome outcome =
        MakeDiskSpace(free_mb, ap_.limit_MB, DayDir(), db_dir, FreeDiskMB, state_.last_clip);
    if (!outcome.met) {
      ReportMessage("%s", outcome.message.c_str());
      return false;
    }
    if (hooks_.show_free_space) hooks_.show_free_space(outcome.free_mb);
    if (outcome.deleted > 0 && hooks_.clips_removed) hooks_.clips_removed();
  }

  Result r;
  std::string codec = FieldUtf8(ap_.dv_out_codec);
  if (codec != kUncompressedEntry) {
    int counter = 1;
    GstElement* compressor = nullptr;
    FindFilterByName(DeviceCategory::VideoCompressor, nullptr, &codec, &compressor, &counter);
    state_.rec_mode = 3;
    branch_.compressor.reset(compressor);
    if (!branch_.compressor || Failed(graph_->AddFilter(branch_.compressor, "Codec"))) {
      ReportMessage("DXE02007: Cannot add codec");
      return false;
    }
  } else {
    state_.rec_mode = 1;
  }

  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  ClipNameSettings names = ClipNameSettingsFrom(
      ap_, ib_, RecordingExtension(state_.rec_mode, FieldUtf8(app_.state.out_ext)));
  state_.rec_file = ClipName(names, now - ib_.time_offset + 1, 'T', '_').path;

  GstElement* mux = nullptr;
  GstElement* writer = nullptr;
  if (Failed(graph_->SetOutputFileName(state_.rec_file, &mux, &writer))) {
    ReportMessage("UE008: Cannot config output file");
    return false;
  }
  branch_.mux.reset(GST_ELEMENT(gst_object_ref(mux)));
  branch_.writer.reset(GST_ELEMENT(gst_object_ref(writer)));
  {
    std::lock_guard lock(writer_mutex_);
    writer_done_ = false;
    writer_got_data_ = false;
  }
  branch_has_frames_ = false;
  branch_finished_ = false;
  recording_unfinished_ = false;
  GstPad* writer_in = gst_element_get_static_pad(branch_.writer, "sink");
  gst_pad_add_probe(
      writer_in,
      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
      [](GstPad*, GstPadProbeInfo* info, gpointer self) -> GstPadProbeReturn {
        auto* graph = static_cast<LiveGraph*>(self);
        std::lock_guard lock(graph->writer_mutex_);
        if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
          graph->writer_got_data_ = true;
        } else if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS) {
          graph->writer_done_ = true;
          graph->writer_done_cv_.notify_all();
        }
        return GST_PAD_PROBE_OK;
      },
      this, nullptr);
  gst_object_unref(writer_in);

  const bool nv12 = PixelFormatOfGuid(ib_.host_subtype) == PixelFormat::NV12;
  if (nv12 && !branch_.compressor) {
    GstElement* converter = media::RegisterCnv2yu()
                                ? gst_element_factory_make(media::kCnv2yuFactory, nullptr)
                                : nullptr;
    if (!converter) {
      ReportMessage("UE801: Cannot CreateInstance NV2YU");
      return false;
    }
    branch_.converter.reset(converter);
    if (Failed(graph_->AddFilter(branch_.converter, "NV2YU_Codec"))) {
      ReportMessage("UE802: Cannot Add NV2YU");
      return false;
    }
  }
  GstElement* through = branch_.converter ? branch_.converter.get() : branch_.compressor.get();
  if (Failed(r = graph_->RenderStream(PinCategory::None, MediaKind::Video, parts_.zav, through,
                                      branch_.mux))) {
    ReportMessage(branch_.converter ? "UE009:Cannot render U->N->Mux"
                                    : "UE009:Cannot render U->C->Mux");
    std::this_thread::sleep_for(std::chrono::seconds(10));
    return false;
  }
  if (parts_.audio_tee)
    graph_->RenderStream(PinCategory::None, MediaKind::Audio, parts_.audio_tee, parts_.zav,
                         branch_.mux);
  if (playing_) {
    // A branch added between clips joins the running graph.
    for (GstElement* e : {branch_.writer.get(), branch_.mux.get(), branch_.converter.get(),
                          branch_.compressor.get()})
      graph_->JoinRunningGraph(e);
    // A source that ended while the old branch was being taken down left its end of stream
    // on the filter's outputs only; the new branch must see it too, or the graph never
    // reports the end.
    for (const char* name : kClipOutputs) {
      media::PadRef out(gst_element_get_static_pad(parts_.zav, name));
      if (out) graph_->PassOnEndOfStream(out);
    }
  }
  return true;
}

bool LiveGraph::FinishRecordFile() {
  if (!branch_.writer || !parts_.zav) return true;
  {
    std::lock_guard lock(writer_mutex_);
    // Nothing to finish when no frame went into the branch. An encoder that holds its
    // frames (x264enc's look-ahead) may not have passed one on yet: its end still counts.
    if (!writer_got_data_ && !branch_has_frames_) return true;
    if (writer_done_) return !Failed(graph_->last_error());
  }
  // End of stream into the branch: the multiplexer writes its index and header sizes and
  // passes the end on to the writer.
  for (const char* name : kClipOutputs) {
    media::PadRef out(gst_element_get_static_pad(parts_.zav, name));
    if (out) graph_->SendEndOfStream(out);
  }
  // After a streaming error (a full disk, a source gone) the end may never reach the writer:
  // it gets a second, then the file is mended from what it holds instead.
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool error_seen = false;
  std::unique_lock lock(writer_mutex_);
  while (!writer_done_) {
    const auto now = std::chrono::steady_clock::now();
    if (!error_seen && Failed(graph_->last_error())) {
      error_seen = true;
      until = std::min(until, now + std::chrono::seconds(1));
    }
    if (now >= until) return false;
    writer_done_cv_.wait_for(lock, std::chrono::milliseconds(50));
  }
  // The end reaches the writer even when its writes failed (a full disk): the file is only
  // known to be complete when the graph has had no error.
  return !Failed(graph_->last_error());
}

void LiveGraph::TearDownRecordBranch() {
  if (!graph_) return;
  recording_unfinished_ = !FinishRecordFile();
  // The branch goes from the elements behind the clip outputs down to the writer.
  media::PadRef frames;
  media::PadRef sound;
  if (parts_.zav) {
    frames.reset(gst_element_get_static_pad(parts_.zav, kClipOutputs[0]));
    sound.reset(gst_element_get_static_pad(parts_.zav, kClipOutputs[1]));
  }
  graph_->RemoveDownstream({frames.get(), sound.get()});
  if (parts_.audio_tee) {
    std::vector<GstPad*> tee_outputs;
    GST_OBJECT_LOCK(parts_.audio_tee.get());
    for (GList* l = parts_.audio_tee.get()->srcpads; l; l = l->next)
      tee_outputs.push_back(GST_PAD(gst_object_ref(l->data)));
    GST_OBJECT_UNLOCK(parts_.audio_tee.get());
    // The tee outputs that feed the detection filter (every one but the sound renderer's)
    // go, with the helpers (queues, converters) between them and the filter.
    for (GstPad* output : tee_outputs) {
      graph_->RemoveChainTo(output, parts_.zav);
      gst_object_unref(output);
    }
  }
  branch_ = {};
}

}  // namespace orvanta::capture
