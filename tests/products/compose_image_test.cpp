#include "products/compose_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace orvanta {
namespace {

TEST(ComposeImageTest, YuvExamples) {
  struct Case {
    int y, u, v;
    int b, g, r;
  };
  const Case cases[] = {
      {128, 128, 128, 128, 128, 128},
      {0, 128, 255, 0, 0, 178},        // green negative, clamped
      {255, 255, 255, 255, 121, 255},  // blue and red above 255, clamped
      {76, 85, 255, 0, 0, 254},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.y << " " << c.u << " " << c.v);
    const Bgr p = YuvToBgr(c.y, c.u, c.v);
    EXPECT_EQ(p.b, c.b);
    EXPECT_EQ(p.g, c.g);
    EXPECT_EQ(p.r, c.r);
  }
}

TEST(ComposeImageTest, UniformGrayYuy2Snapshot) {
  std::vector<uint8_t> frame(640 * 480 * 2, 128);
  Image24 image;
  ASSERT_TRUE(
      ComposeFrameImage(PixelFormat::YUY2, frame.data(), frame.size(), 640, 480, image).ok());
  ASSERT_EQ(image.bgr.size(), 640u * 480 * 3);
  for (uint8_t v : image.bgr) ASSERT_EQ(v, 128);
}

// A 4 x 2 frame whose pixels all differ: top-left Y 10, chroma of the left
// pair U 90 / V 200, right pair U 200 / V 60; Y grows by 20 per pixel.
struct Yuv {
  int y, u, v;
};
Yuv Pixel(int x, int y) {
  const bool left = x < 2;
  return {10 + 20 * (y * 4 + x), left ? 90 : 200, left ? 200 : 60};
}

std::vector<uint8_t> MakeFrame(PixelFormat layout) {
  std::vector<uint8_t> f;
  auto Y = [&](int x, int y) { return static_cast<uint8_t>(Pixel(x, y).y); };
  auto U = [&](int x) { return static_cast<uint8_t>(Pixel(x, 0).u); };
  auto V = [&](int x) { return static_cast<uint8_t>(Pixel(x, 0).v); };
  switch (layout) {
    case PixelFormat::I420:
    case PixelFormat::YV12:
    case PixelFormat::NV12:
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) f.push_back(Y(x, y));
      if (layout == PixelFormat::NV12) {
        f.insert(f.end(), {U(0), V(0), U(2), V(2)});
      } else if (layout == PixelFormat::I420) {
        f.insert(f.end(), {U(0), U(2), V(0), V(2)});
      } else {
        f.insert(f.end(), {V(0), V(2), U(0), U(2)});
      }
      break;
    case PixelFormat::YUY2:
    case PixelFormat::UYVY:
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; x += 2) {
          if (layout == PixelFormat::YUY2)
            f.insert(f.end(), {Y(x, y), U(x), Y(x + 1, y), V(x)});
          else
            f.insert(f.end(), {U(x), Y(x, y), V(x), Y(x + 1, y)});
        }
      break;
    default:
      break;
  }
  return f;
}

TEST(ComposeImageTest, EveryYuvLayoutLandsUpright) {
  for (PixelFormat layout : {PixelFormat::I420, PixelFormat::YV12, PixelFormat::NV12,
                             PixelFormat::YUY2, PixelFormat::UYVY}) {
    SCOPED_TRACE(Info(layout).name);
    const std::vector<uint8_t> frame = MakeFrame(layout);
    Image24 image;
    ASSERT_TRUE(ComposeFrameImage(layout, frame.data(), frame.size(), 4, 2, image).ok());
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) {
        const Yuv in = Pixel(x, y);
        const Bgr want = YuvToBgr(in.y, in.u, in.v);
        const uint8_t* got = image.row(1 - y) + 3 * x;  // first frame row = top = last memory row
        EXPECT_EQ(got[0], want.b) << x << "," << y;
        EXPECT_EQ(got[1], want.g) << x << "," << y;
        EXPECT_EQ(got[2], want.r) << x << "," << y;
      }
  }
}

// A 5 x 3 snapshot hosted as the station hosts it (a buffer for the pixel count rounded up to
// 4) in the filter's packed layout: colour samples of 2 x 1 blocks or 2 pairs a row. The last
// column and row have no colour samples of their own and take their neighbours'.
TEST(ComposeImageTest, OddSizedSnapshotsCompose) {
  const int cx = 5, cy = 3;
  auto luma = [](int x, int y) { return static_cast<uint8_t>(20 + 15 * (y * cx + x)); };
  const uint8_t u[2] = {90, 200}, v[2] = {200, 60};  // by colour column
  for (PixelFormat format : {PixelFormat::I420, PixelFormat::YV12, PixelFormat::NV12,
                             PixelFormat::YUY2, PixelFormat::UYVY}) {
    SCOPED_TRACE(Info(format).name);
    std::vector<uint8_t> frame(static_cast<size_t>(FrameBytes(format, 16)), 7);
    const bool packed = format == PixelFormat::YUY2 || format == PixelFormat::UYVY;
    const int y_at = format == PixelFormat::UYVY ? 1 : 0;
    for (int y = 0; y < cy; ++y)
      for (int x = 0; x < cx; ++x) frame[packed ? y * 10 + 2 * x + y_at : y * cx + x] = luma(x, y);
    for (int c = 0; c < 2; ++c) {
      if (format == PixelFormat::I420 || format == PixelFormat::YV12) {
        const bool swapped = format == PixelFormat::YV12;
        frame[(swapped ? 18 : 15) + c] = u[c];  // the second plane starts 15 / 4 samples later
        frame[(swapped ? 15 : 18) + c] = v[c];
      } else if (format == PixelFormat::NV12) {
        frame[15 + 2 * c] = u[c];
        frame[16 + 2 * c] = v[c];
      } else {
        for (int y = 0; y < cy; ++y) {
          frame[y * 10 + 4 * c + (format == PixelFormat::YUY2 ? 1 : 0)] = u[c];
          frame[y * 10 + 4 * c + (format == PixelFormat::YUY2 ? 3 : 2)] = v[c];
        }
      }
    }
    auto block = std::make_unique<DetectionBlock>();
    block->cx = cx;
    block->cy = cy;
    block->pixels = 16;
    block->frame_bytes = static_cast<int32_t>(frame.size());
    block->snapshot = frame.data();
    block->input_subtype = Info(format).guid;
    Image24 image;
    ASSERT_TRUE(ComposeSnapshotImage(*block, image).ok());
    for (int y = 0; y < cy; ++y)
      for (int x = 0; x < cx; ++x) {
        const int c = x / 2 < 1 ? x / 2 : 1;
        const Bgr want = YuvToBgr(luma(x, y), u[c], v[c]);
        const uint8_t* got = image.row(cy - 1 - y) + 3 * x;
        EXPECT_EQ(got[0], want.b) << x << "," << y;
        EXPECT_EQ(got[1], want.g) << x << "," << y;
        EXPECT_EQ(got[2], want.r) << x << "," << y;
      }
  }
}

TEST(ComposeImageTest, GrayAndRgbLayouts) {
  const std::vector<uint8_t> gray = {1, 2, 3, 4, 5, 6};  // 3 x 2
  const std::vector<uint8_t> rgb24 = {1,  2,  3,  4,  5,  6,  7,  8,  9,
                                      11, 12, 13, 14, 15, 16, 17, 18, 19};
  const std::vector<uint8_t> rgb32 = {1,  2,  3,  99, 4,  5,  6,  99, 7,  8,  9,  99,
                                      11, 12, 13, 99, 14, 15, 16, 99, 17, 18, 19, 99};
  // Expected memory rows, bottom first.
  const std::vector<uint8_t> gray_img = {4, 4, 4, 5, 5, 5, 6, 6, 6, 1, 1, 1, 2, 2, 2, 3, 3, 3};
  const std::vector<uint8_t> rgb_img = {11, 12, 13, 14, 15, 16, 17, 18, 19,
                                        1,  2,  3,  4,  5,  6,  7,  8,  9};
  struct Case {
    PixelFormat layout;
    const std::vector<uint8_t>& frame;
    const std::vector<uint8_t>& image;
  };
  const Case cases[] = {{PixelFormat::Y800, gray, gray_img},
                        {PixelFormat::RGB8, gray, gray_img},
                        {PixelFormat::RGB24, rgb24, rgb_img},
                        {PixelFormat::RGB32, rgb32, rgb_img}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Info(c.layout).name);
    Image24 image;
    ASSERT_TRUE(ComposeFrameImage(c.layout, c.frame.data(), c.frame.size(), 3, 2, image).ok());
    EXPECT_EQ(image.bgr, c.image);
  }
}

TEST(ComposeImageTest, SnapshotByBlockSubtype) {
  auto block = std::make_unique<DetectionBlock>();
  std::vector<uint8_t> snapshot(4 * 2 * 2, 128);
  block->cx = 4;
  block->cy = 2;
  block->pixels = 8;
  block->frame_bytes = static_cast<int32_t>(snapshot.size());
  block->snapshot = snapshot.data();
  block->input_subtype = Info(PixelFormat::UYVY).guid;
  Image24 image;
  ASSERT_TRUE(ComposeSnapshotImage(*block, image).ok());
  EXPECT_EQ(image.bgr, std::vector<uint8_t>(24, 128));

  // Unknown subtype: the image keeps what it showed.
  image.bgr.assign(24, 7);
  block->input_subtype = Guid{0x12345678, 0, 0, {}};
  EXPECT_FALSE(ComposeSnapshotImage(*block, image).ok());
  EXPECT_EQ(image.bgr, std::vector<uint8_t>(24, 7));

  // A snapshot buffer smaller than the frame is refused, not overread.
  block->input_subtype = Info(PixelFormat::RGB32).guid;
  EXPECT_FALSE(ComposeSnapshotImage(*block, image).ok());
  block->snapshot = nullptr;
  block->input_subtype = Info(PixelFormat::UYVY).guid;
  EXPECT_FALSE(ComposeSnapshotImage(*block, image).ok());
}

TEST(ComposeImageTest, DetectionMap) {
  auto block = std::make_unique<DetectionBlock>();
  // 3 x 2 maps, top row first.
  std::vector<uint8_t> mask = {0, 2, 248, 1, 0, 0};
  std::vector<uint32_t> avr = {0, 8191, 8192, 16384 * 100 + 8191, 16384 * 100 + 8192, 16384 * 300};
  std::vector<uint8_t> hit = {0, 255, 254, 1, 0, 30};
  block->cx = 3;
  block->cy = 2;
  block->pixels = 8;
  block->mask = mask.data();
  block->avr_map = avr.data();
  block->hit_map = hit.data();
  block->clip_started = 1;
  block->sm_on = 1;
  Image24 image;
  ASSERT_TRUE(ComposeMapImage(*block, image).ok());
  EXPECT_EQ(image.bgr, (std::vector<uint8_t>{1, 100, 1, 0, 101, 0, 0, 255, 30,    // bottom row
                                             0, 0, 0, 2, 0, 255, 248, 1, 254}));  // top row
  EXPECT_EQ(block->clip_started, 0);

  block->sm_on = 0;
  ASSERT_TRUE(ComposeMapImage(*block, image).ok());
  for (size_t i = 0; i < image.bgr.size(); i += 3) EXPECT_EQ(image.bgr[i], 0);

  block->hit_map = nullptr;  // not hosted: nothing to compose
  EXPECT_FALSE(ComposeMapImage(*block, image).ok());
}

}  // namespace
}  // namespace orvanta
