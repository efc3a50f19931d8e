#include "app/bitmap_fonts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace orvanta::detect {
namespace {

// A glyph as rows from the top, one value per pixel.
std::vector<std::vector<int>> Rows(const FontChoice& f, int code) {
  const uint8_t* g = f.table + GlyphOffset(code, f.fontx, f.fonty);
  std::vector<std::vector<int>> rows;
  for (int i = f.fonty - 1; i >= 0; --i) rows.emplace_back(g + i * f.fontx, g + (i + 1) * f.fontx);
  return rows;
}

TEST(BitmapFonts, SizesByHostSetting) {
  struct Case {
    int setting, fontx, fonty, scale;
  } cases[] = {{0, 5, 9, 1}, {1, 8, 15, 1}, {2, 14, 24, 1}, {3, 14, 24, 2},
               {4, 5, 9, 2}, {9, 5, 9, 2},  {-1, 5, 9, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    FontChoice f = FontForSize(c.setting);
    ASSERT_NE(f.table, nullptr);
    EXPECT_EQ(f.fontx, c.fontx);
    EXPECT_EQ(f.fonty, c.fonty);
    EXPECT_EQ(f.scale, c.scale);
  }
  EXPECT_EQ(FontForSize(2).table, FontForSize(3).table);
}

TEST(BitmapFonts, SmallDigitOneIsTheStationsGlyph) {
  std::vector<std::vector<int>> expected = {
      {0, 0, 1, 0, 0},   {1, 1, 255, 1, 0},     {1, 255, 255, 1, 0},
      {0, 1, 255, 1, 0}, {0, 1, 255, 1, 0},     {0, 1, 255, 1, 0},
      {1, 1, 255, 1, 1}, {1, 255, 255, 255, 1}, {0, 1, 1, 1, 0}};
  EXPECT_EQ(Rows(FontForSize(0), '1'), expected);
}

// Every printable character has a body of its own, stays inside its ink box with a dark
// outline next to each body pixel, and the space and code 127 of the small and medium fonts
// are empty.
TEST(BitmapFonts, GlyphsAreDistinctOutlinedAndInsideTheirBox) {
  struct Case {
    int setting;
    int x0, x1, y0, y1;  // ink box, rows from the top
  } cases[] = {{0, 1, 3, 1, 7}, {1, 1, 5, 2, 12}, {2, 2, 11, 1, 22}};
  for (const Case& c : cases) {
    FontChoice f = FontForSize(c.setting);
    std::set<std::vector<std::vector<int>>> seen;
    for (int code = 33; code <= 126; ++code) {
      SCOPED_TRACE(std::to_string(c.setting) + " '" + static_cast<char>(code) + "'");
      auto rows = Rows(f, code);
      EXPECT_TRUE(seen.insert(rows).second) << "same as another glyph";
      int body = 0;
      for (int y = 0; y < f.fonty; ++y)
        for (int x = 0; x < f.fontx; ++x) {
          int v = rows[y][x];
          EXPECT_TRUE(v == 0 || v == 1 || v == 255);
          if (v != 255) continue;
          ++body;
          ASSERT_TRUE(x >= c.x0 && x <= c.x1 && y >= c.y0 && y <= c.y1) << x << "," << y;
          EXPECT_TRUE(rows[y][x - 1] && rows[y][x + 1] && rows[y - 1][x] && rows[y + 1][x]);
        }
      EXPECT_GT(body, 0);
    }
    for (int code : {32, 127}) {
      if (code == 127 && c.setting == 2) continue;
      auto rows = Rows(f, code);
      for (const auto& r : rows)
        for (int v : r) EXPECT_EQ(v, 0) << c.setting << " code " << code;
    }
  }
}

TEST(BitmapFonts, LargeBlockGlyphIsBarsOnAlternateRows) {
  FontChoice f = FontForSize(2);
  const uint8_t* g = f.table + GlyphOffset(127, f.fontx, f.fonty);
  for (int i = 0; i < f.fonty; ++i)
    for (int j = 0; j < f.fontx; ++j) EXPECT_EQ(g[i * f.fontx + j], i % 2 == 0 ? 255 : 0) << i;
}

}  // namespace
}  // namespace orvanta::detect
