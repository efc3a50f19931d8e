// The replay page's still: which image is shown, and the detection map laid over it.
#include "products/replay_still.h"

#include <gtest/gtest.h>

#include "products/bmp_file.h"
#include "products/jpeg_file.h"
#include "tests/products/temp_dir.h"

namespace orvanta {
namespace {

using testing::TempDir;

constexpr uint8_t kGrey = 40;

Image24 Filled(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
  Image24 image;
  image.Resize(w, h);
  for (size_t i = 0; i < image.bgr.size(); i += 3) {
    image.bgr[i] = b;
    image.bgr[i + 1] = g;
    image.bgr[i + 2] = r;
  }
  return image;
}

struct Px {
  int b, g, r;
  bool operator==(const Px&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Px& p) {
  return os << "(" << p.b << "," << p.g << "," << p.r << ")";
}

Px At(const Image24& image, int x, int y) {
  const uint8_t* p = image.row(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

void SetMap(Image24& map, int x, int y, uint8_t mask, uint8_t hit) {
  uint8_t* p = map.row(y) + 3 * x;
  p[0] = mask;
  p[2] = hit;
}

const Px kGreyPx{kGrey, kGrey, kGrey};
const Px kCyan{255, 255, 0};
const Px kRed{0, 0, 255};

TEST(ReplayStill, StillChosenInOrderFromTheMarks) {
  struct Case {
    const char* marks;
    const char* ending;
  } cases[] = {
      {"A SPTBCMX ", "S.jpg"}, {"A sP BCMX ", "S.bmp"},
      {"A  P BCMX ", "P.jpg"}, {"A  p BCMX ", "P.bmp"},
      {"A    BCMX ", ".bmp"},  {"A     CMX ", "C.bmp"},
      {"A   T  MX*", ""},      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.marks);
    EXPECT_EQ(ChooseStillEnding(StillsFromMarks(c.marks)), c.ending);
  }
}

// A clip with only P.bmp and M.bmp: the peak-hold picture with its hits.
class PeakAndMap : public ::testing::Test {
 protected:
  void Write(const Image24& map) {
    ASSERT_TRUE(WriteBmp24(dir / "M1P.bmp", Filled(64, 48, kGrey, kGrey, kGrey)).ok());
    ASSERT_TRUE(WriteBmp24(dir / "M1M.bmp", map).ok());
  }
  StillLoad Load(StillOverlays overlays, Image24& picture) {
    return LoadStill(dir / "M1", StillsFromMarks("A  p   MX "), overlays, picture);
  }
  TempDir dir;
};

TEST_F(PeakAndMap, HitMarkPaintsHitsCyanAndBoxesTheStrongOnes) {
  Image24 map = Filled(64, 48, 0, 90, 0);
  SetMap(map, 30, 20, 0, 254);
  SetMap(map, 31, 21, 0, 255);
  SetMap(map, 5, 40, 0, 100);  // a weak hit: cyan, outside the box
  Write(map);
  Image24 picture;
  const StillLoad load = Load({.hit_mark = true}, picture);
  ASSERT_TRUE(load.shown);
  EXPECT_TRUE(load.messages.empty());
  EXPECT_EQ(At(picture, 30, 20), kCyan);
  EXPECT_EQ(At(picture, 31, 21), kCyan);
  EXPECT_EQ(At(picture, 5, 40), kCyan);
  // The box is 15 pixels outside the strong hits: columns 15..46, rows 5..36.
  for (int x = 15; x <= 46; ++x) {
    EXPECT_EQ(At(picture, x, 5), kRed) << x;
    EXPECT_EQ(At(picture, x, 36), kRed) << x;
  }
  for (int y = 5; y <= 36; ++y) {
    EXPECT_EQ(At(picture, 15, y), kRed) << y;
    EXPECT_EQ(At(picture, 46, y), kRed) << y;
  }
  EXPECT_EQ(At(picture, 14, 20), kGreyPx);
  EXPECT_EQ(At(picture, 16, 20), kGreyPx);  // one pixel thick below 1000 pixels wide
  EXPECT_EQ(At(picture, 47, 20), kGreyPx);
  EXPECT_EQ(At(picture, 30, 4), kGreyPx);
  // The green map byte (the average brightness) is never shown.
  EXPECT_EQ(At(picture, 0, 0), kGreyPx);
}

TEST_F(PeakAndMap, BoxClippedAtTheEdgesAndMasksInTheirOrder) {
  Image24 map = Filled(64, 48, 0, 0, 0);
  SetMap(map, 2, 45, 0, 255);   // a strong hit near the top left corner
  SetMap(map, 40, 10, 1, 0);    // excluded area: a pale veil
  SetMap(map, 41, 10, 248, 0);  // scintillation mask: 248 & 3 is 0, no veil
  SetMap(map, 42, 10, 3, 200);  // veiled, then a hit
  Write(map);
  Image24 picture;
  ASSERT_TRUE(Load({.area_mask = true, .scl_mask = true, .hit_mark = true}, picture).shown);
  EXPECT_EQ(At(picture, 40, 10), (Px{120, 120, 120}));
  EXPECT_EQ(At(picture, 41, 10), (Px{248, 0, 0}));
  EXPECT_EQ(At(picture, 42, 10), kCyan);
  // Columns 0..17, rows 30..47.
  EXPECT_EQ(At(picture, 0, 30), kRed);
  EXPECT_EQ(At(picture, 17, 30), kRed);
  EXPECT_EQ(At(picture, 0, 47), kRed);
  EXPECT_EQ(At(picture, 17, 47), kRed);
  EXPECT_EQ(At(picture, 18, 30), kGreyPx);
  EXPECT_EQ(At(picture, 5, 29), kGreyPx);

  // Overlays off: the peak-hold picture as it is.
  Image24 plain;
  ASSERT_TRUE(Load({}, plain).shown);
  EXPECT_EQ(At(plain, 2, 45), kGreyPx);
  EXPECT_EQ(At(plain, 40, 10), kGreyPx);
}

TEST(ReplayStill, WidePicturesGetABoxTwoPixelsThick) {
  Image24 picture = Filled(1024, 40, kGrey, kGrey, kGrey);
  Image24 map = Filled(1024, 40, 0, 0, 0);
  SetMap(map, 500, 20, 0, 254);
  ApplyMapOverlays(picture, map, {.hit_mark = true});
  EXPECT_EQ(At(picture, 485, 20), kRed);
  EXPECT_EQ(At(picture, 486, 20), kRed);  // the second line just inside
  EXPECT_EQ(At(picture, 487, 20), kGreyPx);
  EXPECT_EQ(At(picture, 514, 20), kRed);
  EXPECT_EQ(At(picture, 515, 20), kRed);
  EXPECT_EQ(At(picture, 500, 5), kRed);
  EXPECT_EQ(At(picture, 500, 6), kRed);
  EXPECT_EQ(At(picture, 500, 7), kGreyPx);
}

TEST_F(PeakAndMap, MapOfAnotherSizeOrMissingIsReportedAndNotLaid) {
  Image24 map = Filled(32, 24, 0, 0, 255);
  Write(map);
  Image24 picture;
  StillLoad load = Load({.hit_mark = true}, picture);
  ASSERT_TRUE(load.shown);
  EXPECT_EQ(load.messages, std::vector<std::string>{kMapSizeMismatch});
  EXPECT_EQ(At(picture, 1, 1), kGreyPx);

  std::filesystem::remove(dir / "M1M.bmp");
  load = Load({.area_mask = true}, picture);
  ASSERT_TRUE(load.shown);
  EXPECT_EQ(load.messages, std::vector<std::string>{kMapMissing});
  // With no overlay asked for the map is not read at all.
  EXPECT_TRUE(Load({}, picture).messages.empty());
}

TEST(ReplayStill, UnreadableStillKeepsThePreviousPicture) {
  TempDir dir;
  testing::WriteText(dir / "M1P.bmp", "BM not really");
  testing::WriteText(dir / "M1S.jpg", std::string(200, '\xff'));
  Image24 picture = Filled(4, 4, 1, 2, 3);
  for (const char* marks : {"A  p      ", "A S       ", "A s       "}) {
    SCOPED_TRACE(marks);
    const StillLoad load = LoadStill(dir / "M1", StillsFromMarks(marks), {}, picture);
    EXPECT_FALSE(load.shown);
    ASSERT_EQ(load.messages.size(), 1u);
    EXPECT_EQ(load.messages[0].rfind("UM080: Cannot read", 0), 0u) << load.messages[0];
    EXPECT_EQ(At(picture, 0, 0), (Px{1, 2, 3}));
  }
}

TEST(ReplayStill, JpegStillKeepsItsSizeAndOrientation) {
  TempDir dir;
  // Bright top half, dark bottom half (memory row 0 is the bottom).
  Image24 image = Filled(48, 32, 20, 20, 20);
  for (int y = 16; y < 32; ++y)
    for (int x = 0; x < 48; ++x) std::fill_n(image.row(y) + 3 * x, 3, 230);
  ASSERT_TRUE(SaveImageAsJpeg(dir / "M1S.jpg", image).ok());
  Image24 picture;
  const StillLoad load = LoadStill(dir / "M1", StillsFromMarks("A S    MX "), {}, picture);
  ASSERT_TRUE(load.shown);
  ASSERT_EQ(picture.width, 48);
  ASSERT_EQ(picture.height, 32);
  EXPECT_GT(At(picture, 10, 28).g, 200);
  EXPECT_LT(At(picture, 10, 3).g, 50);
}

}  // namespace
}  // namespace orvanta
