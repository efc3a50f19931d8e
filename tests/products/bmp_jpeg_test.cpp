#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstring>

#include "products/bmp_file.h"
#include "products/jpeg_file.h"
#include "tests/products/temp_dir.h"

namespace orvanta {
namespace {

using testing::TempDir;

uint32_t U32At(const std::string& bytes, size_t at) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Every pixel different, so a row or byte mix-up shows.
Image24 Pattern(int w, int h) {
  Image24 image;
  image.Resize(w, h);
  for (size_t i = 0; i < image.bgr.size(); ++i) image.bgr[i] = static_cast<uint8_t>(i * 7 + 3);
  return image;
}

TEST(BmpTest, FrameSizedMapHasTheStandardHeader) {
  TempDir dir;
  const Image24 image = Pattern(640, 480);
  ASSERT_TRUE(WriteBmp24(dir / "M.bmp", image).ok());
  const std::string bytes = testing::ReadAll(dir / "M.bmp");
  ASSERT_EQ(bytes.size(), 921654u);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(U32At(bytes, 2), 921654u);
  EXPECT_EQ(U32At(bytes, 10), 54u);
  EXPECT_EQ(U32At(bytes, 14), 40u);
  EXPECT_EQ(U32At(bytes, 18), 640u);
  EXPECT_EQ(U32At(bytes, 22), 480u);
  EXPECT_EQ(U32At(bytes, 26), 1u | (24u << 16));  // planes 1, 24 bits
  for (size_t at = 30; at < 54; at += 4) EXPECT_EQ(U32At(bytes, at), 0u) << at;
  // The image buffer byte for byte, bottom row first.
  EXPECT_EQ(bytes.compare(54, std::string::npos, reinterpret_cast<const char*>(image.bgr.data()),
                          image.bgr.size()),
            0);
}

TEST(BmpTest, OddWidthsUsePaddedRowsBothWays) {
  TempDir dir;
  for (int w : {1, 2, 3, 5, 7}) {
    SCOPED_TRACE(w);
    const Image24 image = Pattern(w, 3);
    ASSERT_TRUE(WriteBmp24(dir / "odd.bmp", image).ok());
    const size_t stride = (w * 3 + 3) / 4 * 4;
    const std::string bytes = testing::ReadAll(dir / "odd.bmp");
    EXPECT_EQ(bytes.size(), 54 + stride * 3);
    EXPECT_EQ(U32At(bytes, 2), bytes.size());
    EXPECT_EQ(bytes.compare(54 + stride, w * 3, reinterpret_cast<const char*>(image.row(1)), w * 3),
              0);
    auto back = ReadBmp24(dir / "odd.bmp");
    ASSERT_TRUE(back.ok()) << back.message();
    EXPECT_EQ(back->bgr, image.bgr);
  }
}

TEST(BmpTest, ReaderHonoursDataOffsetAndTopDownRows) {
  TempDir dir;
  const Image24 image = Pattern(4, 2);
  std::string bytes = EncodeBmp24(image);
  // 84 bytes of colour table or other header between the headers and the pixels.
  bytes.insert(54, std::string(84, '\x5A'));
  bytes[10] = static_cast<char>(54 + 84);
  testing::WriteText(dir / "gap.bmp", bytes);
  auto gap = ReadBmp24(dir / "gap.bmp");
  ASSERT_TRUE(gap.ok()) << gap.message();
  EXPECT_EQ(gap->bgr, image.bgr);

  // Negative height: the first stored row is the top of the picture.
  std::string top_down = EncodeBmp24(image);
  const int32_t minus_two = -2;
  std::memcpy(top_down.data() + 22, &minus_two, 4);
  std::memcpy(top_down.data() + 54, image.row(1), 12);
  std::memcpy(top_down.data() + 66, image.row(0), 12);
  testing::WriteText(dir / "td.bmp", top_down);
  auto td = ReadBmp24(dir / "td.bmp");
  ASSERT_TRUE(td.ok()) << td.message();
  EXPECT_EQ(td->bgr, image.bgr);
}

TEST(BmpTest, DamagedFilesAreRefused) {
  TempDir dir;
  const std::string good = EncodeBmp24(Pattern(4, 2));
  auto with = [&](size_t at, uint32_t v) {
    std::string b = good;
    std::memcpy(b.data() + at, &v, 4);
    return b;
  };
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty", ""},
      {"not BMP", "PK" + good.substr(2)},
      {"truncated header", good.substr(0, 30)},
      {"truncated pixels", good.substr(0, good.size() - 1)},
      {"8 bits", with(28, 8)},
      {"compressed", with(30, 1)},
      {"huge width", with(18, 0x7FFFFFFF)},
      {"offset inside header", with(10, 20)},
      {"offset past end", with(10, 0x7FFFFFF0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::WriteText(dir / "bad.bmp", c.bytes);
    EXPECT_FALSE(ReadBmp24(dir / "bad.bmp").ok());
  }
  EXPECT_FALSE(ReadBmp24(dir / "missing.bmp").ok());
}

TEST(BmpTest, WriteFailures) {
  TempDir dir;
  // A file that cannot be created fails silently.
  Status missing = WriteBmp24(dir / "no/such/dir/M.bmp", Pattern(4, 2));
  EXPECT_FALSE(missing.ok());
  EXPECT_EQ(missing.message(), "");
  // A full disk leaves pixel bytes unwritten, and the message says why.
  Status full = WriteBmp24("/dev/full", Pattern(64, 64));
  EXPECT_FALSE(full.ok());
  EXPECT_EQ(full.message(), " UM083 cannot save image Please set correct Xi Yi (the disk is full)");
  Status full_jpeg = SaveImageAsJpeg("/dev/full", Pattern(64, 64));
  EXPECT_EQ(full_jpeg.message(), "cannot write /dev/full: the disk is full");
}

// Decodes to a top-down BGR buffer.
std::vector<uint8_t> Decode(const std::string& jpeg, int& w, int& h) {
  tjhandle tj = tjInitDecompress();
  int sub = 0, cs = 0;
  std::vector<uint8_t> out;
  auto* src = reinterpret_cast<const unsigned char*>(jpeg.data());
  if (tjDecompressHeader3(tj, src, jpeg.size(), &w, &h, &sub, &cs) == 0) {
    out.resize(static_cast<size_t>(w) * h * 3);
    if (tjDecompress2(tj, src, jpeg.size(), out.data(), w, w * 3, h, TJPF_BGR, 0) != 0) out.clear();
  }
  tjDestroy(tj);
  return out;
}

TEST(JpegTest, ConvertKeepsSizeOrientationAndQuality) {
  TempDir dir;
  // Red picture top half, blue bottom half (memory rows are bottom-up).
  Image24 image;
  image.Resize(48, 32);
  for (int r = 0; r < 32; ++r)
    for (int c = 0; c < 48; ++c) {
      uint8_t* p = image.row(r) + 3 * c;
      p[0] = r < 16 ? 255 : 0;
      p[2] = r < 16 ? 0 : 255;
    }
  ASSERT_TRUE(WriteBmp24(dir / "S.bmp", image).ok());
  ASSERT_TRUE(ConvertBmpToJpeg(dir / "S.bmp", dir / "S.jpg").ok());
  const std::string jpeg = testing::ReadAll(dir / "S.jpg");
  EXPECT_EQ(jpeg, *EncodeJpeg(image, 80));
  EXPECT_NE(jpeg, *EncodeJpeg(image, 75));

  int w = 0, h = 0;
  const std::vector<uint8_t> px = Decode(jpeg, w, h);
  ASSERT_EQ(w, 48);
  ASSERT_EQ(h, 32);
  ASSERT_FALSE(px.empty());
  EXPECT_GT(px[2], 200);  // top-left red
  EXPECT_LT(px[0], 50);
  const size_t bottom = (31 * 48) * 3;
  EXPECT_GT(px[bottom], 200);  // bottom-left blue
  EXPECT_LT(px[bottom + 2], 50);

  // SaveImageAsJpeg gives the same file straight from the image.
  ASSERT_TRUE(SaveImageAsJpeg(dir / "R.jpg", image).ok());
  EXPECT_EQ(testing::ReadAll(dir / "R.jpg"), jpeg);

  // Read back into a bottom-up image: the picture's top is the last memory row.
  auto back = ReadJpeg(dir / "S.jpg");
  ASSERT_TRUE(back.ok()) << back.message();
  ASSERT_EQ(back->width, 48);
  ASSERT_EQ(back->height, 32);
  EXPECT_GT(back->row(31)[2], 200);  // top-left red
  EXPECT_GT(back->row(0)[0], 200);   // bottom-left blue
}

TEST(JpegTest, FailuresAreResults) {
  TempDir dir;
  EXPECT_FALSE(ConvertBmpToJpeg(dir / "missing.bmp", dir / "x.jpg").ok());
  EXPECT_FALSE(SaveImageAsJpeg(dir / "no/dir/x.jpg", Pattern(8, 8)).ok());
  EXPECT_FALSE(SaveImageAsJpeg(dir / "empty.jpg", Image24{}).ok());
  EXPECT_FALSE(ReadJpeg(dir / "missing.jpg").ok());
  testing::WriteText(dir / "cut.jpg", EncodeJpeg(Pattern(64, 64), 80)->substr(0, 300));
  EXPECT_FALSE(ReadJpeg(dir / "cut.jpg").ok());
  ASSERT_TRUE(WriteBmp24(dir / "P.bmp", Pattern(8, 8)).ok());
  EXPECT_FALSE(ReadJpeg(dir / "P.bmp").ok());
}

}  // namespace
}  // namespace orvanta
