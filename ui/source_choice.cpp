#include "ui/source_choice.h"

#include "app/text_utf.h"
#include "capture/live_graph.h"

namespace orvanta::ui {
namespace {

template <size_t N>
std::string ListName(const char16_t (&field)[N]) {
  std::string name = FieldUtf8(field);
  return name.empty() ? kNoneEntry : name;
}

template <size_t N>
void Store(char16_t (&field)[N], const std::string& text) {
  SetField(field, Utf8ToUtf16(text));
}

// The device list has no "--": a camera never chosen stays unnamed, which takes the first
// camera at the next start, rather than naming no camera at all.
std::string StoredDeviceName(const std::string& shown) {
  return shown == kNoneEntry ? std::string() : shown;
}

}  // namespace

std::string SourceChoice::InputName() const {
  return capture::InputName(filter_mode, rtsp_mode, StoredDeviceName(video_device), rtsp_ip,
                            infname);
}

SourceChoice LoadSourceChoice(const AppContext& app) {
  const AppParams& ap = app.ap;
  SourceChoice c;
  c.video_device = ListName(ap.dv_video_device);
  c.device_decoder = ListName(ap.dv_v_d_decoder);
  c.source_filter = ListName(ap.dv_v_s_filter);
  c.filter_decoder = ListName(ap.dv_v_s_decoder);
  c.audio_device = ListName(ap.dv_audio_device);
  c.audio_decoder = ListName(ap.dv_a_decoder);
  c.rtsp_uname = FieldUtf8(ap.rtsp_uname);
  c.rtsp_pword = FieldUtf8(ap.rtsp_pword);
  c.rtsp_ip = FieldUtf8(ap.rtsp_ip);
  c.infname = FieldUtf8(ap.infname);
  c.filter_mode = app.ib.filterinmode != 0;
  c.rtsp_mode = app.ib.rtspinmode != 0;
  c.continuous = app.ib.continuousdetection != 0;
  return c;
}

void SaveSourceChoice(const SourceChoice& c, AppContext& app) {
  AppParams& ap = app.ap;
  Store(ap.dv_video_device, StoredDeviceName(c.video_device));
  Store(ap.dv_v_d_decoder, c.device_decoder);
  Store(ap.dv_v_s_filter, c.source_filter);
  Store(ap.dv_v_s_decoder, c.filter_decoder);
  Store(ap.dv_audio_device, c.audio_device);
  Store(ap.dv_a_decoder, c.audio_decoder);
  Store(ap.rtsp_uname, c.rtsp_uname);
  Store(ap.rtsp_pword, c.rtsp_pword);
  Store(ap.rtsp_ip, c.rtsp_ip);
  Store(ap.infname, c.infname);
  Store(ap.inputname, c.InputName());
  app.ib.filterinmode = c.filter_mode;
  app.ib.rtspinmode = c.rtsp_mode;
  app.ib.continuousdetection = c.continuous;
}

SourceModeView ViewOfMode(const SourceChoice& c) {
  SourceModeView v;
  if (!c.filter_mode) {
    v.device_lists = true;
    return v;
  }
  v.filter_lists = true;
  v.continuous = true;
  v.account = c.rtsp_mode;
  v.file = !c.rtsp_mode;
  return v;
}

}  // namespace orvanta::ui
