// The replay page's rules: the head position, the name and number of a saved frame, the
// replay cache's copy.
#include "ui/replay_rules.h"

#include <gtest/gtest.h>

namespace orvanta::ui {
namespace {

TEST(ReplayRules, HeadPosition) {
  EXPECT_EQ(HeadSeekMs(30, 20), 666);
  EXPECT_EQ(HeadSeekMs(25, 20), 800);
  EXPECT_EQ(HeadSeekMs(29.97, 30), 1001);
  EXPECT_EQ(HeadSeekMs(0.01, 20), 1000);  // no frame rate known
  EXPECT_EQ(HeadSeekMs(0, 20), 1000);
}

TEST(ReplayRules, SavedFrameNameAndNumber) {
  const std::string stem = SnapshotStem("/d/c/M20240101_010203_JPABC_C1.avi");
  EXPECT_EQ(stem, "/d/c/z20240101_010203_JPABC_C1");
  EXPECT_EQ(SnapshotPath(stem, SnapshotNumber(20000000, 25, false, 0, 0), "jpg"),
            "/d/c/z20240101_010203_JPABC_C1_050s.jpg");
  EXPECT_EQ(SnapshotPath(stem, 1234, "bmp"), "/d/c/z20240101_010203_JPABC_C1_1234s.bmp");

  const double ntsc = 10000000.0 / 333667;
  struct Case {
    int64_t position;
    double fps;
    bool deinterlace;
    int bbf, field_odd, number;
  } cases[] = {
      {20000000, 25, false, 0, 0, 50},
      {20390000, 25, false, 0, 0, 50},  // anywhere in the frame
      // A 29.97 fps frame's start as the stream stamps it, a fraction of a unit early.
      {333666, ntsc, false, 0, 0, 1},
      {33366666, ntsc, false, 0, 0, 100},
      // Fields in the order they are shown.
      {20000000, 25, true, 0, 0, 100},
      {20000000, 25, true, 0, 1, 101},
      {20000000, 25, true, 1, 0, 101},
      {20000000, 25, true, 1, 1, 100},
      {0, 0, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.position << " " << c.fps << " " << c.deinterlace << c.bbf << c.field_odd);
    EXPECT_EQ(SnapshotNumber(c.position, c.fps, c.deinterlace, c.bbf, c.field_odd), c.number);
  }
}

TEST(ReplayRules, CachePath) {
  EXPECT_EQ(ReplayCachePath("/cache", "M20240101_010203_JPABC_C1"),
            "/cache/M20240101_010203_JPABC_C1.avi");
  EXPECT_EQ(ReplayCachePath("/cache/", "M1"), "/cache/M1.avi");
}

}  // namespace
}  // namespace orvanta::ui
