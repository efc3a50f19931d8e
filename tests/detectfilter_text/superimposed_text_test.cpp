#include "detectfilter/core/superimposed_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/bitmap_fonts.h"

namespace orvanta::detect {
namespace {

template <size_t N>
void SetText(char16_t (&field)[N], const std::u16string& text) {
  size_t n = std::min(text.size(), N - 1);
  std::copy_n(text.begin(), n, field);
  field[n] = 0;
}

std::unique_ptr<DetectionBlock> MakeBlock(const std::u16string& format = u"") {
  auto b = std::make_unique<DetectionBlock>();
  SetText(b->si_format, format);
  b->fs_head = 20;
  return b;
}

// 2024-03-05 21:07:09.045, a video-triggered frame with 123 hits and level 60 over dlev.
FrameInfo SampleFrame() {
  FrameInfo f;
  f.year = 2024;
  f.month = 3;
  f.day = 5;
  f.hour = 21;
  f.minute = 7;
  f.second = 9;
  f.ms = 45;
  f.trig_kind = 1;
  f.hits = 123;
  f.level_over = true;
  f.level = 60;
  return f;
}

TEST(TextLine, Escapes) {
  struct Case {
    std::u16string format;
    std::string expected;
  } cases[] = {
      {u"%T%M", " 2024/03/05 21:07:09.045"},
      {u"%t%m", " 05/Mar/2024 21:07:09.0"},
      {u"%L", "V00123+060"},
      {u"a%Qb%%c", "ab%c"},  // an escape without meaning is dropped
      {u"ab%", "ab"},        // so is a % at the very end
      {u"%p|%f", " 25.0|[040]"},
      {u"%C", "0007"},
      {
          u"%I/%i/%c.",
          "ZZ0001 AB/Watec 902H2 Ultimate/Watec 902H2.",
      },
      {u"%Y %y", "YUY2 YUY2"},
      {u"<%X>", "<\x7f>"},
      {u"\u00e9\u4e2d1",
       "\xe9\xff"
       "1"},  // characters the font lacks keep one cell each
  };
  auto b = MakeBlock();
  b->clip_no = 7;
  SetText(b->lid, u"ZZ0001");
  SetText(b->cid, u"AB");
  SetText(b->cname, u"Watec 902H2");
  SetText(b->lname, u"Ultimate");
  SetText(b->fourcc, u"YUY2");
  TextContext ctx{0, 40.0, 40, 0};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.format.begin(), c.format.end()));
    SetText(b->si_format, c.format);
    EXPECT_EQ(BuildTextLine(*b, SampleFrame(), ctx, TextMode::Preview), c.expected);
  }
}

TEST(TextLine, MarkKindAndLevelVariants) {
  auto b = MakeBlock(u"%T|%L");
  b->si_cdate = 1;
  FrameInfo f = SampleFrame();
  f.trig_kind = 9;
  f.hits = 123456;
  f.level_over = false;
  f.level = 7;
  EXPECT_EQ(BuildTextLine(*b, f, {}, TextMode::Capture), "*2024/03/05 21:07:09|X99999 007");
  const char kinds[] = " VATM";
  for (int k = 0; k <= 4; ++k) {
    f.trig_kind = k;
    EXPECT_EQ(BuildTextLine(*b, f, {}, TextMode::Capture)[21], kinds[k]) << k;
  }
  SetText(b->fourcc_original, u"MJPG");
  SetText(b->si_format, u"%y");
  EXPECT_EQ(BuildTextLine(*b, f, {}, TextMode::Capture), "MJPG");
}

TEST(TextLine, FrameNumberByMode) {
  struct Case {
    TextMode mode;
    int recorded, limit;
    std::string expected;
  } cases[] = {
      {TextMode::Preview, 12, 0, "R00032"},  // live frame position within the clip
      {TextMode::Capture, 12, 0, " 00012"},  // the frame delivered at that moment
      {TextMode::Preview, 1, 0, "      "},   {TextMode::Capture, 0, 0, "      "},
      {TextMode::Preview, 60, 60, " 00080"},  // length limit reached: no R
      {TextMode::Preview, 59, 60, "R00079"},
  };
  auto b = MakeBlock(u"%F|");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    TextContext ctx{c.recorded, 40, 40, c.limit};
    EXPECT_EQ(BuildTextLine(*b, SampleFrame(), ctx, c.mode), c.expected + "|");
  }
}

// Items keep their width: a longer text is overwritten by the next item, and the period
// shows 0.0 outside its range.
TEST(TextLine, WidthsKeptWhenTextIsLonger) {
  auto b = MakeBlock(u"%Tx");
  FrameInfo f = SampleFrame();
  f.year = 12345;
  EXPECT_EQ(BuildTextLine(*b, f, {}, TextMode::Preview), " 12345/03/05 21:07:0x");
  SetText(b->si_format, u"%f|%p|%p");
  TextContext ctx{0, 0.5, 1000, 0};
  EXPECT_EQ(BuildTextLine(*b, f, ctx, TextMode::Preview), "[1000|2000.|2000.0");
  ctx.smoothed_period_ms = 0;
  EXPECT_EQ(BuildTextLine(*b, f, ctx, TextMode::Preview), "[1000|  0.0|  0.0");
}

TEST(TextLine, StopsReadingAfter254Cells) {
  auto b = MakeBlock(std::u16string(250, u'a') + u"%Tb");
  std::string line = BuildTextLine(*b, SampleFrame(), {}, TextMode::Preview);
  EXPECT_EQ(line.size(), 270u);  // the item begun before the limit is complete
  EXPECT_EQ(line.substr(250), " 2024/03/05 21:07:09");
  SetText(b->si_format, std::u16string(300, u'a'));
  EXPECT_EQ(BuildTextLine(*b, SampleFrame(), {}, TextMode::Preview), std::string(254, 'a'));
}

// A frame of one of the input types with guard bytes on both sides.
struct Frame {
  static constexpr size_t kGuard = 64;
  Frame(size_t bytes, uint8_t fill) : buf(bytes + 2 * kGuard, fill), size(bytes) {}
  uint8_t* data() { return buf.data() + kGuard; }
  bool GuardsIntact(uint8_t fill) const {
    for (size_t i = 0; i < kGuard; ++i)
      if (buf[i] != fill || buf[kGuard + size + i] != fill) return false;
    return true;
  }
  std::vector<uint8_t> buf;
  size_t size;
};

std::unique_ptr<DetectionBlock> RenderBlock(int cx, int cy, int si_y0, int fontsize) {
  auto b = MakeBlock();
  FontChoice f = FontForSize(fontsize);
  b->cx = cx;
  b->cy = cy;
  b->si_y0 = si_y0;
  b->font = f.table;
  b->si_fontx = f.fontx;
  b->si_fonty = f.fonty;
  b->font_scale = f.scale;
  return b;
}

// The digit 1 lands on the baseline, bottom glyph row on row cy - si_y0 - 1, outline drawn
// as 32; nothing else in the frame changes.
TEST(TextRender, GlyphPlacementOnTheBrightnessPlane) {
  const int cx = 40, cy = 20;
  auto b = RenderBlock(cx, cy, 2, 0);
  Frame frame(cx * cy, 100);
  RenderTextLine(*b, Info(PixelFormat::Y800), "1", frame.data());
  const char* art[] = {"..o..", "oo#o.", "o##o.", ".o#o.", ".o#o.",
                       ".o#o.", "oo#oo", "o###o", ".ooo."};
  const int top = cy - 2 - 1 - 8;
  for (int y = 0; y < cy; ++y)
    for (int x = 0; x < cx; ++x) {
      int expected = 100;
      if (y >= top && y < top + 9 && x < 5) {
        char a = art[y - top][x];
        expected = a == '#' ? 255 : a == 'o' ? 32 : 100;
      }
      ASSERT_EQ(frame.data()[y * cx + x], expected) << x << "," << y;
    }
}

// Which bytes carry the text, by input type; a body pixel of the digit 1 (column 2, one
// row above the baseline) and the count of bytes written.
TEST(TextRender, BytesWrittenByInputType) {
  const int cx = 16, cy = 16, y = cy - 1 - 1;
  const size_t pixel = static_cast<size_t>(2 + y * cx);
  struct Case {
    PixelFormat format;
    size_t bytes_per_pixel;
    std::vector<size_t> body_bytes;
  } cases[] = {
      {PixelFormat::I420, 1, {pixel}},  // brightness plane
      {PixelFormat::YUY2, 2, {pixel * 2}},
      {PixelFormat::UYVY, 2, {pixel * 2 + 1}},
      {PixelFormat::RGB8, 1, {pixel}},  // top-down here
      {PixelFormat::Y800, 1, {pixel}},
      {PixelFormat::RGB24, 3, {pixel * 3, pixel * 3 + 1, pixel * 3 + 2}},  // top-down here
      {PixelFormat::RGB32, 4, {pixel * 4, pixel * 4 + 1, pixel * 4 + 2}},  // alpha untouched
      {PixelFormat::NV12, 1, {pixel}},
  };
  auto b = RenderBlock(cx, cy, 0, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(Info(c.format).name);
    Frame frame(cx * cy * c.bytes_per_pixel, 7);
    RenderTextLine(*b, Info(c.format), "1", frame.data());
    for (size_t i : c.body_bytes) EXPECT_EQ(frame.data()[i], 255) << i;
    size_t changed = 0;
    for (size_t i = 0; i < frame.size; ++i) changed += frame.data()[i] != 7;
    // 10 body and 21 outline pixels, each on every byte the type writes
    EXPECT_EQ(changed, 31 * c.body_bytes.size());
    EXPECT_TRUE(frame.GuardsIntact(7));
  }
}

// Cells advance whether drawn or not; nothing is drawn past the right edge, below a
// baseline too low for the glyph, or outside the picture with the doubled font.
TEST(TextRender, EdgesAndUndrawnCells) {
  auto count_changed = [](Frame& f) {
    size_t n = 0;
    for (size_t i = 0; i < f.size; ++i) n += f.data()[i] != 0;
    return n;
  };
  {
    auto b = RenderBlock(12, 12, 0, 0);  // room for two cells: columns 0 and 5
    Frame frame(12 * 12, 0);
    RenderTextLine(*b, Info(PixelFormat::Y800), "111", frame.data());
    EXPECT_EQ(count_changed(frame), 2u * 31);
    Frame skipped(12 * 12, 0);
    RenderTextLine(*b, Info(PixelFormat::Y800),
                   "\x80"
                   "1",
                   skipped.data());  // the unknown character keeps its cell
    EXPECT_EQ(count_changed(skipped), 31u);
    EXPECT_EQ(skipped.data()[11 * 12 + 5], 0);
    EXPECT_NE(skipped.data()[10 * 12 + 5 + 2], 0);
  }
  {
    // The host's largest si_y0 keeps the glyph top on row 2; one more and nothing is drawn.
    auto b = RenderBlock(20, 30, 30 - (9 + 2), 0);
    Frame frame(20 * 30, 0);
    RenderTextLine(*b, Info(PixelFormat::Y800), "1", frame.data());
    EXPECT_EQ(count_changed(frame), 31u);
    EXPECT_EQ(frame.data()[2 * 20 + 2], 32);  // outline pixel above the glyph
    b->si_y0 += 1;
    Frame low(20 * 30, 0);
    RenderTextLine(*b, Info(PixelFormat::Y800), "1", low.data());
    EXPECT_EQ(count_changed(low), 0u);
  }
  {
    // Doubled font on the bottom row: its lowest pixel pair would fall below the picture.
    auto b = RenderBlock(40, 60, 0, 3);
    Frame frame(40 * 60, 0);
    RenderTextLine(*b, Info(PixelFormat::Y800), "|", frame.data());
    EXPECT_TRUE(frame.GuardsIntact(0));
    EXPECT_GT(count_changed(frame), 0u);
  }
}

TEST(TextRender, BlockGlyphStartsOnAnEvenRow) {
  const int cx = 20, cy = 40;
  for (int si_y0 : {0, 1}) {
    SCOPED_TRACE(si_y0);
    auto b = RenderBlock(cx, cy, si_y0, 2);
    Frame frame(cx * cy, 0);
    RenderTextLine(*b, Info(PixelFormat::Y800), "\x7f", frame.data());
    const int bottom = (cy - si_y0 - 1) & ~1;
    for (int y = 0; y < cy; ++y) {
      bool bar = y <= bottom && y > bottom - 24 && y % 2 == 0;
      EXPECT_EQ(frame.data()[y * cx + 5], bar ? 255 : 0) << y;
    }
  }
}

TEST(TextRender, BurnTextDrawsTheBuiltLine) {
  auto b = RenderBlock(64, 16, 0, 0);
  SetText(b->si_format, u"%C");
  b->clip_no = 11;
  Frame burnt(64 * 16, 0), rendered(64 * 16, 0);
  BurnText(*b, Info(PixelFormat::Y800), SampleFrame(), {}, TextMode::Capture, burnt.data());
  RenderTextLine(*b, Info(PixelFormat::Y800), "0011", rendered.data());
  EXPECT_EQ(burnt.buf, rendered.buf);
}

}  // namespace
}  // namespace orvanta::detect
