#include "capture/graph_error_log.h"

#include <cstdio>

#include "app/file_owner.h"

namespace orvanta::capture {

std::string ResultMessage(media::Result result) {
  std::string text = media::ErrorText(result);
  if (!text.empty()) return text;
  char buf[64];
  std::snprintf(buf, sizeof buf, "Unknown Error: 0x%2x", static_cast<unsigned>(result));
  return buf;
}

std::string FormatGraphErrorLog(const GraphErrorReport& r) {
  std::string text = ResultMessage(r.result);
  int n = std::snprintf(nullptr, 0,
                        "error at %d msg %s  hr 0x%2x\n cx %d cy %d fps %f \n[video] %s [audio] "
                        "%s [codec] %s [format] %s\n",
                        r.code, text.c_str(), static_cast<unsigned>(r.result), r.cx, r.cy, r.fps,
                        r.video_device.c_str(), r.audio_device.c_str(), r.codec.c_str(),
                        r.fourcc.c_str());
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(),
                "error at %d msg %s  hr 0x%2x\n cx %d cy %d fps %f \n[video] %s [audio] %s "
                "[codec] %s [format] %s\n",
                r.code, text.c_str(), static_cast<unsigned>(r.result), r.cx, r.cy, r.fps,
                r.video_device.c_str(), r.audio_device.c_str(), r.codec.c_str(), r.fourcc.c_str());
  out.resize(static_cast<size_t>(n));
  if (!r.format_error.empty()) out += "error str:" + r.format_error + "\n";
  return out;
}

bool WriteGraphErrorLog(const std::string& directory, const GraphErrorReport& report) {
  const std::string path =
      (directory.empty() ? std::string(".") : directory) + "/" + kGraphErrorLogName;
  return WriteWholeFile(path, FormatGraphErrorLog(report)) == WriteFailure::None;
}

void AppendRestartLog(const std::string& directory, media::Result result) {
  const std::string path =
      (directory.empty() ? std::string(".") : directory) + "/" + kRestartLogName;
  FILE* f = std::fopen(path.c_str(), "a");
  if (!f) return;
  std::fprintf(f, "Dx could not start graph hr=0x%x\n", static_cast<unsigned>(result));
  std::fclose(f);
}

}  // namespace orvanta::capture
