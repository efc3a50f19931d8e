// The live page's actions (Detect, Preview, Stop, Rec) and `live_state`, without widgets:
// the live page shows this state, the schedule and the live thread perform the same
// actions. Actions only post commands to the live thread and change this state; they take
// no lock (the state is read across threads as whole 32-bit values).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "detectfilter/zavipf.h"

namespace orvanta::capture {

enum LiveState : int { kIdle = 0, kPreviewing = 1, kDetecting = 2 };

struct LivePageHooks {
  std::function<void(int command)> post;    // to the live thread's queue
  std::function<void()> clear_ftp_failure;  // uploads resume
  std::function<void()> apply_font;         // text font metrics from the font size
  std::function<void()> reset_audio_meter;
  std::function<void(int period_ms)> start_refresh;  // the page's refresh timer
  std::function<void()> stop_refresh;
  std::function<void(int count)> set_schedule_holdoff;
  std::function<void()> refill_codec_list;
  std::function<void(bool running)> input_page_running;
  std::function<void()> refresh_status;
};

struct LiveButtons {
  bool detect = true;
  bool preview = true;
  bool stop = false;
  bool rec = false;
};

class LiveController {
 public:
  LiveController(DetectionBlock& block, LivePageHooks hooks);

  void Detect();
  void Preview();
  void Stop();
  // The Rec toggle. `by_timer` is the schedule's periodic pulse, which keeps timer_rec.
  void ToggleRec(bool by_timer = false);
  // For leaving the program: no new clip starts, and the clip being recorded ends with the
  // next frame (its tail cut short) and is finished like any other. Returns whether a clip
  // is still recording; called again until it is not, since the filter may have been
  // counting the tail down at the same moment.
  bool CutClipShort();

  int live_state() const { return live_state_.load(); }
  bool rec_on() const { return rec_on_.load(); }
  std::string rec_caption() const;
  LiveButtons buttons() const;
  std::string status_suffix() const;
  void set_status_suffix(const std::string& suffix);

  // Refresh period of the page: fps x 4 ms (truncated) above 0.01 fps, else 1000 ms.
  static int RefreshPeriodMs(double fps);

 private:
  void Activate();
  void Deactivate();
  void Post(int command);
  void SetButtons(LiveButtons buttons);

  DetectionBlock& block_;
  LivePageHooks hooks_;
  std::atomic<int> live_state_{kIdle};
  std::atomic<bool> rec_on_{false};
  std::atomic<int> rec_caption_{0};  // 0 "Rec", 1 "RecOff", 2 "REC"
  std::atomic<int> buttons_{0};
  mutable std::mutex suffix_mutex_;  // the FTP uploader writes it from the live thread
  std::string status_suffix_;
};

}  // namespace orvanta::capture
