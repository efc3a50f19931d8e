// The record buffer: lookup rules, text widening, limits, damaged images.
#include "app/app_uty.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>

#include "tests/app/test_support.h"

namespace orvanta::testing {
namespace {

using AppUtyTest = SettingsTest;

CAppUty& Loaded(CAppUty& uty, const std::string& image) {
  uty.ReadImage(reinterpret_cast<const uint8_t*>(image.data()), image.size());
  return uty;
}

TEST_F(AppUtyTest, TextRecordsArePaddedToFourBytes) {
  struct Case {
    std::u16string text;
    int32_t length;
  };
  const Case cases[] = {{u"", 4}, {u"a", 4}, {u"abc", 8}, {u"abcd", 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    CAppUty uty;
    uty.Rewind();
    uty.PutText("AP.snd", c.text.c_str());
    ASSERT_EQ(uty.written(), 20u + static_cast<size_t>(c.length));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(uty.image()), uty.written()),
              Record("AP.snd", Utf16Value(c.text)));
  }
}

TEST_F(AppUtyTest, LookupRules) {
  CAppUty uty;
  Loaded(uty, Record("VERSION", IntValue(501)) + Record("IF.continuousdetection", IntValue(7)) +
                  Record("IF.dlev", IntValue(1)) + Record("IF.dlev", IntValue(2)) +
                  Record("IF.cx", IntValue(640)));
  struct Case {
    const char* key;
    int32_t length;
    int32_t value;
  };
  const Case cases[] = {
      {"IF.continuousdetection", 4, 7},  // stored cut to 15 characters
      {"IF.continuousde", 4, 7},
      {"IF.dlev", 4, 1},  // the first of two records wins
      {"IF.cx", 4, 640},
      {"IF.c", 0, -1},  // a prefix is not a match
      {"IF.cxx", 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    int32_t value = -1;
    EXPECT_EQ(uty.GetInt(c.key, &value), c.length);
    EXPECT_EQ(value, c.value);
  }
  EXPECT_FALSE(uty.damaged());
}

TEST_F(AppUtyTest, OldFilesWidenTextAndNewFilesCopyIt) {
  const std::string narrow = std::string("abc") + '\0';
  struct Case {
    std::string version_record;
    std::u16string expected;
  };
  const Case cases[] = {
      {Record("VERSION", IntValue(460)), u"abc"},
      {Record("VERSION", IntValue(470)), u"\x6261\x63"},  // the bytes taken as UTF-16
      {"", u"\x6261\x63"},                                // no VERSION: UTF-16
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.size());
    CAppUty uty;
    Loaded(uty, c.version_record + Record("AP.snd", narrow));
    char16_t field[8];
    std::fill(std::begin(field), std::end(field), u'X');
    EXPECT_EQ(uty.GetValue("AP.snd", field, sizeof field, false), 4);
    EXPECT_EQ(std::u16string(field), c.expected);
  }
}

TEST_F(AppUtyTest, WideningNeverWritesPastTheDestination) {
  CAppUty uty;
  Loaded(uty, Record("VERSION", IntValue(400)) + Record("IF.cid", std::string(7, 'Z') + '\0'));
  struct {
    char16_t field[4];
    char16_t guard[4];
  } dest;
  std::fill(std::begin(dest.guard), std::end(dest.guard), u'G');
  EXPECT_EQ(uty.GetValue("IF.cid", dest.field, 8, false), 8);  // 8 bytes pass the check...
  EXPECT_EQ(std::u16string(dest.field, 3), u"ZZZ");            // ...but widen to 16
  EXPECT_EQ(dest.field[3], u'\0');
  EXPECT_EQ(std::u16string(dest.guard, 4), u"GGGG");
}

TEST_F(AppUtyTest, KeptTextsIgnoreAnEmptyStoredValue) {
  struct Case {
    std::u16string before;
    std::u16string stored;
    std::u16string after;
  };
  const Case cases[] = {
      {u"Kanda", u"", u"Kanda"},
      {u"", u"", u""},
      {u"Kanda", u"Sato", u"Sato"},
      {u"", u"Sato", u"Sato"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.before.begin(), c.before.end()));
    CAppUty uty;
    Loaded(uty, Record("VERSION", IntValue(501)) + Record("AP.oname", Utf16Value(c.stored)));
    char16_t field[32] = {};
    std::copy(c.before.begin(), c.before.end(), field);
    uty.GetTextKeep("AP.oname", field, 62);
    EXPECT_EQ(std::u16string(field), c.after);
  }
}

TEST_F(AppUtyTest, TextWithoutTerminatorDoesNotRunIntoOldValue) {
  CAppUty uty;
  Loaded(uty, Record("VERSION", IntValue(501)) + Record("AP.snd", std::string("A\0B\0C\0D\0", 8)));
  char16_t field[8];
  std::copy_n(u"XXXXXXX", 8, field);
  uty.GetValue("AP.snd", field, sizeof field, false);
  EXPECT_EQ(std::u16string(field), u"ABCD");
}

TEST_F(AppUtyTest, DamagedImagesEndTheLookupInsideWhatWasRead) {
  const std::string good = Record("VERSION", IntValue(501)) + Record("IF.cx", IntValue(640));
  std::string negative = Record("IF.bad", IntValue(0));
  std::memcpy(negative.data() + 16, IntValue(-24).data(), 4);
  std::string oversized = Record("IF.bad", IntValue(0));
  std::memcpy(oversized.data() + 16, IntValue(INT_MAX).data(), 4);
  std::string beyond_end = Record("IF.bad", IntValue(0));
  std::memcpy(beyond_end.data() + 16, IntValue(8).data(), 4);
  struct Case {
    const char* name;
    std::string tail;
  };
  const Case cases[] = {
      {"negative length", negative},
      {"oversized length", oversized},
      {"value past the end", beyond_end},
      {"truncated header", std::string("IF.dlev\0\0\0\0\0\0\0\0\0\x04", 17)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CAppUty uty;
    Loaded(uty, good + c.tail);
    int32_t value = -1;
    EXPECT_EQ(uty.GetInt("IF.cx", &value), 4);
    EXPECT_EQ(value, 640);
    value = -1;
    EXPECT_EQ(uty.GetInt("IF.dlev", &value), 0);
    EXPECT_EQ(value, -1);
    EXPECT_TRUE(uty.damaged());
    EXPECT_EQ(uty.damaged_at(), good.size());
  }
}

TEST_F(AppUtyTest, RandomImagesNeverLeaveTheImage) {
  std::mt19937 random(4711);
  for (int round = 0; round < 300; ++round) {
    std::string image(random() % 400, '\0');
    for (char& b : image) b = static_cast<char>(random());
    if (round % 2) image = Record("VERSION", IntValue(random() % 600)) + image;
    CAppUty uty;
    Loaded(uty, image);
    char16_t field[1024];
    try {
      uty.GetValue("AP.snd", field, sizeof field, false);
      uty.GetTextKeep("AP.oname", field, 62);
    } catch (const FatalExitCalled&) {
      // An oversized value is fatal by design; it must only not overrun.
    }
  }
}

TEST_F(AppUtyTest, FatalConditions) {
  {
    CAppUty uty;
    int32_t v;
    EXPECT_THROW(uty.GetInt("IF.cx", &v), FatalExitCalled);  // nothing read yet
  }
  {
    CAppUty uty;
    Loaded(uty, Record("VERSION", IntValue(501)) + Record("IF.cid", Utf16Value(u"ABCD")));
    char16_t cid[4];
    EXPECT_THROW(uty.GetValue("IF.cid", cid, 8, false), FatalExitCalled);  // L = 12 > 8
  }
  {
    CAppUty uty;
    uty.Rewind();
    const std::string big(1000, 'x');
    for (int i = 0; i < 9; ++i) uty.PutValue("AP.snd", big.data(), big.size());
    ASSERT_EQ(uty.written(), 9180u);
    uty.PutInt("IF.cx", 1);  // starts below 9196
    EXPECT_THROW(uty.PutInt("IF.cy", 1), FatalExitCalled);
  }
  {
    CAppUty uty;
    uty.Rewind();
    const std::string big(9000, 'x');
    uty.PutValue("AP.snd", big.data(), big.size());
    EXPECT_THROW(uty.PutValue("AP.bat", big.data(), 2000), FatalExitCalled);  // would end past
    EXPECT_EQ(uty.written(), 9020u);
  }
  {
    CAppUty uty;
    EXPECT_THROW(uty.WriteFile("x.zvi"), FatalExitCalled);  // no write position
  }
  EXPECT_EQ(fatals_,
            (std::vector<std::string>{"UE0104: rp invalid", "UE0105: invalid length",
                                      "UE0103: bp exceeds limit (IF.cy)",
                                      "UE0103: bp exceeds limit (AP.bat)", "CAppUty:invalid bp"}));
}

}  // namespace
}  // namespace orvanta::testing
