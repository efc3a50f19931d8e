#include "products/avi_frame_rate.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "products/clip_record.h"
#include "tests/products/temp_dir.h"

namespace orvanta {
namespace {

using testing::TempDir;

uint32_t U32At(const std::string& bytes, size_t at) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A real clip as the recording branch writes it: raw video through avimux.
bool MakeAvi(const std::string& path) {
  const std::string cmd =
      "gst-launch-1.0 -q videotestsrc num-buffers=10 ! "
      "video/x-raw,format=YUY2,width=64,height=48,framerate=25/1 ! avimux ! filesink location='" +
      path + "' >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

TEST(AviFrameRateTest, RewritesTimingOfRealAvi) {
  TempDir dir;
  const std::string avi = dir / "clip.avi";
  ASSERT_TRUE(MakeAvi(avi)) << "gst-launch-1.0 with avimux is needed";
  const std::string before = testing::ReadAll(avi);
  ASSERT_EQ(U32At(before, 32), 40000u);  // 25 frames per second as written
  ASSERT_EQ(U32At(before, 132) / U32At(before, 128), 25u);

  const AviFix fix = FixAviFrameRate(avi, 34602);
  EXPECT_EQ(fix.outcome, AviFixOutcome::Fixed);
  const std::string after = testing::ReadAll(avi);
  EXPECT_EQ(U32At(after, 32), 34602u);
  EXPECT_EQ(U32At(after, 128), 346020u);
  EXPECT_EQ(U32At(after, 132), 10000000u);
  // Nothing else changed.
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    if ((i < 32 || i >= 36) && (i < 128 || i >= 136)) {
      ASSERT_EQ(after[i], before[i]) << i;
    }
  }
}

TEST(AviFrameRateTest, RecordWithMeasuredRateCorrectsTheClip) {
  TempDir dir;
  const std::string avi = dir / "M20240102_021000_JPTK01_C1.avi";
  ASSERT_TRUE(MakeAvi(avi));
  std::vector<TimeLogEntry> log;
  for (int i = 0; i < 290; ++i) {  // 28.9 frames per second measured
    const int64_t ms = static_cast<int64_t>(i * 1000.0 / 28.9 + 0.5);
    log.push_back(
        {static_cast<uint64_t>(1704161400 + ms / 1000), static_cast<int32_t>(ms % 1000), 35});
  }
  ClipRecordInputs in;
  in.timelog = log;
  in.avg_time_per_frame = 333333;
  const ClipRecordOutcome out = WriteClipRecord(ClipProductPath(avi, ".xml"), avi, in);
  EXPECT_TRUE(out.written);
  EXPECT_EQ(out.message, "");
  EXPECT_EQ(U32At(testing::ReadAll(avi), 32), 34602u);
  EXPECT_NE(testing::ReadAll(ClipProductPath(avi, ".xml")).find(" fps=\"28.900\" "),
            std::string::npos);
}

TEST(AviFrameRateTest, OtherFilesAreLeftAlone) {
  TempDir dir;
  const AviFix missing = FixAviFrameRate(dir / "gone.avi", 34602);
  EXPECT_EQ(missing.outcome, AviFixOutcome::CannotOpen);
  EXPECT_EQ(missing.message, "cannot open " + dir / "gone.avi");

  // A compressed recording in another container must not be patched.
  std::string mp4(400, '\0');
  mp4.replace(4, 8, "ftypisom");
  testing::WriteText(dir / "clip.mp4", mp4);
  const AviFix other = FixAviFrameRate(dir / "clip.mp4", 34602);
  EXPECT_EQ(other.outcome, AviFixOutcome::NotAvi);
  EXPECT_EQ(testing::ReadAll(dir / "clip.mp4"), mp4);
}

}  // namespace
}  // namespace orvanta
