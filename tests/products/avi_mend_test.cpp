// Mending recordings a writer never finished: the frames written are indexed and counted,
// a torn last frame is cut, and files that are complete or are not recordings at all are
// told apart.
#include "products/avi_mend.h"

#include <gtest/gtest.h>

#include "tests/products/avi_fixture.h"

namespace orvanta::testing {
namespace {

TEST(AviMend, UnfinishedRecordingsGetTheirIndexAndCounts) {
  struct Case {
    const char* name;
    AviLayout layout;
    uint32_t frames;
    const char* tail = "";  // bytes after the last whole chunk
  } cases[] = {
      {"killed between frames", {.frames = 3}, 3},
      {"killed inside a frame", {.frames = 3, .torn_bytes = 20}, 3},
      {"killed inside a frame header", {.frames = 2}, 2, "00d"},
      {"frames with sound", {.frames = 4, .sound = true, .torn_bytes = 5}, 4},
      {"odd frame size", {.frames = 2, .frame_bytes = 7}, 2},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / "T20240102_021000_JPTK01_C1.avi";
    WriteText(path, UnfinishedAvi(c.layout) + c.tail);
    Result<AviFacts> facts = MendAvi(path);
    ASSERT_TRUE(facts.ok()) << facts.message();
    EXPECT_TRUE(facts->mended);
    EXPECT_EQ(facts->frames, c.frames);
    EXPECT_EQ(facts->width, 8u);
    EXPECT_EQ(facts->height, 4u);
    EXPECT_EQ(facts->us_per_frame, 40000u);
    const std::string mended = ReadAll(path);
    const AviCounts counts = CountsOf(mended);
    EXPECT_EQ(counts.riff_size, mended.size() - 8);
    EXPECT_EQ(counts.total_frames, c.frames);
    EXPECT_EQ(counts.video_length, c.frames);
    EXPECT_EQ(counts.index_entries, c.layout.sound ? 2 * c.frames : c.frames);
    // The frame list's size reaches exactly to the index.
    const size_t movi = mended.find("movi") - 8;
    EXPECT_EQ(movi + 8 + Get32(mended, movi + 4), mended.rfind("idx1"));
    // The first entry points at the first frame, counted from the "movi" tag.
    const size_t idx1 = mended.rfind("idx1");
    EXPECT_EQ(mended.substr(idx1 + 8, 4), "00db");
    EXPECT_EQ(Get32(mended, idx1 + 16), 4u);
    if (c.layout.sound) {
      const size_t auds = mended.find("auds");
      EXPECT_EQ(Get32(mended, auds + 32), c.frames * 6 / 4);
    }
    // A mended file is complete: mending it again changes nothing.
    Result<AviFacts> again = MendAvi(path);
    ASSERT_TRUE(again.ok());
    EXPECT_FALSE(again->mended);
    EXPECT_EQ(again->frames, c.frames);
    EXPECT_EQ(ReadAll(path), mended);
  }
}

TEST(AviMend, FilesWithNothingToMendAreRefused) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"no frame", UnfinishedAvi({.frames = 0})},
      {"only a torn frame", UnfinishedAvi({.frames = 0, .torn_bytes = 10})},
      {"text", "this is not a video"},
      {"empty", ""},
      {"header cut short", UnfinishedAvi({.frames = 1}).substr(0, 60)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / "T.avi";
    WriteText(path, c.bytes);
    Result<AviFacts> facts = MendAvi(path);
    EXPECT_FALSE(facts.ok());
    EXPECT_FALSE(facts.message().empty());
    EXPECT_EQ(ReadAll(path), c.bytes);
  }
  EXPECT_EQ(MendAvi(dir / "missing.avi").message().rfind("cannot open", 0), 0u);
}

}  // namespace
}  // namespace orvanta::testing
