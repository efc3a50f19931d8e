// The record fields' UTF-16 text as UTF-8, and cutting text to a limit in UTF-16 units.
#include "app/text_utf.h"

#include <gtest/gtest.h>

namespace orvanta {
namespace {

TEST(TextUtfTest, FieldToUtf8) {
  struct Case {
    const char* what;
    std::u16string units;
    std::string utf8;
  };
  const Case cases[] = {
      {"empty", u"", ""},
      {"stops at the terminator", std::u16string(u"ab\0cd", 5), "ab"},
      {"two- and three-byte characters", u"Ōta_観測", "Ōta_観測"},
      {"surrogate pair", u"\U0001F320!", "\xF0\x9F\x8C\xA0!"},
      {"lone high surrogate at the end", u"a\xD83C", "a\xEF\xBF\xBD"},
      {"low surrogate first",
       u"\xDF20"
       u"b",
       "\xEF\xBF\xBD"
       "b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    char16_t field[8] = {};
    std::copy(c.units.begin(), c.units.end(), field);
    EXPECT_EQ(FieldUtf8(field), c.utf8);
  }
  // A full field has no terminator: its last unit is still text.
  const char16_t full[3] = {u'x', u'y', u'z'};
  EXPECT_EQ(FieldUtf8(full), "xyz");
}

TEST(TextUtfTest, CutToUnitsKeepsWholeCharacters) {
  struct Case {
    const char* what;
    std::string text;
    size_t units;
    std::string cut;
  };
  const Case cases[] = {
      {"fits", "abc", 3, "abc"},
      {"ASCII cut", "abcdef", 4, "abcd"},
      {"a three-byte character is one unit", "観測所", 2, "観測"},
      {"a pair is never split", "a\U0001F320b", 2, "a"},
      {"a pair that fits", "a\U0001F320b", 3, "a\U0001F320"},
      {"invalid bytes stay when the text fits", "a\xFF\xC3", 3, "a\xFF\xC3"},
      {"nothing", "abc", 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CutToUnits(c.text, c.units), c.cut);
  }
}

}  // namespace
}  // namespace orvanta
