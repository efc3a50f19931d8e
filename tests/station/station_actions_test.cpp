#include "station/station_actions.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <memory>

#include "app/profiles.h"
#include "app/text_utf.h"
#include "schedule/housekeeping.h"
#include "tests/schedule/scratch_dir.h"

namespace orvanta::schedule {
namespace {

using testing::ScratchDir;
namespace fs = std::filesystem;

// The night window's profile goes through the real settings loader: its
// values arrive and the settings file keeps its name.
TEST(StationActions, WindowStartLoadsItsProfileAndKeepAliveFindsDbDir) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  auto app = std::make_unique<AppContext>();
  SetDefaults(*app);
  app->state.startupDir = dir.path().string();
  SetField(app->ap.db_dir, Utf8ToUtf16(dir.path().string()));
  app->ap.ttrig = 7;
  ASSERT_TRUE(SaveProfile(*app, "night.zvi"));
  app->ap.ttrig = 60;
  app->ap.sd[1].on = 1;
  app->ap.sd[1].h1 = 20, app->ap.sd[1].m1 = 0, app->ap.sd[1].h2 = 4, app->ap.sd[1].m2 = 0;
  SetField(app->ap.sd[1].zvi, u"night.zvi");

  int live_state = 0;
  ScheduleActions actions;
  actions.live_state = [&] { return live_state; };
  actions.detect = [&] { live_state = 2; };
  actions.wait = [](int) {};
  station::AddStationActions(actions, *app, [] {});
  LocalTime now{2024, 6, 21, 20, 0, 0};
  DetectionSchedule schedule(
      app->ap, app->state, app->ib, [&] { return now; }, actions);
  schedule.Tick();

  EXPECT_EQ(live_state, 2);
  EXPECT_EQ(app->ap.ttrig, 7);
  EXPECT_EQ(app->state.settingsFileName, "Settings.zvi");

  actions.keep_alive();  // no clip named yet: the stamp goes into db_dir
  EXPECT_TRUE(fs::exists(dir.path() / "timestamp.txt"));
}

// A station without a window has never shown the clip list, so its saved date is stale: the
// move after the night still takes last night's day directory, the date following the clock.
TEST(StationActions, MoveAfterTheNightTakesLastNightWithoutTheClipList) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  auto app = std::make_unique<AppContext>();
  SetDefaults(*app);  // db_latest, db_night, one day, the date of 2011
  const fs::path db = dir.path() / "db", db2 = dir.path() / "db2";
  SetField(app->ap.db_dir, Utf8ToUtf16(db.string()));
  SetField(app->ap.db2_dir, Utf8ToUtf16(db2.string()));
  app->ap.db_ymddir = 1;
  fs::create_directories(db2);

  // Clip names file a night under its evening's date: the date twelve hours ago.
  const std::time_t evening = std::time(nullptr) - 12 * 3600;
  std::tm tm{};
  localtime_r(&evening, &tm);
  const int y = tm.tm_year + 1900, m = tm.tm_mon + 1, d = tm.tm_mday;
  auto day_dir = [&](const fs::path& top) {
    return DayDirectory(MonthDirectory(YearDirectory(top.string(), y), y, m), y, m, d);
  };
  const fs::path night = day_dir(db);
  fs::create_directories(night);
  const std::string clip = night.filename().string().insert(0, 1, 'M') + "_230000_JPTK01_C1.avi";
  std::ofstream(night / clip) << "clip";

  int rereads = 0;
  ScheduleActions actions;
  actions.reread_clip_list = [&] { ++rereads; };
  station::AddStationActions(actions, *app, [] {});
  actions.move_clips();

  EXPECT_TRUE(fs::exists(fs::path(day_dir(db2)) / clip));
  EXPECT_FALSE(fs::exists(night));
  EXPECT_EQ(app->ap.db_y, y);
  EXPECT_EQ(app->ap.db_m, m);
  EXPECT_EQ(app->ap.db_d, d);
  EXPECT_EQ(rereads, 1);
}

}  // namespace
}  // namespace orvanta::schedule
