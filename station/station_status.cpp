#include "station/station_status.h"

namespace orvanta::station {

const char* LiveStateName(int live_state) {
  switch (live_state) {
    case 0:
      return "idle";
    case 1:
      return "previewing";
    case 2:
      return "detecting";
    default:
      return "unknown";
  }
}

int LiveStateFromName(const std::string& name) {
  for (int state = 0; state <= 2; ++state) {
    if (name == LiveStateName(state)) return state;
  }
  return -1;
}

std::string StatusServiceNameForPid(long pid) {
  return std::string(kStatusServiceName) + ".Pid" + std::to_string(pid);
}

std::string FormatStatus(const StationStatus& status) {
  return "level " + std::to_string(status.level) + "\nclip_no " + std::to_string(status.clip_no) +
         "\nlive " + LiveStateName(status.live_state) + "\nlast_clip " +
         (status.last_clip.empty() ? std::string("-") : status.last_clip) + "\n";
}

std::string StatusLine(const StationStatus& status) {
  std::string line = std::string(LiveStateName(status.live_state)) + ", level " +
                     std::to_string(status.level) + ", clip " + std::to_string(status.clip_no);
  if (!status.last_clip.empty()) line += ", last " + status.last_clip;
  return line;
}

}  // namespace orvanta::station
