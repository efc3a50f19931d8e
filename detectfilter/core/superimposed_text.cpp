#include "detectfilter/core/superimposed_text.h"

#include <algorithm>
#include <cstdio>

#include "detectfilter/core/glyph_table.h"

namespace orvanta::detect {
namespace {

constexpr int kLineLimit = 254;  // no template character is read once the line is this long
constexpr uint8_t kOutlineDrawn = 32;

constexpr const char* kMonths[13] = {"Nul", "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// One character cell for a UTF-16 unit: the fonts hold only 32..127, everything else keeps
// its cell and draws nothing.
char CellOf(char16_t unit) {
  return static_cast<char>(unit <= 0xFF ? unit : 0xFF);
}

// A block field as character cells, one per UTF-16 unit: not UTF-8, whose longer sequences
// would shift every item after them.
template <size_t N>
std::string Cells(const char16_t (&field)[N]) {
  std::string out;
  for (size_t i = 0; i < N && field[i] != 0; ++i) out += CellOf(field[i]);
  return out;
}

// Items advance the line by a fixed width; a longer text spills into the next item's cells
// and is overwritten by it.
class Line {
 public:
  void Put(const std::string& text, int width) {
    line_.resize(pos_);
    line_ += text;
    pos_ += static_cast<size_t>(width);
    if (line_.size() < pos_) line_.resize(pos_, ' ');
  }
  void Put(const std::string& text) { Put(text, static_cast<int>(text.size())); }
  size_t pos() const { return pos_; }
  std::string Take() { return std::move(line_); }

 private:
  std::string line_;
  size_t pos_ = 0;
};

template <typename... Args>
std::string Format(const char* fmt, Args... args) {
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, fmt, args...);
  return std::string(buf, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof buf) - 1)));
}

char KindLetter(int kind) {
  switch (kind) {
    case 0:
      return ' ';
    case 1:
      return 'V';
    case 2:
      return 'A';
    case 3:
      return 'T';
    case 4:
      return 'M';
    default:
      return 'X';
  }
}

std::string FrameNumber(const DetectionBlock& b, const TextContext& ctx, TextMode mode) {
  if (mode == TextMode::Capture) {
    if (ctx.recorded > 0) return Format("%c%05d", ' ', ctx.recorded);
    return std::string(6, ' ');
  }
  if (ctx.recorded < 2) return std::string(6, ' ');
  bool at_limit = ctx.length_limit > 0 && ctx.recorded >= ctx.length_limit;
  return Format("%c%05d", at_limit ? ' ' : 'R', ctx.recorded + b.fs_head);
}

// Writes the text's value on pixel (x, y); nothing outside the picture.
struct PixelWriter {
  uint8_t* frame;
  int cx;
  int cy;
  const PixelFormatInfo& format;

  void Write(int x, int y, uint8_t g) const {
    if (x < 0 || y < 0 || x >= cx || y >= cy) return;
    PutBrightness(format, frame, static_cast<size_t>(x) + static_cast<size_t>(y) * cx, g);
  }
};

}  // namespace

std::string BuildTextLine(const DetectionBlock& b, const FrameInfo& info, const TextContext& ctx,
                          TextMode mode) {
  Line line;
  const char mark = b.si_cdate ? '*' : ' ';
  const char16_t* fmt = b.si_format;
  constexpr size_t kFormatUnits = sizeof(DetectionBlock::si_format) / sizeof(char16_t);
  for (size_t i = 0; i < kFormatUnits && fmt[i] != 0; ++i) {
    if (line.pos() >= kLineLimit) break;
    if (fmt[i] != u'%') {
      line.Put(std::string(1, CellOf(fmt[i])), 1);
      continue;
    }
    if (i + 1 >= kFormatUnits || fmt[i + 1] == 0) break;  // a lone % at the end
    switch (fmt[++i]) {
      case u'%':
        line.Put("%", 1);
        break;
      case u'T':
        line.Put(Format("%c%04d/%02d/%02d %02d:%02d:%02d", mark, info.year, info.month, info.day,
                        info.hour, info.minute, info.second),
                 20);
        break;
      case u't': {
        const char* month = info.month >= 1 && info.month <= 12 ? kMonths[info.month] : kMonths[0];
        line.Put(Format("%c%02d/%s/%04d %02d:%02d:%02d", mark, info.day, month, info.year,
                        info.hour, info.minute, info.second),
                 21);
        break;
      }
      case u'M':
        line.Put(info.ms < 1000 ? Format(".%03d", info.ms) : std::string(), 4);
        break;
      case u'm':
        line.Put(info.ms < 1000 ? Format(".%03d", info.ms).substr(0, 2) : std::string(), 2);
        break;
      case u'p': {
        double p = ctx.smoothed_period_ms;
        line.Put(Format("%5.1f", p > 0 && p < 1000 ? 1000.0 / p : 0.0), 5);
        break;
      }
      case u'f':
        line.Put(Format("[%03d]", ctx.interval_ms), 5);
        break;
      case u'F':
        line.Put(FrameNumber(b, ctx, mode), 6);
        break;
      case u'L':
        line.Put(Format("%c%05d%c%03d", KindLetter(info.trig_kind), std::min(info.hits, 99999),
                        info.level_over ? '+' : ' ', info.level),
                 10);
        break;
      case u'C':
        line.Put(Format("%04d", b.clip_no), 4);
        break;
      case u'I':
        line.Put(Cells(b.lid) + " " + Cells(b.cid));
        break;
      case u'i':
        line.Put(Cells(b.cname) + " " + Cells(b.lname));
        break;
      case u'c':
        line.Put(Cells(b.cname));
        break;
      case u'Y':
        line.Put(Cells(b.fourcc));
        break;
      case u'y':
        line.Put(b.fourcc_original[0] != 0 ? Cells(b.fourcc_original) : Cells(b.fourcc));
        break;
      case u'X':
        line.Put(std::string(1, '\x7f'), 1);
        break;
      default:  // an escape without meaning is dropped with its %
        break;
    }
  }
  return line.Take();
}

void RenderTextLine(const DetectionBlock& b, const PixelFormatInfo& format, const std::string& line,
                    uint8_t* frame) {
  const int fx = b.si_fontx;
  const int fy = b.si_fonty;
  const int scale = b.font_scale == 2 ? 2 : 1;
  if (!frame || !b.font || fx <= 0 || fy <= 0) return;
  const PixelWriter out{frame, b.cx, b.cy, format};
  const int baseline = b.cy - b.si_y0 - 1;
  for (size_t k = 0; k < line.size(); ++k) {
    const int code = static_cast<uint8_t>(line[k]);
    const int x = static_cast<int>(k) * scale * fx;
    if (x > b.cx - fx * scale) break;  // this and every later cell lie past the right edge
    if (code < 32 || code > 127) continue;
    // The block glyph marks field parity, so it always starts on an even row.
    const int y0 = code == 127 ? baseline & ~1 : baseline;
    if (y0 >= b.cy || y0 <= scale * fy) continue;
    const uint8_t* glyph = b.font + GlyphOffset(code, fx, fy);
    for (int i = 0; i < fy; ++i) {
      for (int j = 0; j < fx; ++j) {
        uint8_t v = glyph[i * fx + j];
        if (v == 0) continue;
        uint8_t g = v == 1 ? kOutlineDrawn : v;
        if (scale == 1) {
          out.Write(x + j, y0 - i, g);
        } else {
          out.Write(x + 2 * j, y0 - 2 * i, g);
          out.Write(x + 2 * j + 1, y0 - 2 * i, g);
          out.Write(x + 2 * j, y0 - 2 * i + 1, g);
          out.Write(x + 2 * j + 1, y0 - 2 * i + 1, g);
        }
      }
    }
  }
}

void BurnText(const DetectionBlock& block, const PixelFormatInfo& format, const FrameInfo& info,
              const TextContext& ctx, TextMode mode, uint8_t* frame) {
  RenderTextLine(block, format, BuildTextLine(block, info, ctx, mode), frame);
}

}  // namespace orvanta::detect
