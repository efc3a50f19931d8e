#include "schedule/detection_schedule.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/text_utf.h"

namespace orvanta::schedule {
namespace {

// The rest of the program as the schedule sees it: a live state that the
// Detect and Stop actions change, and a log of every action in order.
class ScheduleTest : public ::testing::Test {
 protected:
  ScheduleTest() {
    ap_.sd[0] = {};
    ap_.sd[1] = {};
    ap_.ttrig = 60;
  }

  DetectionSchedule& Make() {
    ScheduleActions a;
    a.live_state = [this] { return live_state_; };
    a.detect = [this] {
      log_.push_back("detect");
      if (detect_works_) live_state_ = 2;
    };
    a.stop = [this] {
      log_.push_back("stop");
      live_state_ = 0;
      schedule_->OnStopAction();
    };
    a.rec_toggle = [this] { log_.push_back("rec timer_rec=" + std::to_string(ib_.timer_rec)); };
    a.switch_profile = [this](const std::u16string& name) {
      log_.push_back("profile " + Utf16ToUtf8(name));
    };
    a.show_replay_page = [this] { log_.push_back("replay page"); };
    a.db_page_showing = [this] { return db_page_; };
    a.reread_clip_list = [this] { log_.push_back("reread"); };
    a.move_clips = [this] { log_.push_back("move"); };
    a.shutdown = [this] { log_.push_back("shutdown"); };
    a.keep_alive = [this] { log_.push_back("keep-alive"); };
    a.wait = [this](int ms) { log_.push_back("wait " + std::to_string(ms)); };
    schedule_.emplace(
        ap_, state_, ib_, [this] { return now_; }, a);
    return *schedule_;
  }

  void SetWindow(int i, int h1, int m1, int h2, int m2, const char16_t* zvi = u"") {
    ap_.sd[i].on = 1;
    ap_.sd[i].h1 = h1, ap_.sd[i].m1 = m1, ap_.sd[i].h2 = h2, ap_.sd[i].m2 = m2;
    SetField(ap_.sd[i].zvi, zvi);
  }

  // Ticks once a second from hour:minute:second for `seconds` ticks.
  void RunFrom(int hour, int minute, int second, int seconds) {
    for (int t = 0; t < seconds; ++t) {
      int s = hour * 3600 + minute * 60 + second + t;
      s %= 86400;
      now_.hour = s / 3600, now_.minute = s / 60 % 60, now_.second = s % 60;
      schedule_->Tick();
    }
  }

  int Count(const std::string& what) const {
    int n = 0;
    for (const auto& entry : log_) n += entry == what;
    return n;
  }

  AppParams ap_{};
  AppState state_;
  DetectionBlock ib_{};
  LocalTime now_{2024, 6, 21, 0, 0, 0};
  int live_state_ = 0;
  bool detect_works_ = true;
  bool db_page_ = false;
  std::vector<std::string> log_;
  std::optional<DetectionSchedule> schedule_;
};

TEST_F(ScheduleTest, AutorunChoosesTheWindowThatContainsTheStart) {
  struct Case {
    const char* what;
    bool day_on, night_on;
    int hour, minute;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"night window across midnight",
       false,
       true,
       2,
       0,
       {"wait 1000", "profile night.zvi", "detect"}},
      {"outside the only window", false, true, 12, 0, {}},
      {"night window ends before its end minute", false, true, 4, 0, {}},
      {"both open: day window first",
       true,
       true,
       16,
       59,
       {"wait 1000", "profile day.zvi", "detect"}},
      {"no window on", false, false, 12, 0, {"wait 1000", "detect"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    log_.clear();
    ap_.md_autorun = 1;
    SetWindow(0, 6, 0, 17, 0, u"day.zvi");
    SetWindow(1, 20, 0, 4, 0, u"night.zvi");
    ap_.sd[0].on = c.day_on;
    ap_.sd[1].on = c.night_on;
    if (c.day_on && c.night_on) SetWindow(1, 16, 0, 18, 0, u"night.zvi");
    now_.hour = c.hour, now_.minute = c.minute;
    Make().AutorunAtStart();
    EXPECT_EQ(log_, c.expected);
  }
}

TEST_F(ScheduleTest, AutorunOffOrEmptyWindowStartsNothing) {
  SetWindow(1, 20, 0, 4, 0);
  now_.hour = 2;
  ap_.md_autorun = 0;
  Make().AutorunAtStart();
  SetWindow(1, 20, 0, 20, 0);  // start equals end: never open
  ap_.md_autorun = 1;
  now_.hour = 20;
  Make().AutorunAtStart();
  EXPECT_TRUE(log_.empty());
}

TEST_F(ScheduleTest, AutorunShowsReplayPageAfterDetectWhenAsked) {
  ap_.md_autorun = 1;
  ap_.startreplay = 1;
  Make().AutorunAtStart();
  EXPECT_EQ(log_, (std::vector<std::string>{"wait 1000", "detect", "wait 1000", "replay page"}));
}

TEST_F(ScheduleTest, NightWindowRetriesEveryTickUntilDetecting) {
  SetWindow(1, 20, 0, 4, 0, u"night.zvi");
  detect_works_ = false;
  Make();
  RunFrom(19, 59, 58, 5);  // 19:59:58 .. 20:00:02
  // Three ticks of the start minute, each a full start; the once-a-minute
  // step also starts once in its first tick.
  EXPECT_EQ(Count("detect"), 4);
  EXPECT_EQ(Count("profile night.zvi"), 4);
  detect_works_ = true;
  log_.clear();
  RunFrom(20, 0, 3, 2);
  EXPECT_EQ(log_, (std::vector<std::string>{"profile night.zvi", "detect"}));
}

TEST_F(ScheduleTest, StopByHandInTheStartMinuteIsNotUndone) {
  SetWindow(1, 20, 0, 4, 0);
  Make();
  RunFrom(20, 0, 0, 1);
  EXPECT_EQ(Count("detect"), 1);
  ASSERT_EQ(live_state_, 2);
  // The user presses Stop in the same minute (the live page's action).
  live_state_ = 0;
  schedule_->OnStopAction();
  RunFrom(20, 0, 10, 50);
  EXPECT_EQ(Count("detect"), 1);
  EXPECT_EQ(schedule_->holdoff_ticks(), kStopHoldoffTicks - 50);
}

TEST_F(ScheduleTest, MinuteStepsSkipTheFirstMinuteZeroButNotTheNightRetry) {
  SetWindow(0, 7, 0, 8, 0, u"day.zvi");
  Make();
  RunFrom(7, 0, 30, 10);  // started at minute 0: last_minute already 0
  EXPECT_EQ(Count("detect"), 0);

  SetWindow(1, 7, 0, 8, 0, u"night.zvi");
  Make();
  RunFrom(7, 0, 30, 10);
  EXPECT_EQ(Count("detect"), 1);
  EXPECT_EQ(Count("profile night.zvi"), 1);
}

TEST_F(ScheduleTest, EndSequencesInOrder) {
  ap_.moveclips = 1;
  ap_.shutdown = 1;
  SetWindow(0, 6, 0, 17, 0);
  SetWindow(1, 20, 0, 4, 0);
  Make();
  live_state_ = 2;
  RunFrom(16, 59, 59, 2);
  EXPECT_EQ(log_, (std::vector<std::string>{"stop", "move", "shutdown"}));
  log_.clear();
  live_state_ = 2;
  RunFrom(3, 59, 59, 120);
  EXPECT_EQ(log_, (std::vector<std::string>{"stop", "wait 500", "move", "shutdown"}));
  log_.clear();
  RunFrom(4, 2, 0, 120);
  live_state_ = 0;  // idle at the next end: nothing to stop
  RunFrom(16, 59, 59, 120);
  EXPECT_TRUE(log_.empty());
}

TEST_F(ScheduleTest, DayWindowStartLoadsItsProfileAndShowsReplayPage) {
  ap_.startreplay = 1;
  SetWindow(0, 6, 30, 17, 0, u"/profiles/day.zvi");
  Make();
  live_state_ = 1;  // previewing counts as not detecting
  RunFrom(6, 29, 59, 2);
  EXPECT_EQ(log_, (std::vector<std::string>{"profile /profiles/day.zvi", "detect", "wait 1000",
                                            "replay page"}));
}

TEST_F(ScheduleTest, DailySunRecomputationAtMidnightOrNoon) {
  struct Case {
    int db_night;
    int recompute_hour, quiet_hour;
  };
  for (const Case c : {Case{0, 0, 12}, Case{1, 12, 0}}) {
    SCOPED_TRACE(c.db_night);
    ap_.sunset = 1;
    ap_.db_night = c.db_night;
    ap_.lng = 139.7, ap_.lat = 35.7;
    state_.tz_bias = -32400;
    SetWindow(0, 1, 1, 2, 2);
    ap_.sd[0].o1 = -25;
    db_page_ = true;
    Make();
    log_.clear();
    RunFrom(c.quiet_hour == 0 ? 23 : 11, 59, 30, 60);
    EXPECT_EQ((HourMinute{ap_.sd[0].h1, ap_.sd[0].m1}), (HourMinute{1, 1}));
    EXPECT_EQ(Count("reread"), 0);
    RunFrom(c.recompute_hour == 0 ? 23 : 11, 59, 30, 60);
    EXPECT_EQ((HourMinute{ap_.sd[0].h1, ap_.sd[0].m1}), (HourMinute{4, 0}));
    EXPECT_EQ(schedule_->sun_times().sunrise, (HourMinute{4, 25}));
    EXPECT_EQ(Count("reread"), 1);
  }
}

TEST_F(ScheduleTest, IntervalTriggerOnTheQuarterHours) {
  ap_.ttrig_on = 1;
  ap_.ttrig = 15;
  Make();
  live_state_ = 2;
  std::vector<int> fired_at;
  for (int minute = 0; minute <= 120; ++minute) {  // 20:59 .. 22:59
    log_.clear();
    RunFrom(20, 59 + minute, 0, 1);
    if (!log_.empty()) {
      EXPECT_EQ(log_, (std::vector<std::string>{"wait 100", "rec timer_rec=1", "wait 500",
                                                "rec timer_rec=1"}));
      fired_at.push_back(now_.minute);
      ib_.timer_rec = 0;
    }
  }
  EXPECT_EQ(fired_at, (std::vector<int>{0, 15, 30, 45, 0, 15, 30, 45}));

  live_state_ = 1;  // only while detecting
  log_.clear();
  RunFrom(23, 59, 59, 2);
  EXPECT_TRUE(log_.empty());
}

TEST_F(ScheduleTest, IntervalBelowOneMinuteCountsAsOne) {
  ap_.ttrig_on = 1;
  for (int ttrig : {0, -5}) {
    ap_.ttrig = ttrig;
    Make();
    live_state_ = 2;
    log_.clear();
    RunFrom(10, 1, 0, 180);
    EXPECT_EQ(schedule_->interval_minutes(), 1);
    EXPECT_EQ(Count("wait 100"), 3);
  }
}

TEST_F(ScheduleTest, KeepAliveEveryFiveMinutesWhileDetectingAndNotRecording) {
  ap_.timestamp = 1;
  SetWindow(0, 1, 0, 2, 0);
  Make();
  live_state_ = 2;
  RunFrom(22, 1, 0, 600);  // 22:01 .. 22:10
  EXPECT_EQ(Count("keep-alive"), 2);
  ib_.rec_remain = 40;
  RunFrom(22, 11, 0, 300);
  EXPECT_EQ(Count("keep-alive"), 2);
}

TEST_F(ScheduleTest, NothingHappensWithoutWindowsTriggerOrDatabasePage) {
  ap_.timestamp = 1;
  ap_.sunset = 1;
  Make();
  live_state_ = 2;
  RunFrom(23, 58, 0, 600);
  EXPECT_TRUE(log_.empty());
}

}  // namespace
}  // namespace orvanta::schedule
