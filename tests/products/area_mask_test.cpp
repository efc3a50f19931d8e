#include "products/area_mask.h"

#include <gtest/gtest.h>

#include <vector>

#include "detectfilter/pixel_format.h"
#include "products/bmp_file.h"
#include "tests/products/temp_dir.h"

namespace orvanta {
namespace {

using testing::TempDir;

// A hosted block of cx x cy with its mask allocation (6 margin rows each side)
// filled with a value that loading must clear.
struct HostedMask {
  std::unique_ptr<DetectionBlock> block = std::make_unique<DetectionBlock>();
  std::vector<uint8_t> memory;
  HostedMask(int cx, int cy, PixelFormat format) {
    block->cx = cx;
    block->cy = cy;
    block->pixels = (cx * cy + 3) / 4 * 4;
    block->host_subtype = Info(format).guid;
    memory.assign(block->pixels + 12 * cx, 0xEE);
    block->mask_base = memory.data();
    block->mask = memory.data() + 6 * cx;
  }
  uint8_t at(int row, int col) const { return block->mask[row * block->cx + col]; }
};

// 640 x 480 with the bottom 40 picture rows pure red and one near-red pixel.
Image24 PaintedMask() {
  Image24 image;
  image.Resize(640, 480);
  for (int r = 0; r < 40; ++r)  // memory rows 0..39 are the picture's bottom
    for (int c = 0; c < 640; ++c) image.row(r)[3 * c + 2] = 255;
  uint8_t* near_red = image.row(240) + 3 * 100;
  near_red[0] = 1;
  near_red[2] = 255;
  return image;
}

TEST(AreaMaskTest, PaintedRowsAreExcludedForEveryFrameFormat) {
  TempDir dir;
  ASSERT_TRUE(WriteBmp24(dir / "DA640-480.bmp", PaintedMask()).ok());
  // Frames are stored top-down whatever their format, so the painted bottom
  // rows are the last mask rows for RGB24 too.
  for (PixelFormat format : {PixelFormat::YUY2, PixelFormat::RGB24}) {
    SCOPED_TRACE(Info(format).name);
    HostedMask hosted(640, 480, format);
    Image24 work;
    const AreaMaskLoad load =
        LoadAreaMask({dir.path(), "DA640-480.bmp", 640, 480}, work, hosted.block.get());
    EXPECT_EQ(load.outcome, AreaMaskOutcome::Loaded);
    EXPECT_EQ(load.message, "");
    EXPECT_EQ(work.bgr, PaintedMask().bgr);
    int excluded = 0;
    for (int r = 0; r < 480; ++r)
      for (int c = 0; c < 640; ++c) {
        const uint8_t want = r >= 440 ? 2 : 0;
        if (hosted.at(r, c) != want) ADD_FAILURE() << r << "," << c;
        excluded += hosted.at(r, c) == 2;
      }
    EXPECT_EQ(excluded, 40 * 640);  // the near-red pixel is part of the detect area
    for (int i = 0; i < 6 * 640; ++i) ASSERT_EQ(hosted.memory[i], 0);
    for (size_t i = hosted.memory.size() - 6 * 640; i < hosted.memory.size(); ++i)
      ASSERT_EQ(hosted.memory[i], 0);
  }
}

TEST(AreaMaskTest, FallbacksAndMessages) {
  TempDir dir;
  ASSERT_TRUE(WriteBmp24(dir / "DA640-480.bmp", PaintedMask()).ok());
  testing::WriteText(dir / "DA-broken.bmp", "BM not really");
  struct Case {
    const char* what;
    const char* name;
    int cx, cy;
    AreaMaskOutcome outcome;
    std::string message;
    bool use_whole_picture;
  };
  const Case cases[] = {
      {"whole picture", "DA-ALL.bmp", 640, 480, AreaMaskOutcome::WholePicture, "", false},
      {"missing file", "DA-gone.bmp", 640, 480, AreaMaskOutcome::CannotRead,
       "UM026: Cannot read Area Mask DA-gone.bmp ", false},
      {"damaged file", "DA-broken.bmp", 640, 480, AreaMaskOutcome::CannotRead,
       "UM026: Cannot read Area Mask DA-broken.bmp ", false},
      {"frame size changed", "DA640-480.bmp", 1280, 720, AreaMaskOutcome::SizeMismatch,
       "UM027: Area Mask File size not matched ... ignored", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HostedMask hosted(c.cx, c.cy, PixelFormat::YUY2);
    Image24 work;
    const AreaMaskLoad load =
        LoadAreaMask({dir.path(), c.name, c.cx, c.cy}, work, hosted.block.get());
    EXPECT_EQ(load.outcome, c.outcome);
    EXPECT_EQ(load.message, c.message);
    EXPECT_EQ(load.use_whole_picture, c.use_whole_picture);
    for (uint8_t v : hosted.memory) ASSERT_EQ(v, 0);  // nothing excluded
  }
}

TEST(AreaMaskTest, LoadingForTheEditorLeavesTheMaskAlone) {
  TempDir dir;
  ASSERT_TRUE(WriteBmp24(dir / "DA640-480.bmp", PaintedMask()).ok());
  Image24 work;
  EXPECT_EQ(LoadAreaMask({dir.path(), "DA640-480.bmp", 640, 480}, work, nullptr).outcome,
            AreaMaskOutcome::Loaded);
  EXPECT_EQ(work.width, 640);
  EXPECT_EQ(work.height, 480);
}

TEST(AreaMaskTest, SavingRefusesTheReservedName) {
  TempDir dir;
  const Image24 work = PaintedMask();
  Status reserved = SaveAreaMask(dir.path(), "DA-ALL.bmp", work);
  EXPECT_EQ(reserved.message(),
            "UM025: \"DA-ALL.bmp\" Cannot use this name, Please Set another name");
  EXPECT_FALSE(std::filesystem::exists(dir / "DA-ALL.bmp"));

  EXPECT_EQ(ProposedAreaMaskName(1920, 1080), "DA1920-1080.bmp");
  ASSERT_TRUE(SaveAreaMask(dir.path(), ProposedAreaMaskName(640, 480), work).ok());
  EXPECT_EQ(ReadBmp24(dir / "DA640-480.bmp")->bgr, work.bgr);
}

}  // namespace
}  // namespace orvanta
