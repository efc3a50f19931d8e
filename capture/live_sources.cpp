#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app/messages.h"
#include "app/text_utf.h"
#include "capture/device_catalogue.h"
#include "capture/live_graph.h"
#include "capture/live_graph_steps.h"
#include "capture/media/rtsp_probe.h"
#include "detectfilter/pixel_format.h"

namespace orvanta::capture {

std::string RtspAddress(const std::string& user, const std::string& password,
                        const std::string& ip) {
  return user.empty() ? "rtsp://" + ip : "rtsp://" + user + ":" + password + "@" + ip;
}

std::string InputName(bool filter_mode, bool rtsp_mode, const std::string& video_device,
                      const std::string& rtsp_ip, const std::string& file) {
  if (!filter_mode) return video_device;
  return rtsp_mode ? rtsp_ip : file;
}

std::string InputName(const AppParams& ap, const DetectionBlock& block) {
  return InputName(block.filterinmode != 0, block.rtspinmode != 0, FieldUtf8(ap.dv_video_device),
                   FieldUtf8(ap.rtsp_ip), FieldUtf8(ap.infname));
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
  parts_.vcap.reset(device);
  Result r = graph_->AddFilter(parts_.vcap, "VCap");
  if (Failed(r)) {
    ReportMessage("UE020: Cannot add video capture device");
    ReportGraphError(r, errno);
    return false;
  }
  // The device is opened so that it can say what it delivers.
  gst_element_set_state(parts_.vcap, GST_STATE_READY);
  media::PadRef pin(graph_->FindPin(parts_.vcap, media::PinDirection::Output, PinCategory::Capture,
                                    MediaKind::Video, 0));
  if (!pin)
    pin.reset(graph_->FindPin(parts_.vcap, media::PinDirection::Output, PinCategory::Preview,
                              MediaKind::Video, 0));
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
    if (format.caps) gst_caps_unref(format.caps);
    ReportGraphError(format.result, errno);
    return false;
  }
  // The format is held by a caps filter right behind the device.
  parts_.vcap_format.reset(gst_element_factory_make("capsfilter", nullptr));
  g_object_set(parts_.vcap_format, "caps", format.caps, nullptr);
  gst_caps_unref(format.caps);
  graph_->AddFilter(parts_.vcap_format, "VCap Format");
  media::PadRef in(gst_element_get_static_pad(parts_.vcap_format, "sink"));
  if (!GST_PAD_LINK_SUCCESSFUL(gst_pad_link(pin, in))) {
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
  parts_.source.reset(source);
  Result r = graph_->AddFilter(parts_.source, "rtspsorce");
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
  const bool has_location = HasProperty(parts_.source, "location");
  if (!has_location && !HasProperty(parts_.source, "uri")) {
    ReportMessage("Cannot get IID_IFileSourceFilter");
    ReportGraphError(media::kNoInterface, 1003);
    return false;
  }
  // Loading: a file must be readable, a camera must describe its stream to us.
  if (ib_.rtspinmode) {
    r = media::ProbeRtsp(ip, user, password, 5000);
    if (!Failed(r)) {
      if (has_location && HasProperty(parts_.source, "user-id")) {
        // Credentials go apart from the address, so that characters such as '@' or ':' in
        // them cannot be taken for a part of it.
        g_object_set(parts_.source, "location", ("rtsp://" + ip).c_str(), nullptr);
        if (!user.empty())
          g_object_set(parts_.source, "user-id", user.c_str(), "user-pw", password.c_str(),
                       nullptr);
      } else {
        g_object_set(parts_.source, has_location ? "location" : "uri", address.c_str(), nullptr);
      }
    }
  } else {
    // Without waiting: a FIFO opened for reading waits for a writer, and nothing could
    // end that wait.
    const int fd = ::open(address.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    r = fd >= 0 ? media::kOk : (errno == EACCES ? media::kAccessDenied : media::kFileNotFound);
    if (fd >= 0) ::close(fd);
    if (!Failed(r)) {
      if (has_location) {
        g_object_set(parts_.source, "location", address.c_str(), nullptr);
      } else {
        gchar* uri = gst_filename_to_uri(address.c_str(), nullptr);
        g_object_set(parts_.source, "uri", uri, nullptr);
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
    parts_.decoder.reset(decoder);
    if (Failed(r = graph_->AddFilter(parts_.decoder, "Decoder"))) {
      ReportMessage("UM701: Could not add video decoder filter");
      ReportGraphError(r, 172);
      return false;
    }
    if (Failed(r = graph_->RenderStream(PinCategory::None, MediaKind::Video, parts_.source, nullptr,
                                        parts_.decoder))) {
      ReportMessage("video source - decoder: Cannot connect");
      ReportGraphError(r, 173);
      return false;
    }
  } else if (!ib_.rtspinmode) {
    // A file is decoded once for its pictures and its sound alike.
    parts_.source_decoder.reset(gst_element_factory_make("decodebin", nullptr));
    if (parts_.source_decoder &&
        (Failed(graph_->AddFilter(parts_.source_decoder, "Source Decoder")) ||
         Failed(graph_->RenderStream(PinCategory::None, MediaKind::Video, parts_.source, nullptr,
                                     parts_.source_decoder))))
      parts_.source_decoder.reset();
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
    parts_.source_format.reset(gst_parse_bin_from_description(description.c_str(), TRUE, &error));
    if (error) g_error_free(error);
    if (parts_.source_format) graph_->AddFilter(parts_.source_format, "Source Format");
  }
  return true;
}

Result LiveGraph::JoinSourceToFilter() {
  Result r;
  if (ib_.filterinmode) {
    GstElement* from = parts_.decoder          ? parts_.decoder
                       : parts_.source_decoder ? parts_.source_decoder
                                               : parts_.source;
    r = graph_->RenderStream(PinCategory::None, MediaKind::Video, from, parts_.source_format,
                             parts_.zav);
    if (Failed(r)) ReportGraphError(r, errno);
    return r;
  }
  if (Named(FieldUtf8(ap_.dv_v_d_decoder))) return DvJoin();
  GstElement* from = parts_.vcap_format ? parts_.vcap_format : parts_.vcap;
  r = graph_->RenderStream(PinCategory::Preview, MediaKind::Video, from, nullptr, parts_.zav);
  if (Failed(r)) {
    r = graph_->RenderStream(PinCategory::Capture, MediaKind::Video, from, nullptr, parts_.zav);
    if (Failed(r)) ReportGraphError(r, 0);
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
  parts_.dv_splitter.reset(gst_element_factory_make("dvdemux", nullptr));
  if (!parts_.dv_splitter)
    return step_failed("UE027: DVCannot create DVsplitter instance", media::kNoInterface);
  Result r = graph_->AddFilter(parts_.dv_splitter, "DV Splitter");
  if (Failed(r)) return step_failed("UE028: DVCannot add DVsplitter", r);
  std::string name = FieldUtf8(ap_.dv_v_d_decoder);
  int counter = 0;
  GstElement* decoder = nullptr;
  FindFilterByName(DeviceCategory::AllFilters, nullptr, &name, &decoder, &counter);
  if (!decoder) return step_failed("UM701: No video decoder filter", media::kNotFound);
  parts_.dv_decoder.reset(decoder);
  if (Failed(r = graph_->AddFilter(parts_.dv_decoder, "DevDecoder")))
    return step_failed("UE030: Cannot add DeviceDecorder", r);
  if (ib_.cy < 480 && HasProperty(parts_.dv_decoder, "quality")) {
    // Half resolution: the decoder's fastest, lowest-quality setting.
    g_object_set(parts_.dv_decoder, "quality", 0, nullptr);
  }
  GstElement* from = parts_.vcap_format ? parts_.vcap_format : parts_.vcap;
  if (Failed(r = graph_->RenderStream(PinCategory::Capture, MediaKind::Interleaved, from, nullptr,
                                      parts_.dv_splitter)))
    return step_failed("UE010-5:Cannot connect to DVDecoder ", r);
  r = graph_->RenderStream(PinCategory::None, MediaKind::Video, parts_.dv_splitter,
                           parts_.dv_decoder, parts_.zav);
  if (Failed(r)) ReportGraphError(r, 0);
  return r;
}

bool LiveGraph::BuildAudioPath() {
  auto fail = [this](int code, const char* text, Result result) {
    ReportMessage("%s", text);
    FailEnd(code, result);
    return false;
  };
  std::string audio = FieldUtf8(ap_.dv_audio_device);
  GstElement* audio_source = nullptr;
  Result r;
  if (audio.starts_with("=")) {
    audio_from_video_source_ = true;
    audio_source = ib_.filterinmode ? parts_.source : parts_.vcap;
  } else {
    int counter = 1;
    GstElement* device = nullptr;
    FindFilterByName(DeviceCategory::AudioInput, nullptr, &audio, &device, &counter);
    if (!device) return fail(111, "UM011: No audio capture device", media::kNotFound);
    parts_.acap.reset(device);
    if (Failed(r = graph_->AddFilter(parts_.acap, "ACap")))
      return fail(121, "UE021: Cannot add audio capture device", r);
    audio_source = parts_.acap;
  }
  ListCrossbarInputs(parts_.vcap, parts_.acap, ap_.vpin, ap_.apin);
  RouteCrossbars(parts_.vcap, parts_.acap, ap_.vpin, ap_.apin);
  if (!audio_source) return fail(35, "UE035:Cannot get audio pin", media::kNotFound);

  std::string decoder_name = FieldUtf8(ap_.dv_a_decoder);
  GstElement* from = audio_source;
  if (Named(decoder_name)) {
    int counter = 0;
    GstElement* decoder = nullptr;
    FindFilterByName(DeviceCategory::AllFilters, nullptr, &decoder_name, &decoder, &counter);
    if (!decoder) return fail(171, "UM701: No audio decoder filter", media::kNotFound);
    parts_.adecoder.reset(decoder);
    if (Failed(r = graph_->AddFilter(parts_.adecoder, "ADecoder")))
      return fail(172, "UM701: Could not add audio decoder filter", r);
    if (Failed(r = graph_->RenderStream(PinCategory::None, MediaKind::Audio, audio_source, nullptr,
                                        parts_.adecoder)))
      return fail(173, "audio source - decoder: Cannot connect", r);
    from = parts_.adecoder;
  } else if (audio_from_video_source_ && parts_.source_decoder) {
    // A file's sound comes out of the same decoding as its pictures.
    from = parts_.source_decoder;
  }

  parts_.audio_tee.reset(gst_element_factory_make("tee", nullptr));
  if (!parts_.audio_tee) return fail(36, "UE036: Cannot create Inftee", media::kNoInterface);
  if (Failed(r = graph_->AddFilter(parts_.audio_tee, "AudioTee")))
    return fail(37, "UE037: Cannot add Inftee", r);
  g_object_set(parts_.audio_tee, "allow-not-linked", TRUE, nullptr);
  GstElement* speaker = gst_element_factory_make("autoaudiosink", nullptr);
  if (!speaker) speaker = gst_element_factory_make("fakesink", nullptr);
  parts_.sound_renderer.reset(speaker);
  if (!parts_.sound_renderer)
    return fail(38, "UE038: Cannot create Sound Renderer", media::kNoInterface);
  if (Failed(r = graph_->AddFilter(parts_.sound_renderer, "Sound Renderer")))
    return fail(39, "UE039: Cannot add SRD", r);
  if (Failed(r = graph_->RenderStream(PinCategory::None, MediaKind::Audio, from, parts_.audio_tee,
                                      parts_.sound_renderer)))
    return fail(419, "UE019:Cannot render audio preview stream", r);
  return true;
}

}  // namespace orvanta::capture
