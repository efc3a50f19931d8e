#include "capture/source_watch.h"

#include <algorithm>

namespace orvanta::capture {

SourceWatch::Step SourceWatch::Lose(int64_t now_ms, bool first) {
  state_ = State::kLost;
  pause_ms_ = first ? times_.first_retry_ms : std::min(pause_ms_ * 2, times_.max_retry_ms);
  retry_at_ms_ = now_ms + pause_ms_;
  if (!first) return Step::kStopAgain;
  ++drops_;
  return Step::kLost;
}

SourceWatch::Step SourceWatch::Tick(int64_t now_ms, int64_t frames) {
  const bool fresh = frames != frames_;
  frames_ = frames;
  switch (state_) {
    case State::kUnarmed:
      if (fresh) {
        state_ = State::kWatching;
        last_frame_ms_ = now_ms;
      }
      return Step::kNone;
    case State::kWatching:
      if (fresh) {
        last_frame_ms_ = now_ms;
        return Step::kNone;
      }
      return now_ms - last_frame_ms_ >= times_.silence_ms ? Lose(now_ms, true) : Step::kNone;
    case State::kLost:
      if (now_ms < retry_at_ms_) return Step::kNone;
      state_ = State::kRetrying;
      started_ms_ = now_ms;
      return Step::kRetry;
    case State::kRetrying:
      if (fresh) {
        state_ = State::kWatching;
        last_frame_ms_ = now_ms;
        return Step::kBack;
      }
      return now_ms - started_ms_ >= times_.silence_ms ? Lose(now_ms, false) : Step::kNone;
  }
  return Step::kNone;
}

SourceWatch::Step SourceWatch::Failed(int64_t now_ms) {
  switch (state_) {
    case State::kWatching:
      return Lose(now_ms, true);
    case State::kRetrying:
      return Lose(now_ms, false);
    default:
      return Step::kNone;
  }
}

}  // namespace orvanta::capture
