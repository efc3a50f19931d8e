// The 24-bit picture every still image is composed in: blue, green, red per
// pixel, rows bottom-up (memory row 0 is the bottom row of the picture), rows
// packed without fill bytes, as the live page shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvanta {

struct Image24 {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;

  void Resize(int w, int h) {
    width = w;
    height = h;
    bgr.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
  }
  size_t row_bytes() const { return static_cast<size_t>(width) * 3; }
  // Memory row; 0 is the bottom of the picture.
  uint8_t* row(int memory_row) { return bgr.data() + memory_row * row_bytes(); }
  const uint8_t* row(int memory_row) const { return bgr.data() + memory_row * row_bytes(); }
  bool valid() const {
    return width > 0 && height > 0 &&
           bgr.size() >= static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
  }
};

}  // namespace orvanta
