// The operation and profile pages' rules without widgets: wrapping steps, site texts and
// numbers as the settings file keeps them, and the schedule dialog's lines.
#include "ui/station_page_rules.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/settings_keys.h"

namespace orvanta::ui {
namespace {

TEST(WrapStep, HoursAndMinutesWrapAtBothEnds) {
  struct Case {
    int value, delta, hi, expected;
  } cases[] = {{23, 1, 23, 0},  {0, -1, 23, 23}, {59, 1, 59, 0},
               {0, -1, 59, 59}, {5, 1, 23, 6},   {12, -1, 59, 11}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " " << c.delta);
    EXPECT_EQ(WrapStep(c.value, c.delta, 0, c.hi), c.expected);
  }
}

TEST(SiteText, SpacesBecomeUnderscoresAndTheTextIsCutToWhatLoadsBack) {
  struct Case {
    const char* key;
    std::u16string typed, stored;
    bool rewrite;
  } cases[] = {
      {"IF.lid", u"Tokyo West", u"Tokyo_West", true},
      {"IF.lid", u"Tokyo West 1", u"Tokyo_West_", true},  // 11 units is what IF.lid holds
      {"IF.cid", u"C12X", u"C12", false},
      {"AP.oname", std::u16string(40, u'a'), std::u16string(29, u'a'), false},
      {"AP.comment", std::u16string(100, u'c'), std::u16string(79, u'c'), false},
      // A character outside the basic plane is never split.
      {"IF.cid", u"AB\U0001F320", u"AB", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const SiteText t = SiteTextFromTyped(*FindSettingsKey(c.key), c.typed);
    EXPECT_EQ(t.stored, c.stored);
    EXPECT_EQ(t.rewrite, c.rewrite);
    EXPECT_TRUE(TextFits(*FindSettingsKey(c.key), t.stored));
  }
}

TEST(SiteNumber, ClampedToTheKeyOrNothingForText) {
  const SettingsKey& lat = *FindSettingsKey("AP.lat");
  EXPECT_EQ(SiteNumber(lat, "95"), 90.0);
  EXPECT_EQ(SiteNumber(lat, "-95"), -90.0);
  EXPECT_EQ(SiteNumber(*FindSettingsKey("AP.lng"), "-0.5"), -0.5);
  for (const char* text : {"", "abc", "-", "nan", "inf"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(SiteNumber(lat, text).has_value());
  }
}

TEST(ScheduleLines, FormatsAndDaysWithoutSunriseOrSunset) {
  schedule::SunTimes sun;
  sun.month = 6, sun.day = 21;
  sun.sunrise = {4, 25}, sun.sunset = {19, 0};
  sun.window1_start = {3, 55}, sun.window1_end = {19, 25};
  sun.window2_start = {19, 30}, sun.window2_end = {3, 55};
  EXPECT_EQ(SiteLine(139.7, 35.7), "Longitude : 139.7000, Latitude : 35.7000");
  EXPECT_EQ(SunLine(sun), "Month 06  Day 21 (LT)  Sunrise 04:25  Sunset 19:00");
  EXPECT_EQ(WindowLine(0, sun), "Schedule1 (Day)         03:55     to    19:25");
  EXPECT_EQ(WindowLine(1, sun), "Schedule2 (Night)       19:30     to    03:55");
  sun.crossing = schedule::SunCrossing::PolarDay;
  sun.sunrise = sun.sunset = {-1, -1};
  EXPECT_EQ(SunLine(sun), "Month 06  Day 21 (LT)  Sunrise --:--  Sunset --:--");
  EXPECT_EQ(VersionText(501), "V 5.01(64bit)");
}

}  // namespace
}  // namespace orvanta::ui
