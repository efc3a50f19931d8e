// Watching a live source (a camera, a network camera) that must run all night: a source that
// stops sending pictures, or whose graph fails, after it had been delivering is noticed
// within seconds, stopped, and started again with a growing pause until pictures come back.
// Plain rules: the caller feeds the time and the count of frames received and carries out
// the steps.
#pragma once

#include <cstdint>

namespace orvanta::capture {

struct SourceWatchTimes {
  int64_t silence_ms = 5000;      // no frame for this long: the source has dropped
  int64_t first_retry_ms = 2000;  // pause before the first new start
  int64_t max_retry_ms = 60000;   // the pause doubles up to this
};

class SourceWatch {
 public:
  enum class Step {
    kNone,
    kLost,       // report once, stop (the clip being recorded is kept)
    kStopAgain,  // a new start brought no pictures: stop quietly
    kRetry,      // start the source again
    kBack,       // pictures again: report, detection goes on
  };

  explicit SourceWatch(SourceWatchTimes times = {}) : times_(times) {}

  // Called often (every few hundred ms) with the time and the frames received so far (a
  // count that never goes back).
  Step Tick(int64_t now_ms, int64_t frames);
  // The graph failed or could not be started.
  Step Failed(int64_t now_ms);

  // Armed once the source has delivered a first frame: a source that never worked is a
  // set-up error, not a drop, and is not retried.
  bool armed() const { return state_ != State::kUnarmed; }
  bool lost() const { return state_ == State::kLost || state_ == State::kRetrying; }
  int64_t retry_pause_ms() const { return pause_ms_; }
  int drops() const { return drops_; }

 private:
  enum class State { kUnarmed, kWatching, kLost, kRetrying };
  Step Lose(int64_t now_ms, bool first);

  SourceWatchTimes times_;
  State state_ = State::kUnarmed;
  int64_t frames_ = 0;
  int64_t last_frame_ms_ = 0;
  int64_t retry_at_ms_ = 0;
  int64_t started_ms_ = 0;
  int64_t pause_ms_ = 0;
  int drops_ = 0;
};

}  // namespace orvanta::capture
