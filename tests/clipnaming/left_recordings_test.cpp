// Recordings left by an earlier run, found in the clip store's date directories: mended into
// clips with a record, or removed when nothing in them can be played; finished clips and
// other files stay as they are.
#include "clipnaming/left_recordings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/products/avi_fixture.h"

namespace orvanta::testing {
namespace {

namespace fs = std::filesystem;

TEST(LeftRecordings, MendedIntoClipsOrRemoved) {
  TempDir store;
  const fs::path day = fs::path(store.path()) / "2024" / "202401" / "20240101";
  fs::create_directories(day);
  const std::string killed = (day / "T20240102_021000_JPTK01_C1.avi").string();
  const std::string empty = (day / "T20240102_031500_JPTK01_C1.avi").string();
  const std::string finished = (day / "M20240102_011000_JPTK01_C1.avi").string();
  const std::string torn_record = (day / "M20240102_011000_JPTK01_C1.xml.part").string();
  const std::string taken = (fs::path(store.path()) / "T20240103_000000_X_.avi").string();
  const std::string taken_clip = (fs::path(store.path()) / "M20240103_000000_X_.avi").string();
  WriteText(killed, UnfinishedAvi({.frames = 5, .torn_bytes = 9}));
  WriteText(empty, UnfinishedAvi({.frames = 0}));
  WriteText(finished, "a finished clip");
  WriteText(torn_record, "<orvanta_rec");
  WriteText(taken, UnfinishedAvi({.frames = 2}));
  WriteText(taken_clip, "another clip of that second");

  ClipRecordInputs known;
  known.ccode = "JP";
  known.lid = "TK01";
  known.fs_head = 30;
  const std::vector<LeftRecording> left = MendLeftRecordings(store.path(), known);
  ASSERT_EQ(left.size(), 3u);

  const std::string clip = (day / "M20240102_021000_JPTK01_C1.avi").string();
  EXPECT_FALSE(fs::exists(killed));
  ASSERT_TRUE(fs::exists(clip));
  EXPECT_EQ(CountsOf(ReadAll(clip)).total_frames, 5u);
  const std::string record = ReadAll((day / "M20240102_021000_JPTK01_C1.xml").string());
  EXPECT_NE(record.find("frames=\"5\""), std::string::npos) << record;
  EXPECT_NE(record.find("cx=\"8\""), std::string::npos) << record;
  EXPECT_NE(record.find("h=\"02\" m=\"10\" s=\"00.00\""), std::string::npos) << record;
  EXPECT_FALSE(fs::exists(empty));
  EXPECT_FALSE(fs::exists(torn_record));
  EXPECT_EQ(ReadAll(finished), "a finished clip");
  // A clip of the same name is never overwritten: the recording is mended in place.
  EXPECT_EQ(ReadAll(taken_clip), "another clip of that second");
  EXPECT_EQ(CountsOf(ReadAll(taken)).total_frames, 2u);
  for (const LeftRecording& l : left) {
    SCOPED_TRACE(l.path);
    EXPECT_FALSE(l.message.empty());
    EXPECT_EQ(l.clip.empty(), l.path != killed);
  }
}

}  // namespace
}  // namespace orvanta::testing
