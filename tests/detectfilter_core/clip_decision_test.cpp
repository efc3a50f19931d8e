// The frame arithmetic of a clip: which input frames reach the capture output, when the clip
// ends and how it is marked.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "detectfilter/core/detect_core.h"
#include "tests/detectfilter_core/frames.h"
#include "tests/detectfilter_core/test_station.h"

namespace orvanta::detect {
namespace {

using testing::Picture;
using testing::SteppingClock;
using testing::TestStation;

constexpr int kCx = 64;
constexpr int kCy = 32;

// Frame k of a run: a flat sky carrying its number in the first two bytes; 'D' frames add a
// few bright pixels at a place that moves every frame, 'B' frames a large bright patch.
std::vector<uint8_t> FrameFor(int k, char kind) {
  Picture p(kCx, kCy, 10);
  p.Set(0, 0, static_cast<uint8_t>(k & 255));
  p.Set(1, 0, static_cast<uint8_t>(k >> 8));
  if (kind == 'D') p.Fill(4 + 4 * (k % 12), 4 + (k % 8), 2, 2, 200);
  if (kind == 'B') p.Fill(2, 4, 30, 20, 200);
  return testing::Encode(p, PixelFormat::Y800);
}

struct ClipRun {
  std::vector<int> delivered;  // numbers of the input frames seen on the capture output
  int ended_at = -1;           // the frame after which the core stopped running
  int clip_end_notices = 0;
  int previews = 0;
};

// Feeds `pattern` ('.' quiet, 'D' detecting, 'B' big, 'F' quiet with force_rec set); the
// audio path's peak is `apeak` throughout.
ClipRun Feed(TestStation& st, const std::string& pattern, int apeak) {
  DetectCore core(SteppingClock{});
  ClipRun run;
  core.SetOutputs(CoreOutputs{[&](const OutFrame&) {
                                ++run.previews;
                                return true;
                              },
                              [&](const OutFrame& f) {
                                run.delivered.push_back(f.data[0] | f.data[1] << 8);
                                return true;
                              },
                              [&] { ++run.clip_end_notices; }});
  EXPECT_EQ(core.AttachBlock(&st.b()), 473);
  EXPECT_TRUE(core.SetMediaType(VideoFormat{PixelFormat::Y800, kCx, kCy, 333667}));
  core.Run();
  for (int k = 0; k < static_cast<int>(pattern.size()); ++k) {
    st.b().force_rec = pattern[k] == 'F';
    st.b().apeak = apeak;
    auto frame = FrameFor(k, pattern[k] == 'F' ? '.' : pattern[k]);
    core.ReceiveVideo(frame.data(), frame.size(), SampleTimes{});
    if (!core.running() && run.ended_at < 0) run.ended_at = k;
  }
  return run;
}

std::vector<int> Range(int first, int last) {
  std::vector<int> v;
  for (int k = first; k <= last; ++k) v.push_back(k);
  return v;
}

std::string Pattern(std::initializer_list<std::pair<int, char>> runs) {
  std::string s;
  for (auto [count, c] : runs) s.append(count, c);
  return s;
}

struct ClipCase {
  const char* name;
  std::function<void(DetectionBlock&)> setup;
  std::string pattern;
  std::vector<int> delivered;
  int ended_at;
  int end_status;
  int clip_frames;
  int trig_kind;
  int clip_no;
  int apeak = 0;
};

TEST(ClipDecision, FrameArithmetic) {
  auto base = [](DetectionBlock& b) {
    b.so_on = 0;
    b.sm_on = 0;
    b.nt_on = 0;
    b.brightonly = 0;
    b.si_on = 0;
    b.im_peak = 0;
    b.detect_on = 1;
    b.host_thread_id = 1;
  };
  const std::vector<ClipCase> cases = {
      // Three detecting frames in a row trigger (frame 38); the lone ones before never do.
      // The clip starts 22 frames before the trigger and runs until 20 frames after the last
      // detecting frame (49) have been delivered.
      {"dmin 3, head 20, tail 20, extended", [](DetectionBlock& b) { b.dmin = 3; },
       Pattern({{30, '.'}, {1, 'D'}, {5, '.'}, {3, 'D'}, {10, '.'}, {1, 'D'}, {60, '.'}}),
       Range(16, 69), 92, 1, 54, 1, 1},
      // A frame with at least dminsize hits triggers at once.
      {"dminsize 500 with dmin 5",
       [](DetectionBlock& b) {
         b.dmin = 5;
         b.dminsize = 500;
         b.fs_tail = 5;
       },
       Pattern({{30, '.'}, {1, 'B'}, {40, '.'}}), Range(10, 35), 56, 1, 26, 1, 1},
      // 2 s at 30 frames/s: frames stop at the limit, the clip ends with -1 when the
      // detections stop.
      {"length limit",
       [](DetectionBlock& b) {
         b.dmaxsec = 2;
         b.dmin = 1;
         b.fs_head = 5;
         b.fs_tail = 5;
       },
       Pattern({{30, '.'}, {100, 'D'}, {30, '.'}}), Range(25, 83), 140, -1, 110, 1, 1},
      // A frame rate below 1 counts as 20: the 2 s limit is 40 frames.
      {"length limit at fps 0.5",
       [](DetectionBlock& b) {
         b.fps = 0.5;
         b.dmaxsec = 2;
         b.dmin = 1;
         b.fs_head = 5;
         b.fs_tail = 5;
       },
       Pattern({{30, '.'}, {100, 'D'}, {30, '.'}}), Range(25, 63), 140, -1, 110, 1, 1},
      // Forced by hand, without detection armed.
      {"forced by hand",
       [](DetectionBlock& b) {
         b.detect_on = 0;
         b.fs_head = 10;
         b.fs_tail = 10;
       },
       Pattern({{30, '.'}, {5, 'F'}, {40, '.'}}), Range(20, 44), 56, 1, 25, 4, 1},
      {"forced by the timer",
       [](DetectionBlock& b) {
         b.detect_on = 0;
         b.timer_rec = 1;
         b.fs_head = 10;
         b.fs_tail = 10;
       },
       Pattern({{30, '.'}, {5, 'F'}, {40, '.'}}), Range(20, 44), 56, 1, 25, 3, 1},
      {"forced by the audio level",
       [](DetectionBlock& b) {
         b.atrigger = 1;
         b.fs_head = 10;
         b.fs_tail = 10;
       },
       Pattern({{30, '.'}, {5, 'F'}, {40, '.'}}), Range(20, 44), 56, 1, 25, 2, 1, 6000},
      // Triggered 3 frames after Run: the first clip frames have no ring slot yet, so nothing
      // is delivered for them and the clip's first-frame bookkeeping is not done.
      {"ring not yet deep enough", [](DetectionBlock& b) { b.trig_kind = 0; },
       Pattern({{2, '.'}, {2, 'D'}, {60, '.'}}), Range(0, 23), 45, 1, 42, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestStation st(kCx, kCy, PixelFormat::Y800, [&](DetectionBlock& b) {
      base(b);
      c.setup(b);
    });
    ClipRun run = Feed(st, c.pattern, c.apeak);
    EXPECT_EQ(run.delivered, c.delivered);
    EXPECT_EQ(run.ended_at, c.ended_at);
    EXPECT_EQ(st.b().end_status, c.end_status);
    EXPECT_EQ(st.b().clip_frames, c.clip_frames);
    EXPECT_EQ(st.b().trig_kind, c.trig_kind);
    EXPECT_EQ(st.b().clip_no, c.clip_no);
    EXPECT_EQ(st.b().clip_started, 1);
    EXPECT_EQ(run.clip_end_notices, 1);
    // Every frame reached the preview, also after the clip.
    EXPECT_EQ(run.previews, static_cast<int>(c.pattern.size()));
    // One time-log entry per clip frame.
    EXPECT_EQ(st.b().timelog_count, c.clip_frames);
  }
}

TEST(ClipDecision, TriggerTimeAndTimeLogUseTheStampThreeFramesBack) {
  TestStation st(kCx, kCy, PixelFormat::Y800, [](DetectionBlock& b) {
    b.so_on = b.sm_on = b.nt_on = b.brightonly = b.si_on = b.im_peak = 0;
    b.detect_on = 1;
    b.si_offset = 0;
    b.dmin = 1;
    b.fs_head = 2;
    b.fs_tail = 2;
  });
  // The clock starts at ...09.000 and steps 40 ms: Run reads 09.000, frame k reads
  // 09.000 + 40 (k + 1); the stamp of frame k is the arrival of frame k - 3.
  DetectCore core(SteppingClock{1709672829, 0, 40});
  core.AttachBlock(&st.b());
  core.SetMediaType(VideoFormat{PixelFormat::Y800, kCx, kCy, 400000});
  core.Run();
  std::string pattern = Pattern({{10, '.'}, {1, 'D'}, {10, '.'}});
  for (int k = 0; k < static_cast<int>(pattern.size()); ++k) {
    auto frame = FrameFor(k, pattern[k]);
    core.ReceiveVideo(frame.data(), frame.size(), SampleTimes{});
  }
  EXPECT_EQ(st.b().trig_sec, 1709672829u);
  EXPECT_EQ(st.b().trig_ms, 40 * (10 - 3 + 1));
  ASSERT_EQ(st.b().timelog_count, 5);
  for (int e = 0; e < 5; ++e) {
    SCOPED_TRACE(e);
    EXPECT_EQ(st.b().timelog[e].ms, 40 * (10 + e - 3 + 1));
    EXPECT_EQ(st.b().timelog[e].gap_ms, 40);
  }
}

// A blinking patch that stays put: once tracked for more than 3 s it is slow, stops counting
// hits, and ends the clip it has outlasted with -2.
TEST(ClipDecision, SlowObjectEndsTheClip) {
  TestStation st(kCx, kCy, PixelFormat::Y800, [](DetectionBlock& b) {
    b.sm_on = b.nt_on = b.brightonly = b.si_on = b.im_peak = 0;
    b.so_size = 8;
    b.dmin = 1;
    b.fs_head = 5;
    b.fs_tail = 5;
  });
  DetectCore core(SteppingClock{});
  int delivered = 0;
  core.SetOutputs(CoreOutputs{nullptr,
                              [&](const OutFrame&) {
                                ++delivered;
                                return true;
                              },
                              nullptr});
  core.AttachBlock(&st.b());
  core.SetMediaType(VideoFormat{PixelFormat::Y800, kCx, kCy, 333667});
  core.Run();
  auto patch = [](int k) {
    Picture p(kCx, kCy, 10);
    if (k % 2 == 0) p.Fill(30, 14, 3, 3, 200);
    return testing::Encode(p, PixelFormat::Y800);
  };
  int ended_at = -1;
  for (int k = 0; k < 200 && ended_at < 0; ++k) {
    auto frame = patch(k);
    st.b().detect_on = k >= 20;  // armed once the patch has been tracked for a while
    core.ReceiveVideo(frame.data(), frame.size(), SampleTimes{});
    if (!core.running()) ended_at = k;
  }
  // Tracked from frame 2 at 33 ms per frame: slow at the first bright frame after 3 s.
  EXPECT_EQ(ended_at, 94);
  EXPECT_EQ(st.b().end_status, -2);
  EXPECT_EQ(st.b().clip_frames, ended_at - 20);
  EXPECT_EQ(delivered, ended_at - 20);

  // Run again (the object table stays): the slow patch no longer counts, so no clip starts.
  core.Run();
  for (int k = 0; k < 10; ++k) {
    auto frame = patch(k);
    core.ReceiveVideo(frame.data(), frame.size(), SampleTimes{});
    EXPECT_EQ(st.b().hits, 0) << k;
  }
  EXPECT_EQ(st.b().rec_remain, 0);
}

}  // namespace
}  // namespace orvanta::detect
