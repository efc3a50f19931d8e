// Inside the simulator: everything in the sky with the parameters it is
// drawn with. The truth is derived from this plan.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/skysim/sky_random.h"
#include "tools/skysim/sky_scenario.h"
#include "tools/skysim/sky_truth.h"

namespace orvanta::skysim {

inline constexpr double kPsfSigma = 1.1;               // pixels, a slightly soft lens
inline constexpr double kSiderealRate = 7.2921159e-5;  // radians per second

struct Star {
  double radius;   // distance from the celestial pole, pixels
  double angle;    // at frame 0, radians
  double amp;      // peak above the sky, DN
  double twinkle;  // log-normal sigma of its scintillation
};

struct HotPixel {
  int index;       // row * width + column
  float level;     // added DN when lit
  float lit_odds;  // chance of being lit in a frame; 1 for a steady one
};

// A moving body drawn as a blurred streak over each frame's exposure.
struct Body {
  EventKind kind;
  int first_frame;
  int last_frame;
  double x0, y0;  // position at the start of first_frame
  double vx, vy;  // pixels per frame
  // Meteor: brightness profile over its life.
  double peak;
  double rise;  // share of the life before the peak, 0..1
  // Aircraft: steady wing lights and a strobe on the body.
  double light_amp = 0.0;
  double wing_span = 0.0;
  int strobe_period = 0;
  int strobe_phase = 0;
  // Satellite: fades in and out over this many frames.
  int fade_frames = 0;
  // Cloud: radius, sky glow and how much star light it lets through.
  double cloud_radius = 0.0;
  double glow = 0.0;
  double transmission = 1.0;
};

struct SkyPlan {
  double pole_x = 0.0, pole_y = 0.0, rotation_sign = 1.0;
  std::vector<Star> stars;
  std::vector<HotPixel> hot_pixels;
  std::vector<Body> bodies;  // meteors, aircraft, satellites, clouds
  std::vector<int> repeats;  // frames that repeat the frame before them
  std::vector<Body> jumps;   // kind Jump: peak = DN added to the whole picture
  std::vector<int> source;   // frame actually drawn for each frame index
};

// Lays out the stars, defects and events of a whole run.
SkyPlan PlanSky(const SkyScenario& scenario, int width, int height, double fps, int frames,
                uint64_t seed, double settle_seconds);
// The ground truth of a plan.
SkyTruth TruthOf(const SkyPlan& plan, int width, int height, double fps, int frames);
// Meteor brightness over its life, 0..1 at share u of the life.
double MeteorProfile(double u, double rise);

}  // namespace orvanta::skysim
