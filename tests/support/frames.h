// Small synthetic pictures for the detection core tests: a flat Y800 sky on which tests put
// bright pixels, and a noisy night sky in any input format.
#pragma once

#include <cstdint>
#include <vector>

#include "detectfilter/pixel_format.h"

namespace orvanta::detect::testing {

struct Lcg {
  uint32_t state;
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};

// A brightness picture (one byte per pixel) to be written in some input format.
struct Picture {
  int cx, cy;
  std::vector<uint8_t> y;
  Picture(int w, int h, uint8_t bg) : cx(w), cy(h), y(static_cast<size_t>(w) * h, bg) {}
  void Set(int col, int row, uint8_t v) { y[static_cast<size_t>(row) * cx + col] = v; }
  void Fill(int col, int row, int w, int h, uint8_t v) {
    for (int r = row; r < row + h; ++r)
      for (int c = col; c < col + w; ++c) Set(c, r, v);
  }
};

// Writes the picture as a frame of `format`: brightness where the format keeps it, grey
// colour elsewhere (RGB formats get the brightness in all three colour bytes).
inline std::vector<uint8_t> Encode(const Picture& p, PixelFormat format) {
  const size_t pixels = static_cast<size_t>(p.cx) * p.cy;
  std::vector<uint8_t> f(static_cast<size_t>(FrameBytes(format, static_cast<int64_t>(pixels))),
                         128);
  for (size_t i = 0; i < pixels; ++i) PutBrightness(Info(format), f.data(), i, p.y[i]);
  return f;
}

// A night sky: dark noise, a few fixed stars and a meteor crossing from frame `meteor_from`.
inline Picture NightSky(int cx, int cy, int frame, int meteor_from, uint32_t seed) {
  Picture p(cx, cy, 0);
  Lcg noise{seed * 7919u + static_cast<uint32_t>(frame) * 104729u};
  for (auto& v : p.y) v = static_cast<uint8_t>(16 + noise.Next() % 12);
  Lcg stars{seed};
  for (int s = 0; s < 6; ++s) {
    int col = 3 + static_cast<int>(stars.Next() % (cx - 6));
    int row = 3 + static_cast<int>(stars.Next() % (cy - 6));
    uint8_t v = static_cast<uint8_t>(120 + (stars.Next() % 80) + (noise.Next() % 30));
    p.Fill(col - 1, row - 1, 2, 2, v);
  }
  if (frame >= meteor_from) {
    int t = frame - meteor_from;
    int col = 4 + 3 * t;
    int row = 4 + 2 * t;
    if (col + 3 < cx && row + 3 < cy) p.Fill(col, row, 3, 3, 230);
  }
  return p;
}

}  // namespace orvanta::detect::testing
