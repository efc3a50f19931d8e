#include "station/station_actions.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/profiles.h"
#include "app/text_utf.h"
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

}  // namespace
}  // namespace orvanta::schedule
