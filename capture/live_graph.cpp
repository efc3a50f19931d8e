#include "capture/live_graph.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "app/messages.h"
#include "app/text_utf.h"
#include "capture/clip_name.h"
#include "capture/device_catalogue.h"
#include "capture/disk_space.h"
#include "capture/finished_clip.h"
#include "capture/graph_error_log.h"
#include "capture/host_sizing.h"
#include "capture/media/cnv2yu_element.h"
#include "capture/media/rtsp_probe.h"
#include "detectfilter/pixel_format.h"
#include "detectfilter/shared_field.h"
#include "products/area_mask.h"

namespace orvanta::capture {
namespace {

using media::Failed;
using media::MediaKind;
using media::PinCategory;
using media::Result;

template <size_t N>
void SetText(char16_t (&field)[N], const std::string& text) {
  SetField(field, Utf8ToUtf16(text));
}

bool Named(const std::string& name) {
  return !name.empty() && name[0] != '-';
}

bool HasProperty(GstElement* element, const char* name) {
  return g_object_class_find_property(G_OBJECT_GET_CLASS(element), name) != nullptr;
}

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

std::string RtspAddress(const std::string& user, const std::string& password,
                        const std::string& ip) {
  return user.empty() ? "rtsp://" + ip : "rtsp://" + user + ":" + password + "@" + ip;
}

std::string InputName(const AppParams& ap, const DetectionBlock& block) {
  if (!block.filterinmode) return FieldUtf8(ap.dv_video_device);
  return block.rtspinmode ? FieldUtf8(ap.rtsp_ip) : FieldUtf8(ap.infname);
}

LiveGraph::LiveGraph(AppContext& app, CaptureState& state, CaptureHooks& hooks)
    : app_(app), ib_(app.ib), ap_(app.ap), state_(state), hooks_(hooks) {}

LiveGraph::~LiveGraph() {
  ReleaseLiveGraph();
}

GstElement* LiveGraph::Keep(GstElement* element) {
  if (element && g_object_is_floating(element)) gst_object_ref_sink(element);
  return element;
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

int LiveGraph::BuildLiveGraph() {
  if (graph_) return -1;
  app_.state.graph_error = 0;
  state_.last_ftp_minute = 0;
  StoreShared(ib_.output_hold, 0);
  ib_.timelog_count = 0;
  SetField(ib_.fourcc_original, u"");
  auto fail = [this](int code, const char* text, Result result) {
    ReportMessage("%s", text);
    FailEnd(code, result);
    return -1;
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
    if (source == zav_ && gst_structure_has_name(s, "ClipEnd") && hooks_.clip_end)
      hooks_.clip_end(FinishedClipFrom(s, ib_));
  });

  // Source and hosting report their own failures; building goes on to the next step
  // whose result is examined.
  if (ib_.filterinmode)
    FilterSource();
  else
    DeviceSource();
  HostDetectionFilter();

  bool reported = false;
  Result r = JoinSourceToFilter(&reported);
  if (Failed(r)) {
    if (ib_.filterinmode) {
      FailEnd(351, r);
      return -1;
    }
    return fail(221, "UM021: Resolution or Media type not matched", r);
  }

  GstElement* sink = hooks_.make_preview_sink ? hooks_.make_preview_sink() : nullptr;
  if (!sink) {
    sink = gst_element_factory_make("fakesink", nullptr);
    if (sink) g_object_set(sink, "sync", hooks_.realtime_preview ? TRUE : FALSE, nullptr);
  }
  renderer_ = Keep(sink);
  if (!renderer_) return fail(34, "UM034: Cannot Create Instance VMRx", media::kNoInterface);
  if (Failed(r = graph_->AddFilter(renderer_, "VMRx")))
    return fail(34, "UE034: Cannot add VMRx to graph", r);
  if (Failed(r = graph_->RenderStream(PinCategory::None, MediaKind::Video, zav_, nullptr,
                                      renderer_))) {
    avi_decompressor_ = Keep(gst_element_factory_make("videoconvert", nullptr));
    if (!avi_decompressor_)
      return fail(32, "UE032: Cannot create AVI Decompressor instance", media::kNoInterface);
    if (Failed(r = graph_->AddFilter(avi_decompressor_, "AVI Decompressor")))
      return fail(33, "UE033: Cannot add AVI Decompressor to graph", r);
    if (Failed(r = graph_->RenderStream(PinCategory::None, MediaKind::Video, zav_,
                                        avi_decompressor_, renderer_)))
      return fail(34, "UE034: Cannot render ZAV-VMR", r);
  }

  if (Named(FieldUtf8(ap_.dv_audio_device))) {
    int code = BuildAudioPath();
    if (code != 0) return -1;
  }

  if (!BuildRecordBranch()) {
    FailEnd(500, media::kFail);
    return -1;
  }

  if (decoder_) {
    GstPad* in = graph_->FindPin(decoder_, media::PinDirection::Input, PinCategory::None,
                                 MediaKind::Video, 0);
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
      gst_object_unref(in);
    }
  }
  if (hooks_.graph_built) hooks_.graph_built(*this);
  return 0;
}

bool LiveGraph::DeviceSource() {
  std::string wanted = FieldUtf8(ap_.dv_video_device);
  int counter = 1;
  GstElement* device = nullptr;
  FindFilterByName(DeviceCategory::VideoInput, nullptr, &wanted, &device, &counter);
  if (!device) {
    ReportMessage("UM010: No video capture device");
    ReportGraphError(media::kNotFound, errno);
    return false;
  }
  SetText(ap_.dv_video_device, wanted);  // an empty name took the first device's
  vcap_ = device;
  Result r = graph_->AddFilter(vcap_, "VCap");
  if (Failed(r)) {
    ReportMessage("UE020: Cannot add video capture device");
    ReportGraphError(r, errno);
    return false;
  }
  // The device is opened so that it can say what it delivers.
  gst_element_set_state(vcap_, GST_STATE_READY);
  GstPad* pin = graph_->FindPin(vcap_, media::PinDirection::Output, PinCategory::Capture,
                                MediaKind::Video, 0);
  if (!pin)
    pin = graph_->FindPin(vcap_, media::PinDirection::Output, PinCategory::Preview,
                          MediaKind::Video, 0);
  if (!pin) {
    ReportMessage("UE022:Cannot find output pin");
    ReportGraphError(media::kNotFound, errno);
    return false;
  }
  GstCaps* device_caps = gst_pad_query_caps(pin, nullptr);
  CaptureFormatRequest request{ib_.cx, ib_.cy, ib_.fps, FieldUtf8(ap_.forcc, kForccUnits)};
  CaptureFormatResult format = SetCaptureFormat(device_caps, request);
  gst_caps_unref(device_caps);
  ib_.red_mode = format.red_mode;
  if (format.unknown_name) ReportMessage("UM012:Media type not matched");
  if (format.subtype_set) ib_.host_subtype = format.host_subtype;
  if (Failed(format.result)) {
    gst_object_unref(pin);
    if (format.caps) gst_caps_unref(format.caps);
    ReportGraphError(format.result, errno);
    return false;
  }
  // The format is held by a caps filter right behind the device.
  vcap_format_ = Keep(gst_element_factory_make("capsfilter", nullptr));
  g_object_set(vcap_format_, "caps", format.caps, nullptr);
  gst_caps_unref(format.caps);
  graph_->AddFilter(vcap_format_, "VCap Format");
  GstPad* in = gst_element_get_static_pad(vcap_format_, "sink");
  bool ok = GST_PAD_LINK_SUCCESSFUL(gst_pad_link(pin, in));
  gst_object_unref(in);
  gst_object_unref(pin);
  if (!ok) {
    ReportGraphError(media::kCannotConnect, errno);
    return false;
  }
  return true;
}

bool LiveGraph::FilterSource() {
  std::string name = FieldUtf8(ap_.dv_v_s_filter);
  int counter = 0;
  GstElement* source = nullptr;
  FindFilterByName(DeviceCategory::AllFilters, nullptr, &name, &source, &counter);
  if (!source) {
    ReportMessage("Could not locate rtst source filter");
    ReportGraphError(media::kNotFound, 1001);
    return false;
  }
  source_ = source;
  Result r = graph_->AddFilter(source_, "rtspsorce");
  if (Failed(r)) {
    ReportMessage("Cannot add rtsp source");
    ReportGraphError(r, 1002);
    return false;
  }
  const std::string user = FieldUtf8(ap_.rtsp_uname);
  const std::string password = FieldUtf8(ap_.rtsp_pword);
  const std::string ip = FieldUtf8(ap_.rtsp_ip);
  std::string address;
  if (ib_.rtspinmode) {
    if (ip.empty()) {
      ReportMessage("rtsp ip is null");
      ReportGraphError(media::kInvalidArg, 0);
      return false;
    }
    address = RtspAddress(user, password, ip).substr(0, 1023);
  } else {
    address = FieldUtf8(ap_.infname).substr(0, 1023);
  }
  std::string input_name = FieldUtf8(ap_.inputname);
  if (input_name.empty()) input_name = InputName(ap_, ib_);
  const bool has_location = HasProperty(source_, "location");
  if (!has_location && !HasProperty(source_, "uri")) {
    ReportMessage("Cannot get IID_IFileSourceFilter");
    ReportGraphError(media::kNoInterface, 1003);
    return false;
  }
  // Loading: a file must be readable, a camera must describe its stream to us.
  if (ib_.rtspinmode) {
    r = media::ProbeRtsp(ip, user, password, 5000);
    if (!Failed(r)) {
      if (has_location && HasProperty(source_, "user-id")) {
        // Credentials go apart from the address, so that characters such as '@' or ':' in
        // them cannot be taken for a part of it.
        g_object_set(source_, "location", ("rtsp://" + ip).c_str(), nullptr);
        if (!user.empty())
          g_object_set(source_, "user-id", user.c_str(), "user-pw", password.c_str(), nullptr);
      } else {
        g_object_set(source_, has_location ? "location" : "uri", address.c_str(), nullptr);
      }
    }
  } else {
    FILE* f = std::fopen(address.c_str(), "rb");
    r = f ? media::kOk : (errno == EACCES ? media::kAccessDenied : media::kFileNotFound);
    if (f) std::fclose(f);
    if (!Failed(r)) {
      if (has_location) {
        g_object_set(source_, "location", address.c_str(), nullptr);
      } else {
        gchar* uri = gst_filename_to_uri(address.c_str(), nullptr);
        g_object_set(source_, "uri", uri, nullptr);
        g_free(uri);
      }
    }
  }
  if (Failed(r)) {
    ReportMessage("Could not Load %s (Check name,ip,id, PW...)", input_name.c_str());
    ReportGraphError(r, 1004);
    return false;
  }

  std::string decoder_name = FieldUtf8(ap_.dv_v_s_decoder);
  if (Named(decoder_name)) {
    GstElement* decoder = nullptr;
    FindFilterByName(DeviceCategory::AllFilters, nullptr, &decoder_name, &decoder, &counter);
    if (!decoder) {
      ReportMessage("UM701: No video decoder filter");
      ReportGraphError(media::kNotFound, 171);
      return false;
    }
    decoder_ = decoder;
    if (Failed(r = graph_->AddFilter(decoder_, "Decoder"))) {
      ReportMessage("UM701: Could not add video decoder filter");
      ReportGraphError(r, 172);
      return false;
    }
    if (Failed(r = graph_->RenderStream(PinCategory::None, MediaKind::Video, source_, nullptr,
                                        decoder_))) {
      ReportMessage("video source - decoder: Cannot connect");
      ReportGraphError(r, 173);
      return false;
    }
  } else if (!ib_.rtspinmode) {
    // A file is decoded once for its pictures and its sound alike.
    source_decoder_ = Keep(gst_element_factory_make("decodebin", nullptr));
    if (source_decoder_ && (Failed(graph_->AddFilter(source_decoder_, "Source Decoder")) ||
                            Failed(graph_->RenderStream(PinCategory::None, MediaKind::Video,
                                                        source_, nullptr, source_decoder_))))
      DropElement(source_decoder_);
  }

  SourceSubtypeChoice choice = ChooseSourceSubtype(FieldUtf8(ap_.forcc, kForccUnits));
  ib_.red_mode = choice.red_mode;
  if (!choice.changed) {
    ReportMessage("UM012:un supported fourcc");
  } else {
    ib_.host_subtype = choice.host_subtype;
  }
  // The detection filter gets frames of the expected subtype; decoders' own formats are
  // converted on the way.
  const char* format = Info(PixelFormatOfGuid(ib_.host_subtype)).raw_caps;
  if (format[0] != '\0') {
    std::string description = std::string("capsfilter caps=video/x-raw,format=") + format;
    if (ib_.rtspinmode) {
      // Network cameras do not tell their frame rate; the recording needs one.
      const int rate_n = ib_.fps > 0.01 ? static_cast<int>(ib_.fps * 1000 + 0.5) : 30000;
      const int rate_d = ib_.fps > 0.01 ? 1000 : 1001;
      description += " ! capssetter caps=video/x-raw,framerate=" + std::to_string(rate_n) + "/" +
                     std::to_string(rate_d);
    }
    GError* error = nullptr;
    source_format_ = Keep(gst_parse_bin_from_description(description.c_str(), TRUE, &error));
    if (error) g_error_free(error);
    if (source_format_) graph_->AddFilter(source_format_, "Source Format");
  }
  return true;
}

Result LiveGraph::JoinSourceToFilter(bool* reported) {
  Result r;
  if (ib_.filterinmode) {
    GstElement* from = decoder_ ? decoder_ : source_decoder_ ? source_decoder_ : source_;
    r = graph_->RenderStream(PinCategory::None, MediaKind::Video, from, source_format_, zav_);
    if (Failed(r)) {
      ReportGraphError(r, errno);
      *reported = true;
    }
    return r;
  }
  if (Named(FieldUtf8(ap_.dv_v_d_decoder))) return DvJoin();
  GstElement* from = vcap_format_ ? vcap_format_ : vcap_;
  r = graph_->RenderStream(PinCategory::Preview, MediaKind::Video, from, nullptr, zav_);
  if (Failed(r)) {
    r = graph_->RenderStream(PinCategory::Capture, MediaKind::Video, from, nullptr, zav_);
    if (Failed(r)) {
      ReportGraphError(r, 0);
      *reported = true;
    }
  }
  return r;
}

Result LiveGraph::DvJoin() {
  if (FieldUtf8(ap_.dv_audio_device).starts_with("=")) ib_.audio_48k = 1;
  auto step_failed = [this](const char* text, Result r) {
    ReportMessage("%s", text);
    ReportGraphError(r, errno);
    return r;
  };
  dv_splitter_ = Keep(gst_element_factory_make("dvdemux", nullptr));
  if (!dv_splitter_)
    return step_failed("UE027: DVCannot create DVsplitter instance", media::kNoInterface);
  Result r = graph_->AddFilter(dv_splitter_, "DV Splitter");
  if (Failed(r)) return step_failed("UE028: DVCannot add DVsplitter", r);
  std::string name = FieldUtf8(ap_.dv_v_d_decoder);
  int counter = 0;
  GstElement* decoder = nullptr;
  FindFilterByName(DeviceCategory::AllFilters, nullptr, &name, &decoder, &counter);
  if (!decoder) return step_failed("UM701: No video decoder filter", media::kNotFound);
  dv_decoder_ = decoder;
  if (Failed(r = graph_->AddFilter(dv_decoder_, "DevDecoder")))
    return step_failed("UE030: Cannot add DeviceDecorder", r);
  if (ib_.cy < 480 && HasProperty(dv_decoder_, "quality")) {
    // Half resolution: the decoder's fastest, lowest-quality setting.
    g_object_set(dv_decoder_, "quality", 0, nullptr);
  }
  GstElement* from = vcap_format_ ? vcap_format_ : vcap_;
  if (Failed(r = graph_->RenderStream(PinCategory::Capture, MediaKind::Interleaved, from, nullptr,
                                      dv_splitter_)))
    return step_failed("UE010-5:Cannot connect to DVDecoder ", r);
  r = graph_->RenderStream(PinCategory::None, MediaKind::Video, dv_splitter_, dv_decoder_, zav_);
  if (Failed(r)) ReportGraphError(r, 0);
  return r;
}

int LiveGraph::BuildAudioPath() {
  auto fail = [this](int code, const char* text, Result result) {
    ReportMessage("%s", text);
    FailEnd(code, result);
    return -1;
  };
  std::string audio = FieldUtf8(ap_.dv_audio_device);
  GstElement* audio_source = nullptr;
  Result r;
  if (audio.starts_with("=")) {
    audio_from_video_source_ = true;
    audio_source = ib_.filterinmode ? source_ : vcap_;
  } else {
    int counter = 1;
    GstElement* device = nullptr;
    FindFilterByName(DeviceCategory::AudioInput, nullptr, &audio, &device, &counter);
    if (!device) return fail(111, "UM011: No audio capture device", media::kNotFound);
    acap_ = device;
    if (Failed(r = graph_->AddFilter(acap_, "ACap")))
      return fail(121, "UE021: Cannot add audio capture device", r);
    audio_source = acap_;
  }
  ListCrossbarInputs(vcap_, acap_, ap_.vpin, ap_.apin);
  RouteCrossbars(vcap_, acap_, ap_.vpin, ap_.apin);
  if (!audio_source) return fail(35, "UE035:Cannot get audio pin", media::kNotFound);

  std::string decoder_name = FieldUtf8(ap_.dv_a_decoder);
  GstElement* from = audio_source;
  if (Named(decoder_name)) {
    int counter = 0;
    GstElement* decoder = nullptr;
    FindFilterByName(DeviceCategory::AllFilters, nullptr, &decoder_name, &decoder, &counter);
    if (!decoder) return fail(171, "UM701: No audio decoder filter", media::kNotFound);
    adecoder_ = decoder;
    if (Failed(r = graph_->AddFilter(adecoder_, "ADecoder")))
      return fail(172, "UM701: Could not add audio decoder filter", r);
    if (Failed(r = graph_->RenderStream(PinCategory::None, MediaKind::Audio, audio_source, nullptr,
                                        adecoder_)))
      return fail(173, "audio source - decoder: Cannot connect", r);
    from = adecoder_;
  } else if (audio_from_video_source_ && source_decoder_) {
    // A file's sound comes out of the same decoding as its pictures.
    from = source_decoder_;
  }

  audio_tee_ = Keep(gst_element_factory_make("tee", nullptr));
  if (!audio_tee_) return fail(36, "UE036: Cannot create Inftee", media::kNoInterface);
  if (Failed(r = graph_->AddFilter(audio_tee_, "AudioTee")))
    return fail(37, "UE037: Cannot add Inftee", r);
  g_object_set(audio_tee_, "allow-not-linked", TRUE, nullptr);
  GstElement* speaker = gst_element_factory_make("autoaudiosink", nullptr);
  if (!speaker) speaker = gst_element_factory_make("fakesink", nullptr);
  sound_renderer_ = Keep(speaker);
  if (!sound_renderer_) return fail(38, "UE038: Cannot create Sound Renderer", media::kNoInterface);
  if (Failed(r = graph_->AddFilter(sound_renderer_, "Sound Renderer")))
    return fail(39, "UE039: Cannot add SRD", r);
  if (Failed(r = graph_->RenderStream(PinCategory::None, MediaKind::Audio, from, audio_tee_,
                                      sound_renderer_)))
    return fail(419, "UE019:Cannot render audio preview stream", r);
  return 0;
}

Result LiveGraph::HostDetectionFilter() {
  auto refuse = [this](Result result) {
    ReportGraphError(result, errno);
    return result;
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

  GstElement* filter = gst_element_factory_make(kDetectFilterFactory, nullptr);
  if (!filter) {
    // Not registered: load the plugin file from the start-up directory (then from the
    // program's own directory, where the build puts it) and try again.
    char exe[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string exe_dir = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string();
    exe_dir = exe_dir.substr(0, exe_dir.rfind('/'));
    for (const std::string& dir : {app_.state.startupDir, exe_dir}) {
      if (filter || dir.empty()) continue;
      const std::string path = dir + "/" + kDetectFilterLibrary;
      GstPlugin* plugin = gst_plugin_load_file(path.c_str(), nullptr);
      if (plugin) {
        gst_object_unref(plugin);
        filter = gst_element_factory_make(kDetectFilterFactory, nullptr);
      }
    }
  }
  if (!filter) {
    ReportMessage(
        "UM019: Cannot find ZAVIPF \n Please put libzavipf.so in the start-up directory, beside "
        "zavip or in a folder named by GST_PLUGIN_PATH (or reinstall the package) and try again");
    return refuse(media::kNoInterface);
  }
  zav_ = Keep(filter);
  GstPad* clip_out = gst_element_get_static_pad(zav_, "Output2");
  gst_pad_add_probe(
      clip_out, GST_PAD_PROBE_TYPE_BUFFER,
      [](GstPad*, GstPadProbeInfo*, gpointer self) {
        static_cast<LiveGraph*>(self)->branch_has_frames_ = true;
        return GST_PAD_PROBE_OK;
      },
      this, nullptr);
  gst_object_unref(clip_out);
  Result r = graph_->AddFilter(zav_, "ZavFilter");
  if (Failed(r)) {
    ReportMessage("UE023: Cannot add ZavFilter to graph");
    return refuse(r);
  }
  if (!g_signal_lookup("attach-block", G_OBJECT_TYPE(zav_))) {
    ReportMessage("UE024: Cannot Find IZAVIPF interface");
    return refuse(media::kNoInterface);
  }
  gint version = 0;
  gint reserved = 0;
  gint result = 0;
  g_signal_emit_by_name(zav_, "attach-block", static_cast<gpointer>(&ib_),
                        static_cast<gpointer>(&version), static_cast<gpointer>(&reserved), &result);
  if (version != kZavipfVersion) {
    ReportMessage(
        "UM020: ZAVIPF version invalid. Please remove any older libzavipf.so on GST_PLUGIN_PATH "
        "or in the start-up directory, or reinstall the package");
    return refuse(media::kNoInterface);
  }
  return result;
}

int LiveGraph::BuildRecordBranch() {
  const std::string db_dir = FieldUtf8(ap_.db_dir);
  int free_mb = FreeDiskMB(db_dir);
  if (hooks_.show_free_space) hooks_.show_free_space(free_mb);
  if (free_mb < ap_.limit_MB) {
    if (ap_.limit_stop) {
      ReportMessage("UM003: HDD Space limit. Please Stop and delete old files");
      return 0;
    }
    DiskSpaceOutcome outcome = MakeDiskSpace(free_mb, ap_.limit_MB, DayDir(), db_dir);
    if (!outcome.met) {
      ReportMessage("%s", outcome.message.c_str());
      return 0;
    }
    if (hooks_.show_free_space) hooks_.show_free_space(outcome.free_mb);
  }

  Result r;
  std::string codec = FieldUtf8(ap_.dv_out_codec);
  if (codec != kUncompressedEntry) {
    int counter = 1;
    GstElement* compressor = nullptr;
    FindFilterByName(DeviceCategory::VideoCompressor, nullptr, &codec, &compressor, &counter);
    state_.rec_mode = 3;
    compressor_ = compressor;
    if (!compressor_ || Failed(graph_->AddFilter(compressor_, "Codec"))) {
      ReportMessage("DXE02007: Cannot add codec");
      return 0;
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
    return 0;
  }
  mux_ = GST_ELEMENT(gst_object_ref(mux));
  writer_ = GST_ELEMENT(gst_object_ref(writer));
  {
    std::lock_guard lock(writer_mutex_);
    writer_done_ = false;
    writer_got_data_ = false;
  }
  branch_has_frames_ = false;
  GstPad* writer_in = gst_element_get_static_pad(writer_, "sink");
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
  if (nv12 && !compressor_) {
    GstElement* converter = media::RegisterCnv2yu()
                                ? gst_element_factory_make(media::kCnv2yuFactory, nullptr)
                                : nullptr;
    if (!converter) {
      ReportMessage("UE801: Cannot CreateInstance NV2YU");
      return 0;
    }
    converter_ = Keep(converter);
    if (Failed(graph_->AddFilter(converter_, "NV2YU_Codec"))) {
      ReportMessage("UE802: Cannot Add NV2YU");
      return 0;
    }
  }
  GstElement* through = converter_ ? converter_ : compressor_;
  if (Failed(r = graph_->RenderStream(PinCategory::None, MediaKind::Video, zav_, through, mux_))) {
    ReportMessage(converter_ ? "UE009:Cannot render U->N->Mux" : "UE009:Cannot render U->C->Mux");
    std::this_thread::sleep_for(std::chrono::seconds(10));
    return 0;
  }
  if (audio_tee_) graph_->RenderStream(PinCategory::None, MediaKind::Audio, audio_tee_, zav_, mux_);
  if (playing_) {
    // A branch added between clips joins the running graph.
    for (GstElement* e : {writer_, mux_, converter_, compressor_})
      if (e) gst_element_sync_state_with_parent(e);
    // A source that ended while the old branch was being taken down left its end of stream
    // on the filter's outputs only; the new branch must see it too, or the graph never
    // reports the end.
    for (const char* name : {"Output2", "Audio Capture"}) {
      GstPad* out = gst_element_get_static_pad(zav_, name);
      if (!out) continue;
      GstEvent* eos = gst_pad_get_sticky_event(out, GST_EVENT_EOS, 0);
      GstPad* peer = eos ? gst_pad_get_peer(out) : nullptr;
      if (peer) {
        gst_pad_send_event(peer, eos);
        gst_object_unref(peer);
      } else if (eos) {
        gst_event_unref(eos);
      }
      gst_object_unref(out);
    }
  }
  return 1;
}

bool LiveGraph::FinishRecordFile() {
  if (!writer_ || !zav_) return true;
  {
    std::lock_guard lock(writer_mutex_);
    if (writer_done_ || !writer_got_data_) return true;
  }
  // End of stream into the branch: the multiplexer writes its index and header sizes and
  // passes the end on to the writer.
  for (const char* name : {"Output2", "Audio Capture"}) {
    GstPad* out = gst_element_get_static_pad(zav_, name);
    if (!out) continue;
    GstPad* peer = gst_pad_get_peer(out);
    if (peer) {
      gst_pad_send_event(peer, gst_event_new_eos());
      gst_object_unref(peer);
    }
    gst_object_unref(out);
  }
  std::unique_lock lock(writer_mutex_);
  return writer_done_cv_.wait_for(lock, std::chrono::seconds(10), [this] { return writer_done_; });
}

void LiveGraph::RemoveDownstream(GstElement* element, std::vector<GstElement*>& removed) {
  for (GstElement* e : removed)
    if (e == element) return;
  std::vector<GstElement*> next;
  GST_OBJECT_LOCK(element);
  for (GList* l = element->srcpads; l; l = l->next) {
    GstPad* peer = gst_pad_get_peer(GST_PAD(l->data));
    if (peer) {
      GstElement* e = gst_pad_get_parent_element(peer);
      if (e) next.push_back(e);
      gst_object_unref(peer);
    }
  }
  GST_OBJECT_UNLOCK(element);
  for (GstElement* e : next) {
    RemoveDownstream(e, removed);
    gst_object_unref(e);
  }
  removed.push_back(element);
  graph_->RemoveFilter(element);
}

void LiveGraph::DropElement(GstElement*& element) {
  if (element) gst_object_unref(element);
  element = nullptr;
}

void LiveGraph::TearDownRecordBranch() {
  if (!graph_) return;
  if (!FinishRecordFile())
    ReportMessage("The recording file %s could not be finished", state_.rec_file.c_str());
  std::vector<GstElement*> removed;
  for (const char* name : {"Output2", "Audio Capture"}) {
    GstPad* out = zav_ ? gst_element_get_static_pad(zav_, name) : nullptr;
    if (!out) continue;
    GstPad* peer = gst_pad_get_peer(out);
    if (peer) {
      GstElement* next = gst_pad_get_parent_element(peer);
      if (next) {
        RemoveDownstream(next, removed);
        gst_object_unref(next);
      }
      gst_object_unref(peer);
    }
    gst_object_unref(out);
  }
  if (audio_tee_) {
    std::vector<GstPad*> outputs;
    GST_OBJECT_LOCK(audio_tee_);
    for (GList* l = audio_tee_->srcpads; l; l = l->next)
      outputs.push_back(GST_PAD(gst_object_ref(l->data)));
    GST_OBJECT_UNLOCK(audio_tee_);
    // The tee outputs that feed the detection filter (every one but the sound renderer's)
    // go, with the helpers (queues, converters) between them and the filter.
    for (GstPad* output : outputs) {
      std::vector<GstElement*> chain;
      bool to_filter = false;
      GstPad* pad = GST_PAD(gst_object_ref(output));
      while (pad && chain.size() < 8) {
        GstPad* peer = gst_pad_get_peer(pad);
        gst_object_unref(pad);
        pad = nullptr;
        GstElement* next = peer ? gst_pad_get_parent_element(peer) : nullptr;
        if (peer) gst_object_unref(peer);
        if (!next) break;
        if (next == zav_) {
          to_filter = true;
          gst_object_unref(next);
          break;
        }
        chain.push_back(next);
        pad = gst_element_get_static_pad(next, "src");
      }
      if (pad) gst_object_unref(pad);
      if (to_filter) {
        graph_->Disconnect(output);
        for (GstElement* helper : chain) graph_->RemoveFilter(helper);
      }
      for (GstElement* helper : chain) gst_object_unref(helper);
      gst_object_unref(output);
    }
  }
  DropElement(writer_);
  DropElement(mux_);
  DropElement(converter_);
  DropElement(compressor_);
}

Result LiveGraph::Run() {
  if (!graph_) return media::kWrongState;
  if (playing_) {
    // Between clips: the detection filter runs again; the source has kept running.
    gst_element_set_state(zav_, GST_STATE_PAUSED);
    return gst_element_set_state(zav_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ? media::kFail
                                                                                      : media::kOk;
  }
  Result r = graph_->Run();
  playing_ = !Failed(r);
  return r;
}

Result LiveGraph::StopForClip() {
  return graph_ ? media::kOk : media::kWrongState;
}

Result LiveGraph::Stop() {
  if (!graph_) return media::kWrongState;
  if (hooks_.graph_stopping) hooks_.graph_stopping();
  if (!FinishRecordFile())
    ReportMessage("The recording file %s could not be finished", state_.rec_file.c_str());
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
        ReportMessage("UE042: Playback ERRORABORT - 0x%08lx). Aborting...\r\n",
                      static_cast<unsigned long>(static_cast<uint32_t>(event.param1)));
      }
      if (hooks_.graph_failed) hooks_.graph_failed();
      return;
    }
  }
}

void LiveGraph::FreeBuffers() {
  buffers_.Release(ib_);
}

void LiveGraph::ReleaseLiveGraph() {
  // Streaming must have ended before the buffers the filter works in are freed.
  if (graph_) {
    if (hooks_.graph_stopping) hooks_.graph_stopping();
    graph_->Stop();
  }
  playing_ = false;
  FreeBuffers();
  for (GstElement** e :
       {&renderer_, &writer_, &mux_, &avi_decompressor_, &dv_decoder_, &dv_splitter_, &zav_,
        &compressor_, &converter_, &sound_renderer_, &audio_tee_, &adecoder_, &acap_, &decoder_,
        &source_decoder_, &source_format_, &vcap_format_, &vcap_, &source_})
    DropElement(*e);
  audio_from_video_source_ = false;
  graph_.reset();
}

}  // namespace orvanta::capture
