// A DetectionBlock with every buffer the host allocates, sized as the station sizes them.
#pragma once

#include <memory>

#include "capture/block_buffers.h"
#include "detectfilter/pixel_format.h"
#include "detectfilter/zavipf.h"

namespace orvanta::detect::testing {

struct BlockShape {
  int cx = 64;
  int cy = 48;
  PixelFormat format = PixelFormat::Y800;  // of the frames the ring holds
  int fs_head = 3;
  int fs_diff = 2;
  int dmin = 2;
  int fs_tail = 4;
  double fps = 30;
  bool audio = false;
};

class HostBlock {
 public:
  explicit HostBlock(const BlockShape& shape);
  DetectionBlock* get() { return block_.get(); }
  DetectionBlock* operator->() { return block_.get(); }

 private:
  std::unique_ptr<DetectionBlock> block_;
  capture::BlockBuffers buffers_;
};

}  // namespace orvanta::detect::testing
