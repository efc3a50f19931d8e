// The source settings dialog's private copies, without widgets: loaded from the settings,
// changed by the dialog, and written back only when the user accepts.
#pragma once

#include <string>

#include "app/app_params.h"

namespace orvanta::ui {

// Shown (and stored) for a device or decoder setting that names none.
inline constexpr const char* kNoneEntry = "--";
// The audio list's entry for the sound of the video source itself.
inline constexpr const char* kVideoSourceAudio = "= Video_source";

struct SourceChoice {
  std::string video_device;    // AP.dv_video_device
  std::string device_decoder;  // AP.dv_v_d_decoder
  std::string source_filter;   // AP.dv_v_s_filter
  std::string filter_decoder;  // AP.dv_v_s_decoder
  std::string audio_device;    // AP.dv_audio_device
  std::string audio_decoder;   // AP.dv_a_decoder
  std::string rtsp_uname;
  std::string rtsp_pword;  // held plain here; the settings file keeps it scrambled
  std::string rtsp_ip;     // address:port/stream, without the account
  std::string infname;
  bool filter_mode = false;  // IF.filterinmode: a source element (RTSP or file), not a device
  bool rtsp_mode = false;    // IF.rtspinmode
  bool continuous = false;   // IF.continuousdetection

  // The text that names the source in messages and on the input page.
  std::string InputName() const;
};

// The copies as the dialog starts: device and decoder names "--" when the setting is empty.
SourceChoice LoadSourceChoice(const AppContext& app);
// OK: every copy into its setting, the input name with them.
void SaveSourceChoice(const SourceChoice& choice, AppContext& app);

// Which of the dialog's controls the mode enables.
struct SourceModeView {
  bool device_lists = false;  // video device and its decoder
  bool filter_lists = false;  // source filter and its decoder
  bool account = false;       // user name, password, address
  bool file = false;          // file edit and its "..."
  bool continuous = false;
};
SourceModeView ViewOfMode(const SourceChoice& choice);

}  // namespace orvanta::ui
