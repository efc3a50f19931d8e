#include "clipnaming/clip_name.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/clip_kinds.h"
#include "app/messages.h"
#include "tests/products/temp_dir.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Seconds of a UTC calendar time (the frame clock is broken down as UTC).
int64_t At(int y, int mo, int d, int h, int mi, int s) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return timegm(&tm);
}

TEST(ClipNameTest, NamesAndDateDirectories) {
  struct Case {
    const char* what;
    int64_t t;
    bool ymddir, night;
    const char *ccode, *lid, *cid;
    char letter;
    int trig_kind;
    const char* name;     // relative to db_dir
    const char* day_dir;  // relative to db_dir, "" = db_dir itself
  };
  const Case cases[] = {
      {"night rule before noon", At(2024, 1, 2, 2, 10, 0), true, true, "JP", "TK01", "C1", 'M',
       kTriggerVideo, "2024/202401/20240101/M20240102_021000_JPTK01_C1.avi",
       "2024/202401/20240101"},
      {"night rule at noon", At(2024, 1, 2, 12, 0, 0), true, true, "JP", "TK01", "C1", 'M',
       kTriggerVideo, "2024/202401/20240102/M20240102_120000_JPTK01_C1.avi",
       "2024/202401/20240102"},
      {"night rule across the year", At(2024, 1, 1, 5, 0, 9), true, true, "JP", "TK01", "C1", 'M',
       kTriggerVideo, "2023/202312/20231231/M20240101_050009_JPTK01_C1.avi",
       "2023/202312/20231231"},
      {"date directories without night rule", At(2024, 1, 2, 2, 10, 0), true, false, "JP", "TK01",
       "C1", 'M', kTriggerVideo, "2024/202401/20240102/M20240102_021000_JPTK01_C1.avi",
       "2024/202401/20240102"},
      {"no date directories", At(2024, 1, 2, 2, 10, 0), false, true, "JP", "TK01", "C1", 'M',
       kTriggerVideo, "M20240102_021000_JPTK01_C1.avi", ""},
      {"empty codes", At(2024, 1, 2, 2, 10, 0), false, false, "", "", "", 'M', kTriggerVideo,
       "M20240102_021000__.avi", ""},
      {"audio trigger", At(2024, 1, 2, 2, 10, 0), false, false, "JP", "TK01", "C1", 'M',
       kTriggerAudio, "M20240102_021000_JPTK01-C1.avi", ""},
      {"timer trigger", At(2024, 1, 2, 2, 10, 0), false, false, "JP", "TK01", "C1", 'M',
       kTriggerTimer, "M20240102_021000_JPTK01=C1.avi", ""},
      {"forced by hand", At(2024, 1, 2, 2, 10, 0), false, false, "JP", "TK01", "C1", 'M',
       kTriggerByHand, "M20240102_021000_JPTK01+C1.avi", ""},
      {"recording file", At(2024, 1, 2, 2, 10, 0), false, false, "JP", "TK01", "C1", 'T',
       kTriggerVideo, "T20240102_021000_JPTK01_C1.avi", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir db;
    ClipNameSettings s{db.path(), c.ymddir, c.night, c.ccode, c.lid, c.cid, ".avi"};
    auto parts = FormClipName(s, c.t, c.letter, ClipSeparator(c.trig_kind));
    ASSERT_TRUE(parts.ok()) << parts.message();
    EXPECT_EQ(parts->path, db / c.name);
    const std::string day = *c.day_dir ? db / c.day_dir : db.path();
    EXPECT_EQ(parts->day_dir, day);
    EXPECT_TRUE(fs::is_directory(day));
  }
}

TEST(ClipNameTest, MinuteStampAndHourMinuteText) {
  TempDir db;
  auto parts = FormClipName({db.path(), false, false, "", "", "", ".avi"},
                            At(2024, 1, 2, 2, 10, 59), 'M', '_');
  ASSERT_TRUE(parts.ok());
  EXPECT_EQ(parts->hhmm, "0210");
  EXPECT_EQ(parts->minute_stamp, 1 * 1440 + 2 * 60 + 10);
}

TEST(ClipNameTest, ExtensionOfCompressedRecordings) {
  EXPECT_EQ(RecordingExtension(1, ".mkv"), ".avi");
  EXPECT_EQ(RecordingExtension(0, ".mkv"), ".mkv");
  EXPECT_EQ(RecordingExtension(0, ".abcdefghijk"), ".abcdefgh");
}

TEST(ClipNameTest, DateDirectoryThatCannotBeMadeIsAnError) {
  TempDir db;
  testing::WriteText(db / "2024", "a file where the year directory belongs");
  // An existing entry of any kind counts as the directory.
  EXPECT_TRUE(CreateDateDir(db / "2024").ok());

  auto parts = FormClipName({db.path(), true, false, "", "", "", ".avi"}, At(2024, 1, 2, 2, 10, 0),
                            'M', '_');
  ASSERT_FALSE(parts.ok());
  EXPECT_EQ(parts.message(), "Cannot Create Date Dir " + db / "2024/202401");
}

TEST(ClipNameTest, OverlongNameIsRefusedNotCut) {
  TempDir db;
  const std::string deep = db.path() + "/" + std::string(1000, 'd');
  ClipNameSettings s{deep, false, false, "JP", "TK01", "C1", ".avi"};
  EXPECT_FALSE(FormClipName(s, At(2024, 1, 2, 2, 10, 0), 'M', '_').ok());
}

TEST(ClipNameTest, EngineNameKeepsDayDirAndEndsOnFailure) {
  TempDir db;
  SetDayDir("");
  const ClipNameSettings s{db.path(), true, true, "JP", "TK01", "C1", ".avi"};
  const ClipNameParts parts = ClipName(s, At(2024, 1, 2, 2, 10, 0), 'T', '_');
  EXPECT_EQ(DayDir(), db / "2024/202401/20240101");
  EXPECT_EQ(parts.path, db / "2024/202401/20240101/T20240102_021000_JPTK01_C1.avi");

  // A date directory that cannot be made is the fatal report.
  struct Ended {
    int code;
  };
  std::string shown;
  const MessageHandler saved_handler =
      SetMessageHandler({nullptr, [&](const std::string& text) { shown = text; }});
  const FatalExit saved_exit = SetFatalExit([](int code) { throw Ended{code}; });
  testing::WriteText(db / "2025", "");
  try {
    ClipName(s, At(2025, 6, 1, 22, 0, 0), 'T', '_');
    ADD_FAILURE() << "no fatal end";
  } catch (const Ended& e) {
    EXPECT_EQ(e.code, -9);
  }
  SetFatalExit(saved_exit);
  SetMessageHandler(saved_handler);
  EXPECT_EQ(shown, "Cannot Create Date Dir " + db / "2025/202506");
  EXPECT_EQ(DayDir(), db / "2024/202401/20240101");
}

}  // namespace
}  // namespace orvanta
