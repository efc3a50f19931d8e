// Start-up pieces: the single-instance lock, the command line, messages.
#include "app/startup.h"

#include <gtest/gtest.h>

#include "app/messages.h"
#include "app/timezone.h"
#include "tests/app/test_support.h"

namespace orvanta::testing {
namespace {

using StartupTest = SettingsTest;

TEST(InstanceLockNameTest, LeavesOutSlashesAndCharactersOutsideTheRange) {
  struct Case {
    std::string dir;
    std::string name;
  };
  const Case cases[] = {
      {"/Cap/Night", "ZAVIP_CapNight"},
      {"/home/obs/~cam", "ZAVIP_homeobscam"},  // '~' lies above U+007A
      {"/data/観測/{x}", "ZAVIP_datax"},
      {"/a b/C:1", "ZAVIP_a bC:1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dir);
    EXPECT_EQ(InstanceLockName(c.dir), c.name);
  }
  const std::string deep(3000, 'd');
  EXPECT_LE(InstanceLockName("/" + deep).size(), 200u);
  EXPECT_NE(InstanceLockName("/" + deep), InstanceLockName("/" + deep + "e"));
}

TEST_F(StartupTest, OneStationPerWorkingDirectory) {
  auto first = InstanceLock::Acquire("/obs/night", dir_.string());
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->path(), (dir_ / "ZAVIP_obsnight").string());
  EXPECT_FALSE(InstanceLock::Acquire("/obs/night", dir_.string()).has_value());
  EXPECT_TRUE(InstanceLock::Acquire("/obs/day", dir_.string()).has_value());
  first.reset();
  EXPECT_TRUE(InstanceLock::Acquire("/obs/night", dir_.string()).has_value());
  EXPECT_FALSE(InstanceLock::Acquire("/obs/night", (dir_ / "missing").string()).has_value());
}

TEST_F(StartupTest, CommandLineNamesTheSettingsFile) {
  const std::string file = (dir_ / "night obs.zvi").string();
  WriteBytes(file, "x");
  struct Case {
    std::string command_line;
    bool taken;
  };
  const Case cases[] = {
      {"\"" + file + "\"", true},
      {file, true},
      {dir_.string(), false},
      {(dir_ / "missing.zvi").string(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command_line);
    reports_.clear();
    AppState state;
    EXPECT_EQ(ApplyCommandLine(state, c.command_line), c.taken);
    EXPECT_EQ(state.settingsFileName, c.taken ? file : "Settings.zvi");
    if (!c.taken) {
      EXPECT_EQ(reports_, std::vector<std::string>{"UE071: Invalid Command arg \"" +
                                                   c.command_line + "\"... ignored"});
    }
  }
  AppState state;
  EXPECT_FALSE(ApplyCommandLine(state, ""));
}

TEST_F(StartupTest, MessagesAreCutAndLoggedHeadless) {
  ReportMessage("%s", std::string(2000, 'x').c_str());
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].size(), kMessageMaxUnits);

  HeadlessMessageHandler().report("UM000: logged");
  EXPECT_NE(ReadBytes(dir_ / "zavip.log").find("Orvanta: UM000: logged"), std::string::npos);
}

}  // namespace
}  // namespace orvanta::testing

namespace orvanta::testing {
namespace {

TEST(TimeZoneTest, BiasIsSecondsWestIncludingDaylightSaving) {
  const char* saved = std::getenv("TZ");
  const std::string kept = saved ? saved : "";
  ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  struct Case {
    std::time_t at;
    int32_t bias;
    int32_t dst;
  };
  const Case cases[] = {{1704067200, -3600, 0},   // 2024-01-01 00:00 UTC
                        {1719792000, -7200, 1}};  // 2024-07-01 00:00 UTC
  for (const Case& c : cases) {
    SCOPED_TRACE(c.at);
    const TimeZone zone = LocalTimeZone(c.at);
    EXPECT_EQ(zone.bias, c.bias);
    EXPECT_EQ(zone.dst, c.dst);
  }
  if (saved) {
    ::setenv("TZ", kept.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  tzset();
}

}  // namespace
}  // namespace orvanta::testing
