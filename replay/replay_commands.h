// Commands posted to the replay thread, and the event that tells the window the replay graph
// has something to say.
#pragma once

namespace orvanta::replay {

inline constexpr int kReplayCommandEvent = 1135;
inline constexpr int kReplayGraphEvent = 1215;      // to the window: graph events waiting
inline constexpr int kReplayGraphWorkEvent = 1136;  // the thread takes the graph events

enum ReplayCommand : int {
  kHello = 1,
  kReplayClose = 8,
  kReplayPlay = 9,
  kReplayPause = 10,
  kReplayStepForward = 11,
  kReplayStepBack = 12,
  kReplaySeek = 13,  // value: the position in milliseconds
  kShutdown = 14,
};

// replay_state
enum ReplayState : int {
  kNoGraph = 0,
  kStopped = 2,
  kRunning = 3,
  kPaused = 4,
  kPausedAtChosen = 5,  // after a step or a seek
};

}  // namespace orvanta::replay
