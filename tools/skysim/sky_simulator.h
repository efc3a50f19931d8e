// A night sky we control: frames of a simulated camera, with the truth of
// what moves in them. Plain C++: frames are rendered into memory, and the
// same seed always gives the same frames and the same truth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "detectfilter/pixel_format.h"
#include "tools/skysim/sky_scenario.h"
#include "tools/skysim/sky_truth.h"

namespace orvanta::skysim {

// The formats the simulator renders, by the names GStreamer gives them: false when the name is
// none of "YUY2", "I420", "GRAY8" (Y800).
bool ParsePixelFormat(std::string_view name, PixelFormat& format);

struct SkyConfig {
  int width = 1280;
  int height = 720;
  double fps = 30.0;
  int frames = 300;
  uint64_t seed = 1;
  std::string scenario = "quiet";
  // No event starts in the first seconds, while a station's averages settle.
  double settle_seconds = 10.0;
};

struct SkyPlan;  // events with their drawing parameters

class SkySimulator {
 public:
  // Null, with the reason in `error`, when the configuration is unusable.
  static std::unique_ptr<SkySimulator> Create(const SkyConfig& config, std::string& error);
  ~SkySimulator();

  const SkyConfig& config() const { return config_; }
  const SkyScenario& scenario() const { return scenario_; }
  const SkyTruth& truth() const { return truth_; }

  // Renders frame `index` (0 .. frames-1) into `out` (FrameBytes bytes) in one of
  // the formats ParsePixelFormat names. The picture carries brightness only: the
  // colour samples are neutral (128).
  void Render(int index, PixelFormat format, uint8_t* out);
  // The brightness plane alone: width x height bytes.
  void RenderLuma(int index, uint8_t* out);

 private:
  SkySimulator(const SkyConfig& config, const SkyScenario& scenario);
  void Build();
  void DrawFrame(int index);       // into work_, before noise
  const uint8_t* Luma(int index);  // renders into luma_ unless it holds the frame already

  SkyConfig config_;
  SkyScenario scenario_;
  SkyTruth truth_;
  std::unique_ptr<SkyPlan> plan_;
  std::vector<float> base_;    // sky background, static part
  std::vector<float> work_;    // signal of the frame being drawn
  std::vector<float> noise_;   // table of unit normal deviates
  std::vector<uint8_t> luma_;  // brightness plane of the last rendered frame
  int luma_frame_ = -1;        // frame held in luma_
};

}  // namespace orvanta::skysim
