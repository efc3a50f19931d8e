// Noise tracking figures and the star masking pass.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "detectfilter/core/detect_core.h"
#include "detectfilter/core/noise_tracker.h"
#include "detectfilter/core/pixel_kernels.h"
#include "detectfilter/core/star_shapes.h"
#include "tests/detectfilter_core/test_station.h"

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
  t.Follow(10);
  EXPECT_DOUBLE_EQ(t.average(), 10);  // the first level is taken as it is
  t.Follow(0);
  EXPECT_DOUBLE_EQ(t.average(), (500010.0 - 990) * 10 / 500010);
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
  uint8_t* mask;
  uint8_t* mask2;
  StarGrid(int w, int h)
      : cx(w),
        cy(h),
        avr(static_cast<size_t>(w) * h),
        avr2(static_cast<size_t>(w) * h / 4),
        mask_alloc(static_cast<size_t>(w) * h + 12 * w),
        mask2_alloc(static_cast<size_t>(w) * h + 12 * w) {
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

TEST(StarMask, RunMarksThePictureBorder) {
  testing::TestStation st(16, 12, Subtype::Y800);
  st.b().mask[5 * 16 + 7] = 2;
  DetectCore core(testing::SteppingClock{});
  core.AttachBlock(&st.b());
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
