// Commands posted to the live thread, and its end-of-clip notice.
#pragma once

namespace orvanta::capture {

inline constexpr int kLiveCommandEvent = 1125;
inline constexpr int kClipEndEvent = 1225;
inline constexpr int kGraphNotifyEvent = 1216;  // the live graph has events waiting
inline constexpr int kLiveTaskEvent = 1126;     // work queued behind the commands

enum LiveCommand : int {
  kHello = 1,
  kStartGraph = 2,
  kStopGraph = 3,
  kDetectOn = 4,
  kDetectOff = 5,
  kForceRecOn = 6,
  kForceRecOff = 7,
  kShutdown = 14,
};

}  // namespace orvanta::capture
