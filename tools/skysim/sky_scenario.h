// Named skies: the knobs that make one simulated night differ from another.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvanta::skysim {

struct SkyScenario {
  std::string name;
  std::string summary;
  // Sky and sensor, brightness in 8-bit steps (DN).
  double background = 22.0;       // mean sky level
  double gradient = 6.0;          // darker zenith (top) to brighter horizon (bottom)
  double drift_per_minute = 0.3;  // slow brightening of the whole sky
  double read_noise = 1.6;        // sigma of the sensor's read noise
  double shot_gain = 0.25;        // shot noise variance per DN of signal
  // Stars: count per megapixel down to 2 DN, Pareto slope of their brightness.
  double stars_per_mp = 700.0;
  double star_slope = 0.9;
  double star_max = 3000.0;  // brightest star's peak above the sky
  double twinkle = 0.10;     // log-normal sigma of a bright star's scintillation
  // Sensor defects: steady hot pixels per megapixel, and the share of them
  // that flicker between two levels (random telegraph noise).
  double hot_pixels_per_mp = 3.0;
  double flicker_share = 0.0;
  // Events, per minute of video.
  double meteors_per_minute = 8.0;
  double aircraft_per_minute = 0.0;
  double satellites_per_minute = 0.0;
  double repeats_per_minute = 0.0;
  double jumps_per_minute = 0.0;
  bool cloud = false;
};

// The built-in scenarios: "quiet", "twinkle", "traffic", "rough".
const std::vector<SkyScenario>& Scenarios();
// Null when no scenario has this name.
const SkyScenario* FindScenario(std::string_view name);

}  // namespace orvanta::skysim
