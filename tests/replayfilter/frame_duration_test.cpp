// The frame duration the replay filter settles on, from the clip's and the one it knew.
#include <gtest/gtest.h>

#include "replayfilter/core/clip_format.h"

namespace orvanta::replayfilter {
namespace {

TEST(FrameDuration, RatesRoundUpSoWholeStepsNeverFallShortOfAFrame) {
  EXPECT_EQ(FrameDurationOfRate(25, 1), 400000);
  EXPECT_EQ(FrameDurationOfRate(30000, 1001), 333667);
  EXPECT_EQ(FrameDurationOfRate(24000, 1001), 417084);
  EXPECT_EQ(FrameDurationOfRate(0, 1), 0);
  // 10,000 steps of a 29.97 clip still land inside frame 10,000.
  const int64_t pos = 10000 * FrameDurationOfRate(30000, 1001);
  EXPECT_GE(pos * 30000, int64_t{10000} * 1001 * 10000000);
  EXPECT_LT(pos * 30000, int64_t{10001} * 1001 * 10000000);
}

TEST(FrameDuration, SettledFromTheClipTheKnownOneOrTheFallback) {
  struct Case {
    int64_t offered, known;
    int64_t frame_time, format_duration;
  };
  const Case cases[] = {
      {400000, 0, 400000, 400000},       // the clip's own
      {400000, 333667, 333667, 400000},  // an earlier duration stays the block's
      {0, 400000, 400000, 400000},       // a clip without one takes the known one
      {0, 0, 333667, 333667},            // none at all: 29.97 frames per second
      {50000, 0, 333667, 333667},        // too short to believe
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offered << " " << c.known);
    const FrameTiming t = SettleFrameTime(c.offered, c.known);
    EXPECT_EQ(t.frame_time, c.frame_time);
    EXPECT_EQ(t.format_duration, c.format_duration);
    EXPECT_DOUBLE_EQ(t.clip_fps, 10000000.0 / static_cast<double>(c.frame_time));
  }
}

}  // namespace
}  // namespace orvanta::replayfilter
