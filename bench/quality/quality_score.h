// Scoring a detection run against the simulated sky's truth: which meteors
// were caught, and what set off the clips that hold none.
#pragma once

#include <string>
#include <vector>

#include "tools/skysim/sky_truth.h"

namespace orvanta::quality {

struct HitPixel {
  int x;
  int y;
};

// One clip as the host saw it.
struct ClipRecord {
  int trigger_frame = -1;  // input frame on which the clip started
  int first_frame = -1;    // first and last input frame delivered into the clip;
  int last_frame = -1;     // -1 when nothing was delivered
  int end_status = 0;
  std::vector<HitPixel> trigger_hits;  // hit map of the trigger frame
};

enum class Cause { Aircraft, Satellite, StarOrNoise, Other };
inline constexpr int kCauses = 4;
const char* CauseName(Cause cause);

// Meteor classes by peak brightness above the sky (DN) and by speed (pixels per frame).
inline constexpr int kBrightnessClasses = 4;
inline constexpr int kSpeedClasses = 3;
int BrightnessClass(double peak);  // faint <30, medium <80, bright <200, saturating
int SpeedClass(double speed);      // slow <10, medium <40, fast
const char* BrightnessClassName(int c);
const char* SpeedClassName(int c);

struct Tally {
  int present = 0;
  int caught = 0;
};

struct QualityScore {
  Tally meteors;
  Tally by_brightness[kBrightnessClasses];
  Tally by_speed[kSpeedClasses];
  int clips = 0;
  int meteor_clips = 0;
  int false_clips[kCauses] = {};
  double hours = 0.0;           // length of the simulated video
  std::vector<int> clip_cause;  // per clip: -1 holds a meteor, else a Cause
};

// A meteor is caught when one of its frames was delivered into a clip.
bool HoldsMeteor(const ClipRecord& clip, const skysim::SkyEvent& meteor);
// What set off a clip that holds no meteor: hits of the trigger frame near an
// aircraft or satellite name it; else a brightness jump, repeated frame or
// cloud around the trigger makes it "other"; else stars or noise.
Cause CauseOf(const skysim::SkyTruth& truth, const ClipRecord& clip);
QualityScore Score(const skysim::SkyTruth& truth, const std::vector<ClipRecord>& clips);

}  // namespace orvanta::quality
