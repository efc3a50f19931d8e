// One bench run: the simulated sky fed frame by frame to the detection core,
// hosted the way the station hosts it, with the clips it made.
#pragma once

#include <string>
#include <vector>

#include "bench/quality/quality_score.h"
#include "detectfilter/pixel_format.h"
#include "tools/skysim/sky_simulator.h"

namespace orvanta::quality {

struct RunOptions {
  std::string scenario = "quiet";
  int width = 1280;
  int height = 720;
  double fps = 30.0;
  double seconds = 300.0;
  uint64_t seed = 1;
  PixelFormat format = PixelFormat::YUY2;
  double settle_seconds = 10.0;
  std::vector<std::string> settings;  // "KEY=VALUE" changes from the defaults
};

struct RunResult {
  std::string error;  // empty on success
  skysim::SkyTruth truth;
  std::vector<ClipRecord> clips;
  int frames_processed = 0;  // frames the core took
  double core_seconds = 0;   // time spent inside the core's frame path
  double render_seconds = 0;
  int final_dlev = 0;
  int deliver_errors = 0;
};

RunResult RunScenario(const RunOptions& options);

}  // namespace orvanta::quality
