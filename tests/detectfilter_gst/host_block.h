// A DetectionBlock with every buffer the host allocates, sized as the station sizes them.
#pragma once

#include <memory>

#include "capture/block_buffers.h"
#include "detectfilter/zavipf.h"

namespace orvanta::detect::testing {

struct BlockShape {
  int cx = 64;
  int cy = 48;
  double bytes_per_pixel = 1;  // 1 (Y800), 1.5 (4:2:0), 2, 3, 4
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
