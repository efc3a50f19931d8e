// What a running station tells about itself: the latest frame's level, the clip counter,
// the live state and the last finished clip. The status query on the session bus, the
// service manager's status line and `zavip-tool status` all speak of this one record.
#pragma once

#include <cstdint>
#include <string>

namespace orvanta::station {

// The status query's bus name, object and interface. A second station (another working
// directory) owns kStatusServiceName + ".Pid<PID>" instead.
inline constexpr const char* kStatusServiceName = "org.orvanta.Zavip";
inline constexpr const char* kStatusObjectPath = "/org/orvanta/Zavip";
inline constexpr const char* kStatusInterface = "org.orvanta.Zavip";

struct StationStatus {
  int32_t level = 0;      // largest brightness difference of the latest frame, 0..255
  int32_t clip_no = 0;    // the clip counter
  int live_state = 0;     // 0 idle, 1 previewing, 2 detecting
  std::string last_clip;  // final path of the last finished clip; empty before the first
};

// "idle", "previewing", "detecting" ("unknown" for anything else).
const char* LiveStateName(int live_state);
// The state a name stands for; -1 for a name that is none of them.
int LiveStateFromName(const std::string& name);
// The bus name of the instance with this process id when the first name is taken.
std::string StatusServiceNameForPid(long pid);
// The lines `zavip-tool status` prints: "level N", "clip_no N", "live STATE",
// "last_clip PATH" ("-" before the first clip).
std::string FormatStatus(const StationStatus& status);
// One line for the service manager's status field.
std::string StatusLine(const StationStatus& status);

}  // namespace orvanta::station
