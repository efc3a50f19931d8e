// The account value coding.
#include "app/scramble.h"

#include <gtest/gtest.h>

namespace orvanta {
namespace {

TEST(ScrambleTest, SeedSumsPositionTimesSignedLowByte) {
  EXPECT_EQ(ScrambleSeed(u""), 1529766339u);
  EXPECT_EQ(ScrambleSeed(u"ab"), 1529766339u + 1u * 'b');
  EXPECT_EQ(ScrambleSeed(u"a\x00FF"), 1529766339u - 1u);       // low byte 0xFF counts as -1
  EXPECT_EQ(ScrambleSeed(u"ab\x0100z"), ScrambleSeed(u"ab"));  // ends at a zero low byte
}

TEST(ScrambleTest, FirstSymbolIsTheTopFiveBitsOfTheFirstXoredByte) {
  uint32_t s1 = 1529766339u * 1103515245u + 10859u;
  uint32_t s2 = (980159785u * 980159785u) % 1103515245u + 83310557u;
  const uint8_t first = static_cast<uint8_t>(s1 + s2) ^ 'A';
  EXPECT_EQ(ScrambleText(u"", u"A")[0], kScrambleAlphabet[first >> 3]);
}

TEST(ScrambleTest, SymbolCountFollowsTheTextLength) {
  for (size_t n : {0, 1, 2, 5, 31, 100}) {
    SCOPED_TRACE(n);
    const std::u16string text(n, u'x');
    EXPECT_EQ(ScrambleText(u"key", text).size(), ((2 * n + 2) * 8 + 4) / 5);
  }
  EXPECT_EQ(ScrambleText(u"", u"").size(), 4u);
}

TEST(ScrambleTest, UnscrambleUndoesScramble) {
  struct Case {
    std::u16string key;
    std::u16string text;
  };
  const Case cases[] = {{u"", u""},
                        {u"", u"ftp.example.org"},
                        {u" 20240101_123456", u"p@ss:wörd"},
                        {u"station-7", u"観測 \xD83C\xDF20"},
                        {u"k", std::u16string(300, u'z')}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    const std::string symbols = ScrambleText(c.key, c.text);
    EXPECT_EQ(symbols.find_first_not_of(kScrambleAlphabet), std::string::npos);
    EXPECT_EQ(UnscrambledToText(UnscrambleText(c.key, symbols, 4096)), c.text);
  }
}

TEST(ScrambleTest, BadSymbolsAndWrongKeys) {
  const std::string symbols = ScrambleText(u"right", u"secret");
  EXPECT_EQ(UnscrambleText(u"right", symbols + "a", 2048), "");  // lower case is foreign
  EXPECT_EQ(UnscrambleText(u"right", "", 2048), std::string(2, '\0'));
  EXPECT_NE(UnscrambledToText(UnscrambleText(u"wrong", symbols, 2048)), u"secret");
  // Output stops at the capacity and stays terminated.
  const std::string cut = UnscrambleText(u"right", symbols, 6);
  EXPECT_EQ(cut.size(), 6u);
  EXPECT_EQ(UnscrambledToText(cut), u"se");
}

}  // namespace
}  // namespace orvanta
