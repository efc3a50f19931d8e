#include "products/auto_mask.h"

#include <gtest/gtest.h>

#include <array>

#include "products/bmp_file.h"
#include "tests/products/temp_dir.h"

namespace orvanta {
namespace {

using testing::TempDir;

void SetGrey(Image24& image, int x, int y, uint8_t v) {
  uint8_t* p = image.row(image.height - 1 - y) + 3 * x;
  p[0] = p[1] = p[2] = v;
}

// 160 x 120 sky of grey 60 with a dark top-left corner (20 x 20 of grey 5) and a bright
// horizon (the bottom 30 rows, grey 200).
Image24 SkyWithCornerAndHorizon() {
  Image24 sky;
  sky.Resize(160, 120);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) SetGrey(sky, x, y, y >= 90 ? 200 : (x < 20 && y < 20) ? 5 : 60);
  return sky;
}

int CountMasked(const Image24& mask) {
  int n = 0;
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) n += IsMasked(mask, {x, y});
  return n;
}

TEST(AutoMaskTest, DarkCornerAndTheSkyJustAboveABrightHorizonAreMasked) {
  const Image24 sky = SkyWithCornerAndHorizon();
  struct Case {
    MaskBrush brush;
    PicturePoint at;
    bool masked;
  };
  const Case cases[] = {
      // Single pixels: the corner by its level, the two sky rows whose 5 x 5 block reaches
      // the horizon by their ratio; the horizon itself and open sky stay watched.
      {MaskBrush::S, {5, 5}, true},
      {MaskBrush::S, {19, 19}, true},
      {MaskBrush::S, {20, 5}, false},  // beside the dark corner: brighter than its block
      {MaskBrush::S, {80, 40}, false},
      {MaskBrush::S, {80, 87}, false},
      {MaskBrush::S, {80, 88}, true},
      {MaskBrush::S, {0, 89}, true},  // the block cut at the picture's edge
      {MaskBrush::S, {80, 90}, false},
      {MaskBrush::S, {80, 110}, false},
      // Brush L grows every masked pixel by 6.
      {MaskBrush::L, {25, 5}, true},
      {MaskBrush::L, {26, 5}, false},
      {MaskBrush::L, {80, 82}, true},
      {MaskBrush::L, {80, 81}, false},
      {MaskBrush::L, {80, 95}, true},
      {MaskBrush::L, {80, 96}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "brush " << BrushDiameter(c.brush) << " at " << c.at.x << "," << c.at.y);
    const Image24 mask = AutoSetMask(sky, {20, 90, c.brush});
    EXPECT_EQ(IsMasked(mask, c.at), c.masked);
  }
  EXPECT_EQ(CountMasked(AutoSetMask(sky, {20, 90, MaskBrush::S})), 20 * 20 + 2 * 160);
  // Every pixel not masked is Detect grey, not left as it was.
  const Image24 mask = AutoSetMask(sky, {20, 90, MaskBrush::S});
  EXPECT_EQ(mask.row(60)[0], kDetectByte);
}

TEST(AutoMaskTest, ZeroLevelAndRatioMaskNothingEvenOnBlack) {
  Image24 black;
  black.Resize(32, 16);
  const Image24 sky = SkyWithCornerAndHorizon();
  EXPECT_EQ(CountMasked(AutoSetMask(sky, {0, 0, MaskBrush::LL})), 0);
  // Black neighbours have no mean to be darker than: no division by zero, nothing masked.
  EXPECT_EQ(CountMasked(AutoSetMask(black, {0, 255, MaskBrush::S})), 0);
  EXPECT_EQ(CountMasked(AutoSetMask(black, {1, 0, MaskBrush::S})), 32 * 16);
}

// A 4 x 3 detection map whose mask values (blue bytes) along the top row are `top`.
Image24 Map(std::array<uint8_t, 4> top) {
  Image24 map;
  map.Resize(4, 3);
  for (int x = 0; x < 4; ++x) map.row(2)[3 * x] = top[x];
  for (size_t i = 2; i < map.bgr.size(); i += 3) map.bgr[i] = 254;  // hits do not count
  return map;
}

TEST(AutoMaskTest, HotPixelsAreThoseAtThreeOrMoreInEveryMap) {
  TempDir dir;
  ASSERT_TRUE(WriteBmp24(dir / "1M.bmp", Map({5, 5, 3, 0})).ok());
  ASSERT_TRUE(WriteBmp24(dir / "2M.bmp", Map({2, 3, 3, 9})).ok());
  Image24 other_size;
  other_size.Resize(5, 3);
  ASSERT_TRUE(WriteBmp24(dir / "5M.bmp", other_size).ok());

  // What the user painted before stays.
  Image24 base = WholePictureMask(4, 3);
  PaintPoint(base, {0, 2}, MaskColour::Mask, MaskBrush::S);

  struct Case {
    const char* name;
    std::vector<std::string> maps;
    std::vector<PicturePoint> masked;
    int read;
    int skipped;
    std::string message;
  };
  const Case cases[] = {
      {"two maps: 5 and 2 stay, 5 and 3 masked",
       {dir / "1M.bmp", dir / "2M.bmp"},
       {{1, 0}, {2, 0}, {0, 2}},
       2,
       0,
       ""},
      {"a missing map is skipped",
       {dir / "1M.bmp", dir / "gone.bmp", dir / "2M.bmp"},
       {{1, 0}, {2, 0}, {0, 2}},
       2,
       1,
       ""},
      {"one map alone", {dir / "1M.bmp"}, {{0, 0}, {1, 0}, {2, 0}, {0, 2}}, 1, 0, ""},
      {"no map read masks nothing", {dir / "gone.bmp"}, {{0, 2}}, 0, 1, ""},
      {"a map of another size leaves the mask as it was",
       {dir / "1M.bmp", dir / "5M.bmp"},
       {{0, 2}},
       1,
       0,
       kHotMapSizeMismatch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Image24 mask = base;
    const HotPixelOutcome outcome = HotPixelMask(c.maps, mask);
    EXPECT_EQ(outcome.maps_read, c.read);
    EXPECT_EQ(static_cast<int>(outcome.skipped.size()), c.skipped);
    EXPECT_EQ(outcome.message, c.message);
    EXPECT_EQ(CountMasked(mask), static_cast<int>(c.masked.size()));
    for (PicturePoint p : c.masked) EXPECT_TRUE(IsMasked(mask, p)) << p.x << "," << p.y;
  }
}

}  // namespace
}  // namespace orvanta
