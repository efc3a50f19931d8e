// The pixel-format table: the subtype GUIDs hosts and plugins exchange through the block, the
// names each side uses, and the packed layout every frame-handling part relies on.
#include "detectfilter/pixel_format.h"

#include <gtest/gtest.h>

#include <string>

namespace orvanta {
namespace {

// The GUIDs are a contract with every host and plugin built before: spelled out here, not
// derived the way the table derives them.
TEST(PixelFormat, SubtypeGuidsAsHostsKnowThem) {
  const Guid fourcc_base{0, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  const Guid rgb_base{0, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
  struct Case {
    PixelFormat format;
    uint32_t data1;
    const Guid& family;
  } cases[] = {
      {PixelFormat::I420, 0x30323449, fourcc_base}, {PixelFormat::IYUV, 0x56555949, fourcc_base},
      {PixelFormat::YV12, 0x32315659, fourcc_base}, {PixelFormat::YUY2, 0x32595559, fourcc_base},
      {PixelFormat::UYVY, 0x59565955, fourcc_base}, {PixelFormat::NV12, 0x3231564E, fourcc_base},
      {PixelFormat::Y800, 0x30303859, fourcc_base}, {PixelFormat::DVSD, 0x64737664, fourcc_base},
      {PixelFormat::RGB8, 0xE436EB7A, rgb_base},    {PixelFormat::RGB24, 0xE436EB7D, rgb_base},
      {PixelFormat::RGB32, 0xE436EB7E, rgb_base},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Info(c.format).name);
    Guid want = c.family;
    want.data1 = c.data1;
    EXPECT_TRUE(SameGuid(Info(c.format).guid, want));
    EXPECT_EQ(PixelFormatOfGuid(want), c.format);
  }
  EXPECT_EQ(PixelFormatOfGuid(Guid{}), PixelFormat::Null);
  EXPECT_EQ(PixelFormatOfGuid(Guid{0x12345678, 0, 0, {}}), PixelFormat::Other);
}

TEST(PixelFormat, NamesOfEachSide) {
  for (const PixelFormatInfo& f : PixelFormats()) {
    SCOPED_TRACE(f.name);
    EXPECT_EQ(&Info(f.format), &f);
    if (f.format != PixelFormat::Other) {
      EXPECT_EQ(PixelFormatOfName(f.name), f.format);
    }
  }
  // GStreamer's names: IYUV frames arrive as I420, which is I420 itself.
  const std::pair<const char*, PixelFormat> caps[] = {
      {"I420", PixelFormat::I420},  {"YV12", PixelFormat::YV12},
      {"YUY2", PixelFormat::YUY2},  {"UYVY", PixelFormat::UYVY},
      {"NV12", PixelFormat::NV12},  {"GRAY8", PixelFormat::Y800},
      {"BGR", PixelFormat::RGB24},  {"BGRx", PixelFormat::RGB32},
      {"RGB8P", PixelFormat::RGB8}, {"video/x-dv", PixelFormat::Other},
      {"", PixelFormat::Other},     {"Y800", PixelFormat::Other},
  };
  for (auto [name, format] : caps) EXPECT_EQ(PixelFormatOfRawCaps(name), format) << name;
  EXPECT_EQ(PixelFormatOfName("HEVC"), PixelFormat::Other);
  EXPECT_EQ(PixelFormatOfName(""), PixelFormat::Other);
}

TEST(PixelFormat, FrameBytes) {
  const int64_t pixels = 385 * 289;  // odd: 4:2:0 sizes round down
  const std::pair<PixelFormat, int64_t> cases[] = {
      {PixelFormat::I420, pixels * 3 / 2}, {PixelFormat::NV12, pixels * 3 / 2},
      {PixelFormat::YUY2, pixels * 2},     {PixelFormat::Y800, pixels},
      {PixelFormat::RGB8, pixels},         {PixelFormat::RGB24, pixels * 3},
      {PixelFormat::RGB32, pixels * 4},    {PixelFormat::Null, pixels * 2},
      {PixelFormat::DVSD, pixels * 2},     {PixelFormat::Other, pixels * 2},
  };
  for (auto [format, bytes] : cases) EXPECT_EQ(FrameBytes(format, pixels), bytes);
}

// The packed layout the filter's element produces and the products read: 4:2:0 colour planes
// of (w / 2) x (h / 2) samples, the second a quarter frame after the first.
TEST(PixelFormat, PlanesOfPackedFrames) {
  const Planes i420 = PlanesOf(PixelFormat::YV12, 385, 289);
  ASSERT_EQ(i420.count, 3);
  EXPECT_EQ(i420.plane[1].offset, 111265u);
  EXPECT_EQ(i420.plane[1].row_bytes, 192u);
  EXPECT_EQ(i420.plane[1].rows, 144);
  EXPECT_EQ(i420.plane[2].offset, 111265u + 27816u);
  const Planes nv12 = PlanesOf(PixelFormat::NV12, 385, 289);
  ASSERT_EQ(nv12.count, 2);
  EXPECT_EQ(nv12.plane[1].row_bytes, 385u);
  EXPECT_EQ(nv12.plane[1].rows, 144);
  EXPECT_EQ(PlanesOf(PixelFormat::DVSD, 64, 48).count, 0);
  EXPECT_EQ(PlanesOf(PixelFormat::YUY2, 0, 48).count, 0);

  // Every plane and every colour sample lies inside the frame, at any size.
  const std::pair<int, int> sizes[] = {{1, 1}, {2, 2}, {3, 1}, {1, 3}, {385, 289}, {386, 290}};
  for (const PixelFormatInfo& f : PixelFormats()) {
    if (!f.picture) continue;
    for (auto [w, h] : sizes) {
      SCOPED_TRACE(std::string(f.name) + " " + std::to_string(w) + "x" + std::to_string(h));
      const Planes p = PlanesOf(f.format, w, h);
      ASSERT_GE(p.count, 1);
      EXPECT_EQ(p.plane[0].row_bytes, static_cast<size_t>(w) * f.step);
      size_t end = 0;
      for (int k = 0; k < p.count; ++k) {
        EXPECT_GE(p.plane[k].offset, end);
        end = p.plane[k].offset + p.plane[k].row_bytes * p.plane[k].rows;
      }
      EXPECT_LE(end, static_cast<size_t>(FrameBytes(f.format, int64_t{w} * h)));
      for (const ChromaSite& s : {f.u, f.v}) {
        if (s.plane <= 0) continue;
        const Plane& plane = p.plane[s.plane];
        if (plane.rows > 0 && w / 2 > 0) {
          EXPECT_LE(static_cast<size_t>((w / 2 - 1) * s.step + s.offset), plane.row_bytes - 1);
        }
      }
    }
  }
}

}  // namespace
}  // namespace orvanta
