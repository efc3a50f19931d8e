#include "products/thumbnail.h"

#include <gtest/gtest.h>

#include <vector>

#include "products/jpeg_file.h"
#include "tests/products/temp_dir.h"

namespace orvanta {
namespace {

constexpr int kCx = 2560;
constexpr int kCy = 160;

// A black sky with a one-pixel vertical trail of value 255 in column `col`.
Image24 Trail(int col) {
  Image24 image;
  image.Resize(kCx, kCy);
  for (int r = 0; r < kCy; ++r) {
    uint8_t* p = image.row(r) + 3 * col;
    p[0] = p[1] = p[2] = 255;
  }
  return image;
}

const uint8_t* At(const Image24& image, int x, int y) {
  return image.row(y) + 3 * x;
}

TEST(ThumbnailTest, NarrowThumbnailKeepsTheBrightestOfEachBlock) {
  // Columns x*2560/200 .. (x+1)*2560/200: thumbnail column 78 covers 998..1011,
  // 79 covers 1011..1024; neighbours share their border column.
  const Image24 picture = Trail(1011);
  auto thumb = ReduceToThumbnail(picture, nullptr, {200, 10, false, false});
  ASSERT_TRUE(thumb.ok()) << thumb.message();
  for (int y = 0; y < 10; ++y) {
    SCOPED_TRACE(y);
    EXPECT_EQ(At(*thumb, 77, y)[1], 0);
    EXPECT_EQ(At(*thumb, 78, y)[1], 255);
    EXPECT_EQ(At(*thumb, 79, y)[1], 255);
    EXPECT_EQ(At(*thumb, 80, y)[1], 0);
  }
}

TEST(ThumbnailTest, WideThumbnailAveragesEachBlock) {
  // sj_cx 400: thumbnail column 157 covers columns 1004..1011 (8 columns),
  // a middle row covers 17 picture rows; the trail adds 255 per row.
  const Image24 picture = Trail(1011);
  auto thumb = ReduceToThumbnail(picture, nullptr, {400, 10, false, false});
  ASSERT_TRUE(thumb.ok());
  EXPECT_EQ(At(*thumb, 157, 4)[1], 255 * 17 / (8 * 17));
  EXPECT_EQ(At(*thumb, 156, 4)[1], 0);
}

struct Marked {
  Image24 picture;
  std::vector<uint8_t> hits;  // top-down, kCx x kCy
  Marked() : hits(static_cast<size_t>(kCx) * kCy, 0) {
    picture.Resize(kCx, kCy);
    for (uint8_t& v : picture.bgr) v = 40;
  }
  void Hit(int col, int top_row, uint8_t value) { hits[top_row * kCx + col] = value; }
};

// Red along the box edges only.
void ExpectBox(const Image24& t, int left, int right, int top, int bottom) {
  for (int y = 0; y < t.height; ++y)
    for (int x = 0; x < t.width; ++x) {
      const bool edge = (x >= left && x <= right && (y == top || y == bottom)) ||
                        (y >= top && y <= bottom && (x == left || x == right));
      EXPECT_EQ(At(t, x, y)[2] == 255, edge) << x << "," << y;
    }
}

TEST(ThumbnailTest, StrongHitIsMarkedAndBoxed) {
  Marked m;
  // The picture's top row is the thumbnail's top (last memory) row.
  m.Hit(1300, 0, 254);
  auto thumb = ReduceToThumbnail(m.picture, m.hits.data(), {200, 100, true, true});
  ASSERT_TRUE(thumb.ok());
  // Column 1300 is in block 101 only; row 0 in memory row 99 only.
  const uint8_t* mark = At(*thumb, 101, 99);
  EXPECT_EQ(mark[0], 255);
  EXPECT_EQ(mark[1], 255);
  ExpectBox(*thumb, 91, 111, 89, 99);
  // Far away the picture is untouched.
  EXPECT_EQ(At(*thumb, 10, 10)[2], 40);
}

TEST(ThumbnailTest, WeakHitOnlyColoursItsPixel) {
  Marked m;
  m.Hit(1300, 80, 100);
  auto thumb = ReduceToThumbnail(m.picture, m.hits.data(), {200, 100, true, true});
  ASSERT_TRUE(thumb.ok());
  int red = 0, marked = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      red += At(*thumb, x, y)[2] == 255;
      marked += At(*thumb, x, y)[0] == 255;
    }
  EXPECT_EQ(red, 0);
  EXPECT_GE(marked, 1);
  EXPECT_LE(marked, 4);  // the block and the neighbours sharing its border
}

TEST(ThumbnailTest, MarkingNeedsTheSettings) {
  Marked m;
  m.Hit(1300, 0, 255);
  struct Case {
    const char* what;
    bool mark_hits, draw_box;
    bool coloured, boxed;
  };
  const Case cases[] = {{"marking off", false, true, false, false},
                        {"no box", true, false, true, false},
                        {"both", true, true, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto thumb = ReduceToThumbnail(m.picture, m.hits.data(), {200, 100, c.mark_hits, c.draw_box});
    ASSERT_TRUE(thumb.ok());
    EXPECT_EQ(At(*thumb, 101, 99)[0] == 255, c.coloured);
    EXPECT_EQ(At(*thumb, 91, 95)[2] == 255, c.boxed);
  }
}

TEST(ThumbnailTest, TinyThumbnailWithoutHitsHasNoBox) {
  Marked m;
  auto thumb = ReduceToThumbnail(m.picture, m.hits.data(), {10, 8, true, true});
  ASSERT_TRUE(thumb.ok());
  for (size_t i = 2; i < thumb->bgr.size(); i += 3) EXPECT_EQ(thumb->bgr[i], 40);
}

TEST(ThumbnailTest, WritesJpegOfThumbnailSize) {
  testing::TempDir dir;
  Marked m;
  ASSERT_TRUE(MakeThumbnail(dir / "T.jpg", m.picture, m.hits.data(), {200, 150, true, true}).ok());
  auto thumb = ReduceToThumbnail(m.picture, m.hits.data(), {200, 150, true, true});
  EXPECT_EQ(testing::ReadAll(dir / "T.jpg"), *EncodeJpeg(*thumb, kDefaultJpegQuality));
  EXPECT_FALSE(ReduceToThumbnail(m.picture, nullptr, {0, 150, false, false}).ok());
  EXPECT_FALSE(ReduceToThumbnail(m.picture, nullptr, {961, 150, false, false}).ok());
}

}  // namespace
}  // namespace orvanta
