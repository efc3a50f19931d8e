// The once-a-second detection schedule: two daily windows that start and
// stop detection, the interval trigger, the daily sun recomputation and the
// keep-alive file. The GUI's timer and the headless engine drive the same
// object; everything it does to the rest of the program goes through
// ScheduleActions, and it reads the time only through its clock.
#pragma once

#include <functional>
#include <string>

#include "app/app_params.h"
#include "detectfilter/zavipf.h"
#include "schedule/sun_schedule.h"

namespace orvanta::schedule {

// Local wall-clock time.
struct LocalTime {
  int year = 1970;
  int month = 1;  // 1-12
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};
using LocalClock = std::function<LocalTime()>;
LocalTime SystemLocalTime();

// Ticks that window 2's per-tick start stays off after a Stop action: longer
// than a minute, so a Stop by hand in the start minute is not undone.
inline constexpr int kStopHoldoffTicks = 65;

// What the schedule does to the rest of the program. An empty function is
// a no-op (live_state then reads 0, db_page_showing false), except wait,
// which then really sleeps: the pauses give the live thread time to act.
struct ScheduleActions {
  std::function<int()> live_state;  // 0 idle, 1 previewing, 2 detecting
  std::function<void()> detect;     // the live page's Detect
  std::function<void()> stop;       // the live page's Stop (which calls OnStopAction)
  // The live page's Rec toggle, pressed directly, so timer_rec stays set.
  std::function<void()> rec_toggle;
  // SwitchProfile: loads a window's profile (file name, may be empty) as
  // the settings while the settings file keeps its name.
  std::function<void(const std::u16string& name)> switch_profile;
  std::function<void()> show_replay_page;  // right sheet to the Replay page
  std::function<bool()> db_page_showing;   // clip database page showing in the left sheet
  std::function<void()> reread_clip_list;  // the clip database page re-reads its list
  std::function<void()> move_clips;        // MoveClipsAfterDetect
  std::function<void()> shutdown;          // ShutdownSystem
  std::function<void()> keep_alive;        // WriteKeepAlive
  std::function<void(int ms)> wait;        // blocks the schedule's thread
};

class DetectionSchedule {
 public:
  DetectionSchedule(AppParams& ap, AppState& state, DetectionBlock& ib, LocalClock clock,
                    ScheduleActions actions);

  // Once a second (timer 21).
  void Tick();
  // The last step of the main window's start-up: enters a window that is
  // already open when md_autorun is set.
  void AutorunAtStart();
  // Called by the live page's Stop action.
  void OnStopAction() { holdoff_ticks_ = kStopHoldoffTicks; }

  // ComputeSunSchedule for today by the schedule's clock; the result is kept
  // for the schedule dialog.
  const SunTimes& ComputeSun(bool apply);
  const SunTimes& sun_times() const { return sun_times_; }

  int holdoff_ticks() const { return holdoff_ticks_; }
  // The interval actually used: a period below 1 minute from a file counts as 1.
  int interval_minutes() const { return ap_.ttrig < 1 ? 1 : ap_.ttrig; }

 private:
  void StartWindow(const ScheduleWindow& window);
  void SwitchProfile(const ScheduleWindow& window);
  void EndWindow(int wait_after_stop_ms);
  int LiveState() const { return actions_.live_state ? actions_.live_state() : 0; }
  bool DbPageShowing() const { return actions_.db_page_showing && actions_.db_page_showing(); }
  static void Run(const std::function<void()>& action) {
    if (action) action();
  }
  void Wait(int ms) const;

  AppParams& ap_;
  AppState& state_;
  DetectionBlock& ib_;
  LocalClock clock_;
  ScheduleActions actions_;
  int holdoff_ticks_ = 0;
  int last_minute_ = 0;
  int stop_busy_ = 0;
  SunTimes sun_times_;
};

}  // namespace orvanta::schedule
