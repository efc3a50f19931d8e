#include "schedule/detection_schedule.h"

#include <chrono>
#include <ctime>
#include <thread>
#include <utility>

#include "app/text_utf.h"
#include "detectfilter/shared_field.h"

namespace orvanta::schedule {
namespace {

int MinuteOfDay(int hour, int minute) {
  return hour * 60 + minute;
}

bool At(const LocalTime& now, int hour, int minute) {
  return now.hour == hour && now.minute == minute;
}

// A window contains `now` from its start up to (not including) its end,
// across midnight when the end comes first; a window that ends where it
// starts contains nothing.
bool WindowContains(const ScheduleWindow& w, int now) {
  const int s = MinuteOfDay(w.h1, w.m1);
  const int e = MinuteOfDay(w.h2, w.m2);
  if (e > s) return s <= now && now < e;
  if (e < s) return now >= s || now < e;
  return false;
}

}  // namespace

LocalTime SystemLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

DetectionSchedule::DetectionSchedule(AppParams& ap, AppState& state, DetectionBlock& ib,
                                     LocalClock clock, ScheduleActions actions)
    : ap_(ap),
      state_(state),
      ib_(ib),
      clock_(clock ? std::move(clock) : LocalClock(SystemLocalTime)),
      actions_(std::move(actions)) {}

void DetectionSchedule::Wait(int ms) const {
  if (actions_.wait) {
    actions_.wait(ms);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

const SunTimes& DetectionSchedule::ComputeSun(bool apply) {
  const LocalTime now = clock_();
  sun_times_ = ComputeSunSchedule(ap_, state_.tz_bias, {now.year, now.month, now.day}, apply);
  return sun_times_;
}

void DetectionSchedule::SwitchProfile(const ScheduleWindow& window) {
  if (actions_.switch_profile) actions_.switch_profile(FieldText(window.zvi));
}

void DetectionSchedule::StartWindow(const ScheduleWindow& window) {
  SwitchProfile(window);
  Run(actions_.detect);
  if (ap_.startreplay) {
    Wait(1000);
    Run(actions_.show_replay_page);
  }
}

void DetectionSchedule::EndWindow(int wait_after_stop_ms) {
  Run(actions_.stop);
  if (wait_after_stop_ms > 0) Wait(wait_after_stop_ms);
  if (ap_.moveclips) Run(actions_.move_clips);
  if (ap_.shutdown) Run(actions_.shutdown);
}

void DetectionSchedule::Tick() {
  if (holdoff_ticks_ > 0) --holdoff_ticks_;
  if (!ap_.sd[0].on && !ap_.sd[1].on && !ap_.ttrig_on && !DbPageShowing()) return;

  const LocalTime now = clock_();
  ScheduleWindow& day = ap_.sd[0];
  ScheduleWindow& night = ap_.sd[1];

  // Window 2 retries its start on every tick of its start minute, unless a
  // Stop was pressed lately.
  if (holdoff_ticks_ == 0 && LiveState() != 2 && night.on && At(now, night.h1, night.m1)) {
    StartWindow(night);
  }

  if (now.minute == last_minute_) return;
  last_minute_ = now.minute;

  // The day changes at midnight, or at noon when a night counts as one day.
  if (now.minute == 0 && now.hour == (ap_.db_night ? 12 : 0)) {
    if (ap_.sunset) ComputeSun(true);
    if (DbPageShowing()) Run(actions_.reread_clip_list);
  }

  if (day.on) {
    if (At(now, day.h1, day.m1) && LiveState() != 2) StartWindow(day);
    if (At(now, day.h2, day.m2) && LiveState() != 0) EndWindow(0);
  }
  if (night.on) {
    if (At(now, night.h1, night.m1) && LiveState() != 2) StartWindow(night);
    // A message box during the end step can let the next tick in.
    if (At(now, night.h2, night.m2) && LiveState() != 0 && !stop_busy_) {
      stop_busy_ = 1;
      EndWindow(500);
      stop_busy_ = 0;
    }
  }

  const int minute_of_day = MinuteOfDay(now.hour, now.minute);
  if (ap_.ttrig_on && LiveState() == 2 && minute_of_day % interval_minutes() == 0) {
    StoreShared(ib_.timer_rec, 1);
    Wait(100);
    Run(actions_.rec_toggle);
    Wait(500);
    Run(actions_.rec_toggle);
  }

  if (ap_.timestamp && LoadShared(ib_.rec_remain) == 0 && LiveState() == 2 &&
      minute_of_day % 5 == 0) {
    Run(actions_.keep_alive);
  }
}

void DetectionSchedule::AutorunAtStart() {
  if (!ap_.md_autorun) return;
  const ScheduleWindow* chosen = nullptr;
  if (ap_.sd[0].on || ap_.sd[1].on) {
    const LocalTime now = clock_();
    const int minute_of_day = MinuteOfDay(now.hour, now.minute);
    if (ap_.sd[0].on && WindowContains(ap_.sd[0], minute_of_day)) {
      chosen = &ap_.sd[0];
    } else if (ap_.sd[1].on && WindowContains(ap_.sd[1], minute_of_day)) {
      chosen = &ap_.sd[1];
    } else {
      return;
    }
  }
  Wait(1000);
  if (chosen) SwitchProfile(*chosen);
  Run(actions_.detect);
  if (ap_.startreplay) {
    Wait(1000);
    Run(actions_.show_replay_page);
  }
}

}  // namespace orvanta::schedule
