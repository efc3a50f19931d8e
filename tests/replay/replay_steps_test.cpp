// Where steps and seeks take the replay, by frame and by field.
#include "replay/replay_steps.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvanta::replay {
namespace {

ReplayBlock Clip25(int deinterace) {
  ReplayBlock rb{};
  rb.frame_time = 400000;
  rb.clip_fps = 25;
  rb.deinterace = deinterace;
  return rb;
}

TEST(ReplaySteps, FrameStepsMoveByOneFrameDuration) {
  ReplayBlock rb = Clip25(0);
  StepForward(rb, 0);
  StepForward(rb, 1);
  EXPECT_EQ(rb.replay_pos, 800000);
  StepBack(rb, 0);
  EXPECT_EQ(rb.replay_pos, 400000);
  EXPECT_EQ(rb.field_step, 0);
}

TEST(ReplaySteps, FieldStepsAlternateFieldsAndChangeFrameEverySecondStep) {
  struct Case {
    int bbf;
    std::vector<int> frames;  // the frame after each of five forward steps
  };
  // Top field first (bbf 0): the frame changes on the way back to field 0; bottom field
  // first (bbf 1): on the way to field 1.
  for (const Case& c : {Case{0, {0, 1, 1, 2, 2}}, Case{1, {1, 1, 2, 2, 3}}}) {
    SCOPED_TRACE(c.bbf);
    ReplayBlock rb = Clip25(1);
    for (int step = 0; step < 5; ++step) {
      StepForward(rb, c.bbf);
      EXPECT_EQ(rb.field_step, 1);
      EXPECT_EQ(rb.field_odd, step % 2 == 0 ? 1 : 0) << step;
      EXPECT_EQ(rb.replay_pos, c.frames[step] * 400000) << step;
    }
    // Five steps back retrace them to the start.
    for (int step = 0; step < 5; ++step) StepBack(rb, c.bbf);
    EXPECT_EQ(rb.replay_pos, 0);
    EXPECT_EQ(rb.field_odd, 0);
  }
}

TEST(ReplaySteps, SeekPicksTheFieldOfTheFieldIndex) {
  struct Case {
    int64_t ms;
    int field_odd;
  };
  for (const Case& c : {Case{1000, 0}, Case{1020, 1}, Case{1039, 1}, Case{1040, 0}}) {
    ReplayBlock rb = Clip25(1);
    SeekPosition(rb, c.ms);
    EXPECT_EQ(rb.replay_pos, c.ms * 10000);
    EXPECT_EQ(rb.field_step, 1);
    EXPECT_EQ(rb.field_odd, c.field_odd) << c.ms;
  }
  ReplayBlock rb = Clip25(0);
  rb.field_step = 1;
  SeekPosition(rb, 1020);
  EXPECT_EQ(rb.field_step, 0);
}

TEST(ReplaySteps, PositionsStayInsideTheClip) {
  EXPECT_EQ(ClampToClip(-400000, 4000000, 400000), 0);
  EXPECT_EQ(ClampToClip(4000000, 4000000, 400000), 3600000);  // the last frame's start
  EXPECT_EQ(ClampToClip(1200000, 4000000, 400000), 1200000);
  EXPECT_EQ(ClampToClip(9999999, 0, 400000), 9999999);  // length unknown
}

}  // namespace
}  // namespace orvanta::replay
