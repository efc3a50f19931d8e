#include <algorithm>
#include <cerrno>
#include <optional>

#include "app/messages.h"
#include "capture/host_sizing.h"
#include "capture/live_graph.h"
#include "capture/live_graph_steps.h"
#include "capture/media/plugin_element.h"
#include "products/area_mask.h"

namespace orvanta::capture {

bool LiveGraph::HostDetectionFilter() {
  auto refuse = [this](Result result) {
    ReportGraphError(result, errno);
    return false;
  };
  const bool audio = Named(FieldUtf8(ap_.dv_audio_device));
  HostSizing sizing = SizeHostBuffers(ib_, audio, ap_.smspeed);
  ib_.pixels = sizing.pixels;
  ib_.frame_bytes = static_cast<int32_t>(std::min<int64_t>(sizing.frame_bytes, INT32_MAX));
  ib_.ring_count = sizing.ring_count;
  if (!sizing.refusal.empty()) {
    ReportMessage("%s", sizing.refusal.c_str());
    return refuse(media::kOutOfMemory);
  }
  ib_.bands = sizing.bands;
  ib_.audio_chunk_bytes = sizing.audio_chunk_bytes;
  ib_.audio_chunk_count = sizing.audio_chunk_count;
  const std::optional<BufferShortage> shortage = buffers_.Allocate(ib_);
  // The detect-area mask is read as soon as its buffer exists, before any later shortage.
  if (!shortage || shortage->buffer > BlockBuffer::Mask) {
    AreaMaskRequest mask_request{app_.state.startupDir, FieldUtf8(ap_.dareafname), ib_.cx, ib_.cy};
    AreaMaskLoad load = LoadAreaMask(mask_request, state_.work_image, &ib_);
    if (!load.message.empty()) ReportMessage("%s", load.message.c_str());
    if (load.use_whole_picture) SetText(ap_.dareafname, kWholePictureMaskName);
    ib_.mask_flip = 1;
  }
  if (shortage) {
    ReportMessage("%s", ShortageMessage(*shortage).c_str());
    return refuse(media::kOutOfMemory);
  }
  PrepareBlockForHosting(sizing, ib_);

  // The detection filter element, from its plugin file when the registry does not know it.
  GstElement* filter =
      media::MakePluginElement(kDetectFilterFactory, kDetectFilterLibrary, app_.state.startupDir);
  if (!filter) {
    ReportMessage(
        "UM019: Cannot find ZAVIPF \n Please put libzavipf.so in the start-up directory, beside "
        "zavip or in a folder named by GST_PLUGIN_PATH (or reinstall the package) and try again");
    return refuse(media::kNoInterface);
  }
  parts_.zav.reset(filter);
  media::PadRef frames_in(gst_element_get_static_pad(parts_.zav, "Input"));
  gst_pad_add_probe(
      frames_in, GST_PAD_PROBE_TYPE_BUFFER,
      [](GstPad*, GstPadProbeInfo*, gpointer self) {
        static_cast<LiveGraph*>(self)->frames_in_.fetch_add(1, std::memory_order_relaxed);
        return GST_PAD_PROBE_OK;
      },
      this, nullptr);
  media::PadRef clip_out(gst_element_get_static_pad(parts_.zav, "Output2"));
  gst_pad_add_probe(
      clip_out, GST_PAD_PROBE_TYPE_BUFFER,
      [](GstPad*, GstPadProbeInfo*, gpointer self) {
        static_cast<LiveGraph*>(self)->branch_has_frames_ = true;
        return GST_PAD_PROBE_OK;
      },
      this, nullptr);
  Result r = graph_->AddFilter(parts_.zav, "ZavFilter");
  if (Failed(r)) {
    ReportMessage("UE023: Cannot add ZavFilter to graph");
    return refuse(r);
  }
  if (!g_signal_lookup("attach-block", G_OBJECT_TYPE(parts_.zav.get()))) {
    ReportMessage("UE024: Cannot Find IZAVIPF interface");
    return refuse(media::kNoInterface);
  }
  gint version = 0;
  gint reserved = 0;
  gint result = 0;
  g_signal_emit_by_name(parts_.zav, "attach-block", static_cast<gpointer>(&ib_),
                        static_cast<gpointer>(&version), static_cast<gpointer>(&reserved), &result);
  if (version != kZavipfVersion) {
    ReportMessage(
        "UM020: ZAVIPF version invalid. Please remove any older libzavipf.so on GST_PLUGIN_PATH "
        "or in the start-up directory, or reinstall the package");
    return refuse(media::kNoInterface);
  }
  return !Failed(result);
}

}  // namespace orvanta::capture
