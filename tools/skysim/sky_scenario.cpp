#include "tools/skysim/sky_scenario.h"

namespace orvanta::skysim {

namespace {
std::vector<SkyScenario> MakeScenarios() {
  std::vector<SkyScenario> all;

  SkyScenario quiet;
  quiet.name = "quiet";
  quiet.summary = "clear dark sky, calm air, meteors only";
  all.push_back(quiet);

  SkyScenario twinkle = quiet;
  twinkle.name = "twinkle";
  twinkle.summary = "clear sky, strong scintillation of the stars";
  twinkle.twinkle = 0.45;
  twinkle.stars_per_mp = 900.0;
  all.push_back(twinkle);

  SkyScenario traffic = quiet;
  traffic.name = "traffic";
  traffic.summary = "aircraft with strobes and satellites among the meteors";
  traffic.aircraft_per_minute = 1.5;
  traffic.satellites_per_minute = 2.0;
  all.push_back(traffic);

  SkyScenario rough = quiet;
  rough.name = "rough";
  rough.summary = "hot and flickering pixels, repeated frames, a brightness jump, a cloud";
  rough.read_noise = 2.2;
  rough.hot_pixels_per_mp = 40.0;
  rough.flicker_share = 0.3;
  rough.repeats_per_minute = 3.0;
  rough.jumps_per_minute = 1.0;
  rough.cloud = true;
  all.push_back(rough);

  return all;
}
}  // namespace

const std::vector<SkyScenario>& Scenarios() {
  static const std::vector<SkyScenario> all = MakeScenarios();
  return all;
}

const SkyScenario* FindScenario(std::string_view name) {
  for (const auto& scenario : Scenarios())
    if (scenario.name == name) return &scenario;
  return nullptr;
}

}  // namespace orvanta::skysim
