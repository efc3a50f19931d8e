// Noise tracking figures and the star masking pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "detectfilter/core/detect_core.h"
#include "detectfilter/core/noise_tracker.h"
#include "detectfilter/core/pixel_kernels.h"
#include "detectfilter/core/star_shapes.h"
#include "tests/support/frames.h"
#include "tests/support/test_station.h"

namespace orvanta::detect {
namespace {

TEST(NoiseTracking, DetectLevelFromTheAverage) {
  struct Case {
    double average;
    int ratio, delta, min;
    int dlev;
  };
  const Case cases[] = {
      {30, 150, 10, 20, 45},                            // ratio gives more than the margin
      {5, 150, 10, 20, 20},                             // margin gives 15, raised to the floor
      {0.2, 120, 20, 10, 20},                           // quiet sky: the larger of margin and floor
      {0.2, 120, 5, 10, 10},  {250, 150, 10, 20, 254},  // never above 254
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.average);
    NoiseTracker t;
    t.Reset(30);
    t.set_average(c.average);
    EXPECT_EQ(t.Dlev(c.ratio, c.delta, c.min), c.dlev);
  }
}

TEST(NoiseTracking, FollowsFastUpSlowDown) {
  NoiseTracker t;
  t.Reset(30);  // N 500010, falling weight 990, rising weight from 990 down to 330
  // The first second is averaged plainly: one changing date text or flash among its frames
  // does not set where the slow fall starts from.
  t.Follow(70);
  for (int k = 1; k < 30; ++k) t.Follow(10);
  EXPECT_NEAR(t.average(), 12, 1e-9);
  t.Follow(0);
  EXPECT_NEAR(t.average(), (500010.0 - 990) * 12 / 500010, 1e-9);
  for (int k = 0; k < 1000; ++k) t.Follow(100);  // the rising weight reaches its floor
  const double before = t.average();
  t.Follow(100);
  EXPECT_DOUBLE_EQ(t.average(), ((500010.0 - 330) * before + 330 * 100) / 500010);
}

// A small star-mask grid: flat long-term average with one bright point, run through a kernel
// set band by band as the pool would (all marks, then all carries).
struct StarGrid {
  int cx, cy;
  std::vector<uint32_t> avr, avr2;
  std::vector<uint8_t> mask_alloc, mask2_alloc;
  std::vector<uint8_t> grid_marks, mask_marks;  // the carry's row bookkeeping
  uint8_t* mask;
  uint8_t* mask2;
  StarGrid(int w, int h)
      : cx(w),
        cy(h),
        avr(static_cast<size_t>(w) * h),
        avr2(static_cast<size_t>(w) * h / 4),
        mask_alloc(static_cast<size_t>(w) * h + 12 * w),
        mask2_alloc(static_cast<size_t>(w) * h + 12 * w),
        grid_marks(h + 2 * kStarRowMargin, 0),
        mask_marks(h, 1) {
    mask = mask_alloc.data() + 6 * w;
    mask2 = mask2_alloc.data() + 6 * w;
  }
  void Run(const KernelSet& k, bool half, int bands, int level, int size) {
    StarMaskArgs a;
    a.avr = avr.data();
    a.avr2 = avr2.data();
    a.mask = mask;
    a.mask2 = mask2;
    a.cx = cx;
    a.cy = cy;
    a.rows_per_band = cy / bands;
    a.sm_level = static_cast<uint32_t>(level);
    a.sm_size = size;
    a.grid_marks = grid_marks.data();
    a.mask_marks = mask_marks.data();
    std::vector<uint32_t> scratch(cx);
    const int tasks = half ? bands / 2 : bands;
    for (int b = 0; b < tasks; ++b)
      (half ? k.star_mark_half : k.star_mark_full)(a, b, scratch.data());
    for (int b = 0; b < tasks; ++b) (half ? k.star_carry_half : k.star_carry_full)(a, b);
  }
  // The marked pixels as text rows ('#' marked, '.' not), around (col, row).
  std::vector<std::string> Around(int col, int row, int radius) const {
    std::vector<std::string> rows;
    for (int y = row - radius; y <= row + radius; ++y) {
      std::string s;
      for (int x = col - radius; x <= col + radius; ++x) {
        s += (mask[y * cx + x] & 248) ? '#' : '.';
      }
      rows.push_back(s);
    }
    return rows;
  }
};

std::vector<std::string> ShapeText(int shape_id, int radius) {
  const StarShape& shape = kStarShapes[shape_id];
  std::vector<std::string> rows(2 * radius + 1, std::string(2 * radius + 1, '.'));
  for (int k = 0; k < shape.rows; ++k) {
    int y = radius + k - shape.rows / 2;
    for (int x = radius - shape.half[k]; x <= radius + shape.half[k]; ++x) rows[y][x] = '#';
  }
  return rows;
}

std::vector<const KernelSet*> KernelSets() {
  std::vector<const KernelSet*> sets = {&BaselineKernels()};
  if (__builtin_cpu_supports("avx2")) sets.push_back(&Avx2Kernels());
  return sets;
}

// Brightness 20 around one brighter point, level 150, size 10, full resolution.
TEST(StarMask, ShapeByStrength) {
  struct Case {
    int point, level, shape;  // shape -1: not marked
  };
  const Case cases[] = {{100, 150, kP10}, {50, 150, kP9}, {35, 150, kP7}, {100, 600, -1}};
  for (const KernelSet* k : KernelSets()) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(k->name) + " point " + std::to_string(c.point) + " level " +
                   std::to_string(c.level));
      StarGrid g(48, 48);
      for (auto& v : g.avr) v = 20 * 16384;
      g.avr[24 * 48 + 20] = static_cast<uint32_t>(c.point) * 16384;
      g.mask[24 * 48 + 14] = 2;  // a user mask bit inside the patch survives
      g.Run(*k, false, 8, c.level, 10);
      if (c.shape < 0) {
        EXPECT_EQ(g.Around(20, 24, 7), std::vector<std::string>(15, std::string(15, '.')));
      } else {
        EXPECT_EQ(g.Around(20, 24, 7), ShapeText(c.shape, 7));
      }
      EXPECT_EQ(g.mask[24 * 48 + 14] & 3, 2);
      // A second pass with the point gone clears the marks but not the user's bit.
      g.avr[24 * 48 + 20] = 20 * 16384;
      g.Run(*k, false, 8, c.level, 10);
      EXPECT_EQ(g.Around(20, 24, 7), std::vector<std::string>(15, std::string(15, '.')));
      EXPECT_EQ(g.mask[24 * 48 + 14], 2);
    }
  }
}

// Half resolution: one byte of the work grid stands for a 2x2 block of pixels.
TEST(StarMask, HalfResolutionMarksBlocks) {
  for (const KernelSet* k : KernelSets()) {
    SCOPED_TRACE(k->name);
    StarGrid g(48, 48);
    for (auto& v : g.avr2) v = 4 * 20 * 16384;
    g.avr2[12 * 24 + 10] = 4 * 100 * 16384;  // block (10, 12): pixels (20..21, 24..25)
    g.Run(*k, true, 8, 150, 2);              // strong at size 2: P3 on the block grid
    std::vector<std::string> expected(9, std::string(9, '.'));
    for (int y = 2; y <= 7; ++y)
      for (int x = 2; x <= 7; ++x) expected[y][x] = '#';
    EXPECT_EQ(g.Around(22 - 2, 26 - 2, 4), expected);
  }
}

// The marking pass written out point by point as the rule reads, without running sums or
// shortcuts: the kernels must mark exactly the same pixels.
std::vector<uint8_t> ReferenceMarks(const StarGrid& g, bool half, int bands, uint32_t level,
                                    int size) {
  const int radius = half ? 1 : 2;
  const int width = half ? g.cx / 2 : g.cx;
  const uint32_t neighbours = half ? 8 : 24;
  const uint32_t offset = half ? level * 8192u - 753664u : level * 2048u - 188416u;
  const uint32_t* a = half ? g.avr2.data() : g.avr.data();
  const int rows_per_band = g.cy / bands;
  std::vector<uint8_t> grid(static_cast<size_t>(g.cx) * g.cy + 12 * g.cx, 0);
  uint8_t* work = grid.data() + 6 * g.cx;
  std::vector<uint8_t> mask(g.mask_alloc);
  uint8_t* out = mask.data() + 6 * g.cx;
  const int tasks = half ? bands / 2 : bands;
  const int lowest = half ? g.cy / 2 - 1 : g.cy - 2;
  auto band_rows = [&](int k, int& first, int& last) {
    first = k * rows_per_band + radius;
    last = std::min(k * rows_per_band + rows_per_band + radius, lowest);
  };
  for (int k = 0; k < tasks; ++k) {
    int first, last;
    band_rows(k, first, last);
    for (int y = first; y < last; ++y) {
      for (int x = radius; x < width - radius; ++x) {
        uint32_t sum = 0;
        for (int dy = -radius; dy <= radius; ++dy)
          for (int dx = -radius; dx <= radius; ++dx) sum += a[(y + dy) * width + x + dx];
        const uint32_t m = a[y * width + x];
        const uint32_t v = (sum - m) / neighbours;
        if (!(m > v + offset && m * 100u > v * level)) continue;
        const int strength = m * 100u > v * (4u * level - 298u)  ? 2
                             : m * 100u > v * (2u * level - 99u) ? 1
                                                                 : 0;
        const StarShape& shape =
            kStarShapes[half ? kHalfShapeBySize[size][strength] : kFullShapeBySize[size][strength]];
        for (int r = 0; r < shape.rows; ++r) {
          const int h = shape.half[r];
          for (int dx = -h; dx <= h; ++dx) {
            work[(y + r - shape.rows / 2) * width + x + dx] = 248;
          }
        }
      }
    }
  }
  for (int k = 0; k < tasks; ++k) {
    int first, last;
    band_rows(k, first, last);
    for (int y = first; y < last; ++y) {
      for (int x = 0; x < width; ++x) {
        if (half) {
          for (int py : {2 * y, 2 * y + 1})
            for (int px : {2 * x, 2 * x + 1})
              out[py * g.cx + px] =
                  static_cast<uint8_t>(work[y * width + x] | (out[py * g.cx + px] & 3));
        } else {
          out[y * g.cx + x] = static_cast<uint8_t>((out[y * g.cx + x] & 3) | work[y * g.cx + x]);
        }
      }
    }
  }
  return mask;
}

TEST(StarMask, KernelsMarkWhatTheRuleMarks) {
  struct Case {
    bool half;
    uint32_t level;
    int size;
    uint32_t background;
  };
  const Case cases[] = {
      {false, 120, 8, 20},   // the station's defaults
      {false, 150, 11, 60},  //
      {false, 50, 10, 120},  // low level: the offset wraps, only bright surroundings mark
      {true, 120, 8, 20},   {true, 60, 11, 200}, {false, 120, 0, 20},  // size out of range
  };
  for (const KernelSet* k : KernelSets()) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(k->name) + (c.half ? " half" : " full") + " level " +
                   std::to_string(c.level));
      StarGrid g(100, 64);
      testing::Lcg rng{c.level};
      auto fill = [&](std::vector<uint32_t>& map, uint32_t scale) {
        for (auto& v : map) v = scale * (c.background * 16384 + rng.Next() % 30000);
        // Bright points from barely brighter to five times brighter, many near the limits.
        for (int p = 0; p < 60; ++p) {
          uint32_t& v = map[rng.Next() % map.size()];
          v = static_cast<uint32_t>(v * (1.0 + (rng.Next() % 400) / 100.0));
        }
      };
      fill(g.avr, 1);
      fill(g.avr2, 4);
      for (size_t i = 0; i < 200; ++i) g.mask[rng.Next() % (100 * 64)] = 1 + rng.Next() % 3;
      const auto expected = ReferenceMarks(g, c.half, 8, c.level, c.size);
      g.Run(*k, c.half, 8, static_cast<int>(c.level), c.size);
      EXPECT_TRUE(g.mask_alloc == expected);
      size_t marked = 0;
      for (uint8_t m : expected) marked += (m & 248) != 0;
      EXPECT_GT(marked, 0u);
    }
  }
}

// The half-resolution sums hold cy / 2 rows of cx / 2 blocks in `pixels` bytes: an odd last row
// or column feeds none, and nothing lands past the map.
TEST(StarMask, HalfResolutionSumsStayInTheirMap) {
  for (bool object_path : {false, true}) {
    SCOPED_TRACE(object_path ? "object path" : "averaging path");
    testing::TestStation st(33, 15, PixelFormat::Y800, [&](DetectionBlock& b) {
      b.sm_on2 = 1;
      b.so_on = object_path;
      b.fs_head = 1;
      b.bands = 1;
    });
    const size_t pixels = static_cast<size_t>(st.b().pixels);
    std::vector<uint8_t> avr_map2(pixels + 64, 0xEE);  // with a guard past the map
    st.b().avr_map2 = avr_map2.data();
    DetectCore core(testing::SteppingClock{});
    core.AttachBlock(&st.b());
    ASSERT_TRUE(core.SetMediaType(VideoFormat{PixelFormat::Y800, 33, 15, 333667}));
    core.Run();
    for (int k = 0; k < 3; ++k) {
      auto f = testing::Encode(testing::Picture(33, 15, static_cast<uint8_t>(100 + k)),
                               PixelFormat::Y800);
      core.ReceiveVideo(f.data(), f.size(), SampleTimes{});
    }
    for (size_t i = pixels; i < avr_map2.size(); ++i) ASSERT_EQ(avr_map2[i], 0xEE) << i;
    // Block (0, 0) sums its four pixels' averages.
    uint32_t block;
    std::memcpy(&block, avr_map2.data(), 4);
    EXPECT_EQ(block, st.avr_map()[0] + st.avr_map()[1] + st.avr_map()[33] + st.avr_map()[34]);
  }
}

TEST(StarMask, RunMarksThePictureBorder) {
  testing::TestStation st(16, 12, PixelFormat::Y800);
  st.b().mask[5 * 16 + 7] = 2;
  DetectCore core(testing::SteppingClock{});
  core.AttachBlock(&st.b());
  ASSERT_TRUE(core.SetMediaType(VideoFormat{PixelFormat::Y800, 16, 12, 333667}));
  core.Run();
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 16; ++x) {
      SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
      const bool border = x < 2 || x >= 14 || y < 2 || y >= 10;
      EXPECT_EQ(st.b().mask[y * 16 + x], border ? 1 : (x == 7 && y == 5 ? 2 : 0));
    }
  }
}

}  // namespace
}  // namespace orvanta::detect
