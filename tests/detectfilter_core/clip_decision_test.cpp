// The frame arithmetic of a clip: which input frames reach the capture output, when the clip
// ends and how it is marked.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "detectfilter/core/detect_core.h"
#include "tests/support/frames.h"
#include "tests/support/test_station.h"

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

// What the block held when the core announced the end of a clip.
struct ClipEnd {
  std::vector<int> delivered;  // numbers of the input frames seen on the capture output
  int ended_at = -1;           // the input frame whose processing ended the clip
  int end_status = 0;
  int clip_frames = 0;
  int trig_kind = 0;
  int clip_no = 0;
  int clip_started = 0;
  int timelog_count = 0;
};

struct ClipRun {
  std::vector<ClipEnd> clips;  // the last one is still recording when it has ended_at -1
  int previews = 0;
};

// Feeds `pattern` ('.' quiet, 'D' detecting, 'B' big, 'F' quiet with force_rec set); the
// audio path's peak is `apeak` throughout. With `end_of_stream` the stream ends after the
// last frame.
ClipRun Feed(TestStation& st, const std::string& pattern, int apeak, bool end_of_stream = false) {
  DetectCore core(SteppingClock{});
  ClipRun run;
  run.clips.emplace_back();
  int k = 0;
  core.SetOutputs(CoreOutputs{[&](const OutFrame&) {
                                ++run.previews;
                                return true;
                              },
                              [&](const OutFrame& f) {
                                run.clips.back().delivered.push_back(f.data[0] | f.data[1] << 8);
                                return true;
                              },
                              [&] {
                                const DetectionBlock& b = st.b();
                                ClipEnd& c = run.clips.back();
                                c.ended_at = k;
                                c.end_status = b.end_status;
                                c.clip_frames = b.clip_frames;
                                c.trig_kind = b.trig_kind;
                                c.clip_no = b.clip_no;
                                c.clip_started = b.clip_started;
                                c.timelog_count = b.timelog_count;
                                run.clips.emplace_back();
                              }});
  EXPECT_EQ(core.AttachBlock(&st.b()), 473);
  EXPECT_TRUE(core.SetMediaType(VideoFormat{PixelFormat::Y800, kCx, kCy, 333667}));
  core.Run();
  for (k = 0; k < static_cast<int>(pattern.size()); ++k) {
    st.b().force_rec = pattern[k] == 'F';
    st.b().apeak = apeak;
    auto frame = FrameFor(k, pattern[k] == 'F' ? '.' : pattern[k]);
    core.ReceiveVideo(frame.data(), frame.size(), SampleTimes{});
  }
  if (end_of_stream) core.EndOfStream();
  EXPECT_TRUE(core.running());  // clips never stop the frame path
  if (run.clips.back().delivered.empty() && run.clips.back().ended_at < 0) run.clips.pop_back();
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
    ASSERT_EQ(run.clips.size(), 1u);
    const ClipEnd& clip = run.clips[0];
    EXPECT_EQ(clip.delivered, c.delivered);
    EXPECT_EQ(clip.ended_at, c.ended_at);
    EXPECT_EQ(clip.end_status, c.end_status);
    EXPECT_EQ(clip.clip_frames, c.clip_frames);
    EXPECT_EQ(clip.trig_kind, c.trig_kind);
    EXPECT_EQ(clip.clip_no, c.clip_no);
    EXPECT_EQ(clip.clip_started, 1);
    // Every frame reached the preview, also after the clip.
    EXPECT_EQ(run.previews, static_cast<int>(c.pattern.size()));
    // One time-log entry per clip frame; the next clip's log starts empty.
    EXPECT_EQ(clip.timelog_count, c.clip_frames);
    EXPECT_EQ(st.b().timelog_count, 0);
    EXPECT_EQ(st.b().clip_started, 0);
  }
}

// Clips next to each other and at the ends of the stream: no frame after a clip goes
// unexamined, and a clip at the end of the stream is finished with what the ring holds.
// Each case lists the input frames every clip holds, in order.
TEST(ClipDecision, NoFrameIsLostBetweenClips) {
  struct Case {
    const char* name;
    std::string pattern;
    bool end_of_stream;
    std::vector<std::vector<int>> clips;
    std::vector<int> end_status;  // 0: still recording when the feed ended
  };
  // dmin 2, head 10, tail 10: the first meteor's detecting frames are 30-34; its clip holds
  // frames 20-44 and ends while input frame 56 is processed (the clip frames leave 11
  // frames behind the input).
  const auto first = Pattern({{30, '.'}, {5, 'D'}});
  auto next_at = [&](int frame) {
    return first + Pattern({{frame - 35, '.'}, {3, 'D'}, {40, '.'}});
  };
  const std::vector<Case> cases = {
      // A meteor 1 and 5 frames after the clip's last frame comes while the clip is still
      // recording: the clip grows to hold it and its tail.
      {"next meteor 1 frame after the clip's last", next_at(45), false, {Range(20, 57)}, {1}},
      {"next meteor 5 frames after the clip's last", next_at(49), false, {Range(20, 61)}, {1}},
      // A meteor right after the clip has ended, and 25 frames after its last frame: a clip
      // of its own, whose head reaches back into the first clip's tail.
      {"next meteor right after the clip ended",
       next_at(57),
       false,
       {Range(20, 44), Range(47, 69)},
       {1, 1}},
      {"next meteor 25 frames after the clip's last",
       next_at(69),
       false,
       {Range(20, 44), Range(59, 81)},
       {1, 1}},
      // A meteor in the last frames: the end of the stream finishes its clip with the
      // frames the ring holds, up to the last one.
      {"meteor in the last frames",
       Pattern({{60, '.'}, {4, 'D'}, {2, '.'}}),
       true,
       {Range(50, 65)},
       {1}},
      // Without the end of the stream the same clip is still recording.
      {"still recording without the end",
       Pattern({{60, '.'}, {4, 'D'}, {2, '.'}}),
       false,
       {Range(50, 54)},
       {0}},
      // A meteor in the first frames: detection works from the first frame that has a
      // reference frame behind it; the head holds what the ring has.
      {"meteor in the first frames",
       Pattern({{3, '.'}, {4, 'D'}, {40, '.'}}),
       false,
       {Range(0, 16)},
       {1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestStation st(kCx, kCy, PixelFormat::Y800, [](DetectionBlock& b) {
      b.so_on = b.sm_on = b.nt_on = b.brightonly = b.si_on = b.im_peak = 0;
      b.detect_on = 1;
      b.host_thread_id = 1;
      b.dmin = 2;
      b.fs_head = 10;
      b.fs_tail = 10;
    });
    ClipRun run = Feed(st, c.pattern, 0, c.end_of_stream);
    ASSERT_EQ(run.clips.size(), c.clips.size());
    for (size_t i = 0; i < c.clips.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(run.clips[i].delivered, c.clips[i]);
      EXPECT_EQ(run.clips[i].end_status, c.end_status[i]);
      // Frames the ring could not yet hold count in the clip without being delivered.
      if (c.end_status[i] != 0 && c.clips[i].front() > 0) {
        EXPECT_EQ(run.clips[i].clip_frames, static_cast<int>(c.clips[i].size()));
      }
    }
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
  // Fed until the clip's last frame: it is still recording, its log complete.
  std::string pattern = Pattern({{10, '.'}, {1, 'D'}, {4, '.'}});
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
    b.host_thread_id = 1;
  });
  DetectCore core(SteppingClock{});
  int delivered = 0;
  int k = 0;
  int ended_at = -1;
  int end_status = 0;
  int clip_frames = 0;
  core.SetOutputs(CoreOutputs{nullptr,
                              [&](const OutFrame&) {
                                ++delivered;
                                return true;
                              },
                              [&] {
                                ended_at = k;
                                end_status = st.b().end_status;
                                clip_frames = st.b().clip_frames;
                              }});
  core.AttachBlock(&st.b());
  core.SetMediaType(VideoFormat{PixelFormat::Y800, kCx, kCy, 333667});
  core.Run();
  auto patch = [](int k) {
    Picture p(kCx, kCy, 10);
    if (k % 2 == 0) p.Fill(30, 14, 3, 3, 200);
    return testing::Encode(p, PixelFormat::Y800);
  };
  for (k = 0; k < 200 && ended_at < 0; ++k) {
    auto frame = patch(k);
    st.b().detect_on = k >= 20;  // armed once the patch has been tracked for a while
    core.ReceiveVideo(frame.data(), frame.size(), SampleTimes{});
  }
  // Tracked from frame 2 at 33 ms per frame: slow at the first bright frame after 3 s.
  EXPECT_EQ(ended_at, 94);
  EXPECT_EQ(end_status, -2);
  EXPECT_EQ(clip_frames, ended_at - 20);
  EXPECT_EQ(delivered, ended_at - 20);

  // Run again (the object table stays): the slow patch no longer counts, so no clip starts.
  core.Run();
  for (k = 0; k < 10; ++k) {
    auto frame = patch(k);
    core.ReceiveVideo(frame.data(), frame.size(), SampleTimes{});
    EXPECT_EQ(st.b().hits, 0) << k;
  }
  EXPECT_EQ(st.b().rec_remain, 0);
}

}  // namespace
}  // namespace orvanta::detect
