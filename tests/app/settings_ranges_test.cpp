// Valid ranges of the numeric settings: a load puts a value outside them back to its
// default and says so once; the rest of the file stands.
#include "app/settings_ranges.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "app/settings_keys.h"
#include "tests/app/test_support.h"

namespace orvanta::testing {
namespace {

using RangesTest = SettingsTest;

TEST_F(RangesTest, EveryNumericKeyHasARangeHoldingItsDefault) {
  auto app = NewApp();
  for (auto keys : {MainKeys(), GroupKeys()}) {
    for (const SettingsKey& key : keys) {
      if (key.type != KeyType::Int && key.type != KeyType::Double) continue;
      SCOPED_TRACE(key.name);
      ASSERT_TRUE(RangeOf(key).has_value());
      const double value = key.type == KeyType::Int ? key.Int(*app) : key.Double(*app);
      EXPECT_TRUE(InRange(key, value)) << value;
    }
  }
  EXPECT_EQ(ReplaceOutOfRange(*app), "");
}

TEST_F(RangesTest, OutOfRangeValuesFromAFileFallBackToTheirDefaults) {
  struct Case {
    const char* key;
    double stored;
    bool taken;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {"IF.cx", -2, false},          {"IF.cx", 16, true},
      {"IF.cx", 4096, true},         {"IF.cx", 4097, false},
      {"IF.cy", 935059926, false},   {"IF.cy", 15, false},
      {"IF.fs_head", -5, false},     {"IF.fs_head", INT_MAX, false},
      {"IF.fs_head", 0, true},       {"IF.fs_diff", -1, false},
      {"IF.fs_diff", 0, false},      {"IF.dsize", 0, false},
      {"IF.dmin", INT_MAX, false},   {"IF.dmin", 1, true},
      {"IF.dlev", 256, false},       {"IF.sm_size", 12, false},
      {"AP.ttrig", 0, false},        {"AP.sd[1].h1", 24, false},
      {"AP.ftp_port", 65536, false}, {"IF.si_on", 2, false},
      {"IF.fps", -1, false},         {"IF.fps", nan, false},
      {"IF.fps", 29.97, true},       {"AP.lat", 91, false},
      {"AP.lng", -180, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + std::to_string(c.stored));
    const SettingsKey& key = *FindSettingsKey(c.key);
    const std::string value =
        key.type == KeyType::Int ? IntValue(static_cast<int32_t>(c.stored)) : DoubleValue(c.stored);
    // A valid key on either side shows the rest of the file still loads.
    reports_.clear();
    auto app = LoadBytes(Record("VERSION", IntValue(501)) + Record("AP.me_lev", IntValue(40)) +
                         Record(c.key, value) + Record("IF.fs_tail", IntValue(33)));
    auto defaults = NewApp();
    const double got = key.type == KeyType::Int ? key.Int(*app) : key.Double(*app);
    const double fallback = key.type == KeyType::Int ? key.Int(*defaults) : key.Double(*defaults);
    EXPECT_EQ(app->ib.fs_tail, 33);
    EXPECT_EQ(app->ap.me_lev, 40);
    if (c.taken) {
      EXPECT_EQ(got, c.stored);
      EXPECT_TRUE(reports_.empty());
    } else {
      EXPECT_EQ(got, fallback);
      ASSERT_EQ(reports_.size(), 1u);
      EXPECT_NE(reports_[0].find("UE0107"), std::string::npos) << reports_[0];
      EXPECT_NE(reports_[0].find(std::string(c.key) + "="), std::string::npos) << reports_[0];
      const std::string range = RangeText(key);
      EXPECT_NE(reports_[0].find(range + "), "), std::string::npos) << reports_[0];
    }
  }
}

TEST_F(RangesTest, ManyBadValuesAreReportedInOneMessage) {
  auto app = LoadBytes(Record("VERSION", IntValue(501)) + Record("IF.cy", IntValue(-1)) +
                       Record("IF.cx", IntValue(40000)) + Record("IF.dmin", IntValue(0)));
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0],
            "UE0107: test.zvi holds values out of range: IF.cy=-1 (16 to 4096), 1440 used; "
            "IF.cx=40000 (16 to 4096), 2560 used; IF.dmin=0 (1 to 480), 2 used");
  EXPECT_EQ(app->ib.cx, 2560);
  EXPECT_EQ(app->ib.cy, 1440);
}

TEST(Ranges, PagesClampAndFrameSizesAreSaidInPlainWords) {
  const SettingsKey& cx = *FindSettingsKey("IF.cx");
  EXPECT_EQ(ClampToRange(cx, -2), 16);
  EXPECT_EQ(ClampToRange(cx, 1e9), 4096);
  EXPECT_EQ(ClampToRange(cx, 640), 640);
  EXPECT_EQ(ClampToRange(*FindSettingsKey("IF.fps"), std::nan("")), 0);
  EXPECT_FALSE(RangeOf(*FindSettingsKey("AP.snd")).has_value());

  EXPECT_TRUE(FrameSizeTaken(16, 4096));
  for (auto [w, h] : {std::pair{1, 1}, {15, 15}, {7680, 4320}, {-2, 480}}) {
    EXPECT_FALSE(FrameSizeTaken(w, h)) << w << "x" << h;
  }
  EXPECT_EQ(FrameSizeRefusal(1, 1),
            "the frame size 1 x 1 is not taken: width and height must each be 16 to 4096 pixels");
}

}  // namespace
}  // namespace orvanta::testing
