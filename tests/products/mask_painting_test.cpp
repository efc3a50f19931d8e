#include "products/mask_painting.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace orvanta {
namespace {

int CountMasked(const Image24& mask) {
  int n = 0;
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) n += IsMasked(mask, {x, y});
  return n;
}

TEST(MaskPaintingTest, BrushDiscsAreClippedAtThePictureEdge) {
  struct Case {
    MaskBrush brush;
    PicturePoint at;
    int pixels;
  };
  // 60 x 40: the middle point lies well inside for every brush.
  const Case cases[] = {
      {MaskBrush::S, {0, 0}, 1},    {MaskBrush::S, {30, 20}, 1},    {MaskBrush::M, {0, 0}, 8},
      {MaskBrush::M, {30, 20}, 21}, {MaskBrush::M, {0, 20}, 13},    {MaskBrush::M, {59, 39}, 8},
      {MaskBrush::L, {0, 0}, 41},   {MaskBrush::L, {30, 20}, 137},  {MaskBrush::L, {59, 0}, 41},
      {MaskBrush::LL, {0, 0}, 135}, {MaskBrush::LL, {30, 20}, 489}, {MaskBrush::LL, {59, 39}, 135},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "brush " << BrushDiameter(c.brush) << " at " << c.at.x << "," << c.at.y);
    Image24 mask = WholePictureMask(60, 40);
    PaintPoint(mask, c.at, MaskColour::Mask, c.brush);
    EXPECT_EQ(CountMasked(mask), c.pixels);
    EXPECT_TRUE(IsMasked(mask, c.at));
  }
  // Picture row 0 is the last memory row of the bottom-up image.
  Image24 mask = WholePictureMask(60, 40);
  PaintPoint(mask, {0, 0}, MaskColour::Mask, MaskBrush::S);
  EXPECT_EQ(mask.row(39)[2], 255);
  EXPECT_EQ(mask.row(0)[2], kDetectByte);
  // Detect paints the grey back.
  PaintPoint(mask, {0, 0}, MaskColour::Detect, MaskBrush::M);
  EXPECT_EQ(CountMasked(mask), 0);
  EXPECT_EQ(mask.row(39)[0], kDetectByte);
}

TEST(MaskPaintingTest, LinesStepAlongTheLongerAxis) {
  struct Case {
    const char* name;
    PicturePoint a, b;
    std::vector<PicturePoint> pixels;  // with brush S, in any order
  };
  const Case cases[] = {
      {"equal ends paint nothing", {5, 5}, {5, 5}, {}},
      {"shallow, slope truncated", {0, 0}, {4, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
      {"ends swapped give the same", {4, 2}, {0, 0}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
      {"steep", {1, 0}, {2, 3}, {{1, 0}, {1, 1}, {1, 2}, {2, 3}}},
      {"upward to the right", {0, 3}, {3, 0}, {{0, 3}, {1, 2}, {2, 1}, {3, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image24 mask = WholePictureMask(8, 6);
    PaintLine(mask, c.a, c.b, MaskColour::Mask, MaskBrush::S);
    EXPECT_EQ(CountMasked(mask), static_cast<int>(c.pixels.size()));
    for (PicturePoint p : c.pixels) EXPECT_TRUE(IsMasked(mask, p)) << p.x << "," << p.y;
  }

  // Across a whole 640 x 480 picture: one pixel in every column, none lost at the ends.
  Image24 mask = WholePictureMask(640, 480);
  PaintLine(mask, {0, 470}, {639, 10}, MaskColour::Mask, MaskBrush::S);
  EXPECT_EQ(CountMasked(mask), 640);
  for (int x = 0; x < 640; ++x) {
    int in_column = 0;
    for (int y = 0; y < 480; ++y) in_column += IsMasked(mask, {x, y});
    ASSERT_EQ(in_column, 1) << "column " << x;
  }
  EXPECT_TRUE(IsMasked(mask, {0, 470}));
  EXPECT_TRUE(IsMasked(mask, {639, 10}));
  // With a disc the band is the brush wide and clipped at the picture's sides.
  Image24 wide = WholePictureMask(640, 480);
  PaintLine(wide, {0, 240}, {639, 240}, MaskColour::Mask, MaskBrush::L);
  EXPECT_EQ(CountMasked(wide), 640 * 13);
}

TEST(MaskPaintingTest, RectanglesLeaveOutTheRightColumnButKeepTheBottomRow) {
  for (auto [a, b] : {std::pair<PicturePoint, PicturePoint>{{2, 1}, {6, 4}},
                      std::pair<PicturePoint, PicturePoint>{{6, 4}, {2, 1}},
                      std::pair<PicturePoint, PicturePoint>{{6, 1}, {2, 4}}}) {
    Image24 mask = WholePictureMask(10, 8);
    PaintRect(mask, a, b, MaskColour::Mask);
    EXPECT_EQ(CountMasked(mask), 4 * 4);
    EXPECT_TRUE(IsMasked(mask, {2, 1}));
    EXPECT_TRUE(IsMasked(mask, {5, 4}));
    EXPECT_FALSE(IsMasked(mask, {6, 4}));
    EXPECT_FALSE(IsMasked(mask, {2, 5}));
  }
  Image24 mask = WholePictureMask(10, 8);
  PaintRect(mask, {3, 0}, {3, 7}, MaskColour::Mask);  // no width: nothing
  EXPECT_EQ(CountMasked(mask), 0);
  PaintRect(mask, {-5, -5}, {50, 50}, MaskColour::Mask);  // clipped to the picture
  EXPECT_EQ(CountMasked(mask), 80);
  FillMask(mask, MaskColour::Detect);
  EXPECT_EQ(mask.bgr, WholePictureMask(10, 8).bgr);
}

// The whole-picture painting that the automatic masks use gives what painting every seed
// with the brush one by one gives.
TEST(MaskPaintingTest, SeedsPaintLikeOnePointEach) {
  std::mt19937 random(7);
  std::vector<uint8_t> seeds(41 * 29);
  for (uint8_t& s : seeds) s = random() % 37 == 0;
  seeds[0] = seeds[40] = seeds.back() = 1;  // corners
  for (MaskBrush brush : {MaskBrush::S, MaskBrush::M, MaskBrush::L, MaskBrush::LL}) {
    SCOPED_TRACE(BrushDiameter(brush));
    Image24 expected = WholePictureMask(41, 29);
    for (int y = 0; y < 29; ++y)
      for (int x = 0; x < 41; ++x)
        if (seeds[y * 41 + x]) PaintPoint(expected, {x, y}, MaskColour::Mask, brush);
    Image24 painted = WholePictureMask(41, 29);
    PaintSeeds(painted, seeds, MaskColour::Mask, brush);
    EXPECT_EQ(painted.bgr, expected.bgr);
  }
}

TEST(MaskPaintingTest, DisplayDarkensOnlyPureRedPixels) {
  Image24 background;
  background.Resize(3, 1);
  for (size_t i = 0; i < background.bgr.size(); ++i) background.bgr[i] = 200;
  Image24 mask = WholePictureMask(3, 1);
  PaintPoint(mask, {0, 0}, MaskColour::Mask, MaskBrush::S);
  uint8_t* near_red = mask.row(0) + 3;  // (1, 0, 255) does not leave detection
  near_red[0] = 1;
  near_red[1] = 0;
  near_red[2] = 255;
  const Image24 display = ComposeMaskDisplay(background, mask);
  EXPECT_EQ(std::vector<uint8_t>(display.bgr.begin(), display.bgr.end()),
            (std::vector<uint8_t>{100, 100, 128, 200, 200, 200, 200, 200, 200}));
  // No picture of the frame size yet: the mask over black.
  const Image24 none = ComposeMaskDisplay(Image24{}, mask);
  EXPECT_EQ(std::vector<uint8_t>(none.bgr.begin(), none.bgr.begin() + 3),
            (std::vector<uint8_t>{0, 0, 128}));
}

}  // namespace
}  // namespace orvanta
