// The three detection paths: which pixels count as hits, where the largest difference is
// marked, and what the object path leaves out.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "detectfilter/core/detect_core.h"
#include "tests/support/frames.h"
#include "tests/support/test_station.h"

namespace orvanta::detect {
namespace {

using testing::Picture;
using testing::SteppingClock;
using testing::TestStation;

enum class Path { Plain, Averaging, Object };

void UsePath(DetectionBlock& b, Path path) {
  b.nt_on = 0;
  b.si_on = 0;
  b.sm_on = 0;
  b.so_on = path == Path::Object;
  b.brightonly = path != Path::Plain;
  b.so_size = 4;
  b.fs_head = 1;  // a head frame exists from the second frame on
}

// Runs pictures through a running core; `after` sees the block after each frame.
void Feed(TestStation& st, const std::vector<Picture>& pictures,
          const std::function<void(int, DetectionBlock&)>& after = nullptr, int threads = -1) {
  DetectCore core(SteppingClock{}, threads);
  core.AttachBlock(&st.b());
  ASSERT_TRUE(core.SetMediaType(VideoFormat{PixelFormat::Y800, st.b().cx, st.b().cy, 333667}));
  core.Run();
  for (int k = 0; k < static_cast<int>(pictures.size()); ++k) {
    auto frame = testing::Encode(pictures[k], PixelFormat::Y800);
    core.ReceiveVideo(frame.data(), frame.size(), SampleTimes{});
    if (after) after(k, st.b());
  }
}

// With brightonly, a pixel brighter than the reference but not brighter than the head frame
// (fs_head back) by more than bolevel is no hit; without it, it is.
TEST(Detection, BrightOnlyNeedsBrighteningOverTheHeadFrame) {
  struct Case {
    const char* name;
    Path path;
    bool brightonly;
    uint8_t head_value;
    int hits;
  };
  const Case cases[] = {
      {"averaging, head brighter", Path::Averaging, true, 150, 0},
      {"averaging, head dark", Path::Averaging, true, 10, 4},
      {"averaging, head within bolevel", Path::Averaging, true, 99, 0},
      {"plain ignores the head", Path::Plain, false, 150, 4},
      {"object, head brighter", Path::Object, true, 150, 0},
      {"object, head dark", Path::Object, true, 10, 4},
      {"object without brightonly", Path::Object, false, 150, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestStation st(32, 16, PixelFormat::Y800, [&](DetectionBlock& b) {
      UsePath(b, c.path);
      b.brightonly = c.brightonly;
      b.fs_head = 2;
    });
    // Frame 0 is the head frame of frame 2, frame 1 its reference.
    Picture head(32, 16, 10), ref(32, 16, 10), cur(32, 16, 10);
    head.Fill(8, 6, 2, 2, c.head_value);
    cur.Fill(8, 6, 2, 2, 100);
    int hits = -1;
    Feed(st, {head, ref, cur}, [&](int k, DetectionBlock& b) {
      if (k == 2) hits = b.hits;
    });
    EXPECT_EQ(hits, c.hits);
  }
}

// Two pixels with the same largest difference: the first in row-major order is the one marked
// 255 in the hit map, also when they lie in different bands of the worker jobs.
TEST(Detection, TiedLargestDifferenceMarksTheFirstPixel) {
  struct Case {
    const char* name;
    Path path;
    int first_col, first_row, second_col, second_row;
  };
  const Case cases[] = {
      {"plain, same row", Path::Plain, 5, 3, 20, 3},
      {"plain, different bands", Path::Plain, 20, 1, 5, 30},
      {"averaging, different bands", Path::Averaging, 20, 1, 5, 30},
  };
  for (const Case& c : cases) {
    for (int threads : {0, 2}) {
      SCOPED_TRACE(std::string(c.name) + ", threads " + std::to_string(threads));
      TestStation st(32, 32, PixelFormat::Y800, [&](DetectionBlock& b) { UsePath(b, c.path); });
      Picture ref(32, 32, 10), cur(32, 32, 10);
      cur.Set(c.first_col, c.first_row, 90);
      cur.Set(c.second_col, c.second_row, 90);
      int level = -1;
      // The hit map is kept (not cleared on idle frames) while the host has a clip pending.
      Feed(
          st, {ref, cur},
          [&](int k, DetectionBlock& b) {
            b.clip_started = 1;
            level = k == 1 ? b.level : level;
          },
          threads);
      EXPECT_EQ(level, 80);
      EXPECT_EQ(st.hit_map()[c.first_row * 32 + c.first_col], 255);
      EXPECT_EQ(st.hit_map()[c.second_row * 32 + c.second_col], 90);
    }
  }
}

// The object path works in bands of cy / bands rows: the last cy mod bands rows are never
// examined (nor averaged).
TEST(Detection, ObjectPathLeavesOutTheRowsNoBandCovers) {
  for (int row : {13, 17}) {
    SCOPED_TRACE(row);
    TestStation st(32, 20, PixelFormat::Y800, [](DetectionBlock& b) {
      UsePath(b, Path::Object);
      b.bands = 8;  // 2 rows per band: rows 16..19 belong to none
    });
    Picture ref(32, 20, 10), cur(32, 20, 10);
    cur.Fill(10, row, 3, 3, 200);
    int hits = -1;
    Feed(st, {ref, cur}, [&](int k, DetectionBlock& b) { hits = k == 1 ? b.hits : hits; });
    EXPECT_EQ(hits, row + 2 < 16 ? 9 : 0);
    EXPECT_EQ(st.avr_map()[19 * 32], 0u);
    EXPECT_NE(st.avr_map()[15 * 32], 0u);
  }
}

// New objects: a group smaller than dsize adds nothing to the hits; with all 19 entries in
// use, further groups still count as hits but start no object.
TEST(Detection, ObjectTableLimits) {
  TestStation small(64, 32, PixelFormat::Y800, [](DetectionBlock& b) { UsePath(b, Path::Object); });
  Picture ref(64, 32, 10), cur(64, 32, 10);
  cur.Fill(10, 10, 2, 1, 200);  // 2 pixels, dsize 3
  int hits = -1;
  Feed(small, {ref, cur}, [&](int k, DetectionBlock& b) { hits = k == 1 ? b.hits : hits; });
  EXPECT_EQ(hits, 0);

  TestStation full(160, 32, PixelFormat::Y800, [](DetectionBlock& b) {
    UsePath(b, Path::Object);
    b.so_size = 2;
  });
  Picture many(160, 32, 10);
  for (int g = 0; g < 20; ++g) many.Fill(2 + 8 * g, 10, 3, 1, 200);
  Feed(full, {ref = Picture(160, 32, 10), many},
       [&](int k, DetectionBlock& b) { hits = k == 1 ? b.hits : hits; });
  EXPECT_EQ(hits, 60);
  // The 20th group got no object number in the object map.
  EXPECT_NE(full.obj_map()[10 * 160 + 2 + 8 * 18], 0);
  EXPECT_EQ(full.obj_map()[10 * 160 + 2 + 8 * 19], 0);
}

// A frame identical to its reference has level 0; with ignoredf it and the next three frames
// count nothing.
TEST(Detection, IgnoreRepeatedFrame) {
  for (int ignoredf : {0, 1}) {
    SCOPED_TRACE(ignoredf);
    TestStation st(32, 16, PixelFormat::Y800, [&](DetectionBlock& b) {
      UsePath(b, Path::Plain);
      b.ignoredf = ignoredf;
    });
    std::vector<Picture> pictures;
    for (int k = 0; k < 9; ++k) {
      Picture p(32, 16, 10);
      p.Fill(2 * k, 4, 2, 2, 100);
      pictures.push_back(p);
    }
    pictures[3] = pictures[2];
    std::vector<int> levels, hits;
    Feed(st, pictures, [&](int, DetectionBlock& b) {
      levels.push_back(b.level);
      hits.push_back(b.hits);
    });
    EXPECT_EQ(levels[3], 0);
    for (int k : {4, 5, 6}) {
      EXPECT_EQ(levels[k], ignoredf ? 0 : 90) << k;
      EXPECT_EQ(hits[k], ignoredf ? 0 : 4) << k;
    }
    EXPECT_EQ(levels[7], 90);
    EXPECT_EQ(hits[7], 4);
  }
}

}  // namespace
}  // namespace orvanta::detect
