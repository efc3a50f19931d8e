// The one-entry error log "DxErrLog.txt" that a failed live-graph step leaves in the
// working directory.
#pragma once

#include <string>

#include "capture/media/media_result.h"

namespace orvanta::capture {

inline constexpr const char* kGraphErrorLogName = "DxErrLog.txt";
inline constexpr const char* kRestartLogName = "DxErrLog2.txt";

struct GraphErrorReport {
  int code = 0;
  media::Result result = media::kOk;
  int cx = 0;
  int cy = 0;
  double fps = 0;
  std::string video_device;
  std::string audio_device;
  std::string codec;
  std::string fourcc;
  std::string format_error;
};

// The result's text, or "Unknown Error: 0x.." when it has none.
std::string ResultMessage(media::Result result);
std::string FormatGraphErrorLog(const GraphErrorReport& report);
// Replaces the log in `directory`; false when it cannot be written.
bool WriteGraphErrorLog(const std::string& directory, const GraphErrorReport& report);
// Appends one line to "DxErrLog2.txt"; nothing happens when it cannot be opened.
void AppendRestartLog(const std::string& directory, media::Result result);

}  // namespace orvanta::capture
