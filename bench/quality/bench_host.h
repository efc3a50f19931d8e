// The station's half of the detection block for a bench run: every setting at
// its default unless changed by name, buffers sized and allocated as the host does before attaching
// the filter, and the run fields reset.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/block_buffers.h"
#include "detectfilter/pixel_format.h"
#include "detectfilter/zavipf.h"

namespace orvanta::quality {

struct BenchHostOptions {
  int width = 2560;
  int height = 1440;
  PixelFormat format = PixelFormat::YUY2;
  // Settings changed from their defaults, as "KEY=VALUE" ("IF.sm_on=0").
  std::vector<std::string> settings;
};

class BenchHost {
 public:
  // Null, with the host's message in `error`, when it would refuse the settings.
  static std::unique_ptr<BenchHost> Create(const BenchHostOptions& options, std::string& error);
  DetectionBlock& block() { return *block_; }

 private:
  BenchHost() = default;
  std::unique_ptr<DetectionBlock> block_;
  capture::BlockBuffers buffers_;
};

}  // namespace orvanta::quality
