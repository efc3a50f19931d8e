#include "bench/quality/quality_score.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orvanta::quality {
namespace {

using skysim::EventKind;
using skysim::SkyEvent;
using skysim::SkyTruth;

// A straight track from (x, y) moving (vx, vy) per frame.
SkyEvent Track(EventKind kind, int first, int last, double x, double y, double vx, double vy,
               double peak) {
  SkyEvent e{kind, first, last, {}, peak, std::hypot(vx, vy)};
  for (int f = first; f <= last; ++f)
    e.path.push_back({x + vx * (f - first), y + vy * (f - first)});
  return e;
}

SkyTruth Sky() {
  SkyTruth t;
  t.width = 640;
  t.height = 360;
  t.fps = 30;
  t.frames = 108000;  // one hour
  t.events = {
      Track(EventKind::Meteor, 100, 110, 50, 50, 20, 0, 20),      // faint, medium speed
      Track(EventKind::Meteor, 500, 505, 300, 100, 60, 10, 250),  // saturating, fast
      Track(EventKind::Aircraft, 1000, 1400, 0, 200, 2, 0, 200),
      Track(EventKind::Satellite, 2000, 2600, 600, 50, -0.5, 0.5, 40),
      {EventKind::Jump, 3000, 3060, {}, 40, 0},
      {EventKind::Repeat, 4000, 4000, {}, 0, 0},
  };
  return t;
}

ClipRecord Clip(int trigger, int first, int last, std::vector<HitPixel> hits) {
  ClipRecord c;
  c.trigger_frame = trigger;
  c.first_frame = first;
  c.last_frame = last;
  c.trigger_hits = std::move(hits);
  return c;
}

TEST(QualityScore, CausesOfClipsWithoutMeteors) {
  const SkyTruth sky = Sky();
  struct Case {
    const char* what;
    ClipRecord clip;
    Cause cause;
  } cases[] = {
      // Aircraft at frame 1100 is at (200, 200); its streak runs 2 pixels on.
      {"hits on the aircraft", Clip(1100, 1079, 1140, {{201, 203}, {30, 30}}), Cause::Aircraft},
      {"hits beside the aircraft", Clip(1100, 1079, 1140, {{200, 230}}), Cause::StarOrNoise},
      {"aircraft gone by then", Clip(1500, 1479, 1540, {{200, 200}}), Cause::StarOrNoise},
      // Satellite at frame 2200 is at (500, 150).
      {"hits on the satellite", Clip(2200, 2179, 2240, {{505, 148}}), Cause::Satellite},
      {"brightness jump", Clip(3001, 2980, 3040, {{10, 10}, {600, 300}}), Cause::Other},
      {"long after the jump", Clip(3050, 3029, 3090, {{10, 10}}), Cause::StarOrNoise},
      {"repeated frame", Clip(4002, 3981, 4040, {{10, 10}}), Cause::Other},
      {"no hits recorded", Clip(5000, 4979, 5040, {}), Cause::StarOrNoise},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CauseOf(sky, c.clip), c.cause);
  }
}

TEST(QualityScore, CountsCaughtMeteorsByClassAndFalseClipsPerHour) {
  const SkyTruth sky = Sky();
  const std::vector<ClipRecord> clips = {
      Clip(520, 503, 540, {{400, 110}}),     // holds the last frames of the fast meteor
      Clip(1100, 1079, 1140, {{200, 200}}),  // aircraft
      Clip(3001, 2980, 3040, {}),            // jump
      Clip(9000, 8979, 9040, {{5, 5}}),      // star or noise
      Clip(95, 74, 99, {{60, 50}}),          // ends one frame before the faint meteor
  };
  const QualityScore s = Score(sky, clips);
  EXPECT_DOUBLE_EQ(s.hours, 1.0);
  EXPECT_EQ(s.meteors.present, 2);
  EXPECT_EQ(s.meteors.caught, 1);
  EXPECT_EQ(s.by_brightness[BrightnessClass(20)].present, 1);
  EXPECT_EQ(s.by_brightness[BrightnessClass(20)].caught, 0);
  EXPECT_EQ(s.by_brightness[BrightnessClass(250)].caught, 1);
  EXPECT_EQ(s.by_speed[SpeedClass(20)].caught, 0);
  EXPECT_EQ(s.by_speed[SpeedClass(60.8)].caught, 1);
  EXPECT_EQ(s.clips, 5);
  EXPECT_EQ(s.meteor_clips, 1);
  EXPECT_EQ(s.false_clips[int(Cause::Aircraft)], 1);
  EXPECT_EQ(s.false_clips[int(Cause::Satellite)], 0);
  EXPECT_EQ(s.false_clips[int(Cause::StarOrNoise)], 2);
  EXPECT_EQ(s.false_clips[int(Cause::Other)], 1);
  EXPECT_EQ(s.clip_cause, (std::vector<int>{-1, int(Cause::Aircraft), int(Cause::Other),
                                            int(Cause::StarOrNoise), int(Cause::StarOrNoise)}));
  // A clip that delivered nothing holds no meteor, whatever its trigger.
  EXPECT_FALSE(HoldsMeteor(Clip(105, -1, -1, {}), sky.events[0]));
}

}  // namespace
}  // namespace orvanta::quality
