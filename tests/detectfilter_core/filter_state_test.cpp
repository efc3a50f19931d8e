// Video formats, the states around Run and Stop, and what the live image and the recordings
// carry.
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "app/text_utf.h"
#include "detectfilter/core/detect_core.h"
#include "detectfilter/core/preview_overlay.h"
#include "tests/support/frames.h"
#include "tests/support/test_station.h"

namespace orvanta::detect {
namespace {

using testing::Picture;
using testing::TestStation;

TEST(FilterState, InputFormats) {
  struct Case {
    PixelFormat format;
    bool red_mode;
    bool accepted;
    const char* fourcc;
    size_t image_size;  // 16 x 10 pixels
  };
  const Case cases[] = {
      {PixelFormat::I420, false, true, "I420", 240},
      {PixelFormat::IYUV, false, true, "I420", 240},
      {PixelFormat::YV12, false, true, "I420", 240},
      {PixelFormat::YUY2, false, true, "YUY2", 320},
      {PixelFormat::YUY2, true, true, "yuy2R", 320},
      {PixelFormat::UYVY, false, true, "UYVY", 320},
      {PixelFormat::UYVY, true, true, "uyvyR", 320},
      {PixelFormat::RGB8, false, true, "RGB8", 160},
      {PixelFormat::Y800, false, true, "Y800", 160},
      {PixelFormat::RGB24, false, true, "RGB24", 480},
      {PixelFormat::RGB32, false, true, "RGB32", 640},
      {PixelFormat::NV12, false, true, "NV12", 240},
      {PixelFormat::Null, false, true, "NULL", 320},
      {PixelFormat::DVSD, false, false, "", 0},
      {PixelFormat::Other, false, false, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Info(c.format).name);
    TestStation st(16, 10, PixelFormat::RGB32, [&](DetectionBlock& b) { b.red_mode = c.red_mode; });
    DetectCore core;
    core.AttachBlock(&st.b());
    EXPECT_EQ(core.SetMediaType(VideoFormat{c.format, 16, -10, 400000}), c.accepted);
    EXPECT_EQ(FieldUtf8(st.b().fourcc), c.fourcc);
    if (!c.accepted) {
      EXPECT_EQ(core.format(), PixelFormat::Null);
      continue;
    }
    EXPECT_EQ(core.format(), c.format);
    EXPECT_EQ(core.image_size(), c.image_size);
    EXPECT_TRUE(SameGuid(st.b().input_subtype, Info(c.format).guid));
    EXPECT_EQ(FieldUtf8(st.b().format_error), "");
  }
}

TEST(FilterState, SizeMismatchIsRefusedWithItsReason) {
  TestStation st(720, 480, PixelFormat::YUY2);
  DetectCore core;
  core.AttachBlock(&st.b());
  EXPECT_FALSE(core.SetMediaType(VideoFormat{PixelFormat::YUY2, 640, 480, 333667}));
  EXPECT_EQ(FieldUtf8(st.b().format_error), "Xi 720 x Yi 480 not match 640 x 480");
  // A later attach clears the reason.
  core.AttachBlock(&st.b());
  EXPECT_EQ(FieldUtf8(st.b().format_error), "");
}

TEST(FilterState, FrameDuration) {
  TestStation st(16, 10, PixelFormat::YUY2);
  DetectCore core;
  core.AttachBlock(&st.b());
  // Unknown with nothing remembered: the substitute duration.
  ASSERT_TRUE(core.SetMediaType(VideoFormat{PixelFormat::YUY2, 16, 10, 0}));
  EXPECT_EQ(core.frame_duration(), 333667);
  EXPECT_EQ(st.b().avg_time_per_frame, 0);
  ASSERT_TRUE(core.SetMediaType(VideoFormat{PixelFormat::YUY2, 16, 10, 400000}));
  EXPECT_EQ(core.frame_duration(), 400000);
  EXPECT_EQ(st.b().avg_time_per_frame, 400000);
  // Unknown again: the remembered one.
  ASSERT_TRUE(core.SetMediaType(VideoFormat{PixelFormat::YUY2, 16, 10, -1}));
  EXPECT_EQ(core.frame_duration(), 400000);
  // Implausibly short.
  ASSERT_TRUE(core.SetMediaType(VideoFormat{PixelFormat::YUY2, 16, 10, 50000}));
  EXPECT_EQ(core.frame_duration(), 333667);
}

// Before attach and Run, and after a clip, frames pass to the preview untouched; output_hold
// silences both outputs while detection goes on.
TEST(FilterState, PassThroughAndHold) {
  TestStation st(32, 16, PixelFormat::Y800);
  DetectCore core(testing::SteppingClock{});
  int previews = 0, captures = 0;
  bool preview_result = true;
  std::vector<uint8_t> seen;
  core.SetOutputs(CoreOutputs{[&](const OutFrame& f) {
                                ++previews;
                                seen.assign(f.data, f.data + f.bytes);
                                return preview_result;
                              },
                              [&](const OutFrame&) {
                                ++captures;
                                return true;
                              },
                              nullptr});
  EXPECT_EQ(core.AttachBlock(nullptr), 473);
  auto frame = testing::Encode(Picture(32, 16, 77), PixelFormat::Y800);
  const auto original = frame;
  EXPECT_TRUE(core.ReceiveVideo(frame.data(), frame.size(), SampleTimes{}));
  preview_result = false;  // while not running, the preview's result is the answer
  EXPECT_FALSE(core.ReceiveVideo(frame.data(), frame.size(), SampleTimes{}));
  preview_result = true;
  EXPECT_EQ(seen, original);
  EXPECT_EQ(previews, 2);
  EXPECT_FALSE(core.running());

  core.AttachBlock(&st.b());
  core.Run();  // no format yet: frames keep passing
  EXPECT_FALSE(core.running());
  core.SetMediaType(VideoFormat{PixelFormat::Y800, 32, 16, 333667});
  core.Run();
  EXPECT_TRUE(core.running());
  st.b().output_hold = 1;
  st.b().force_rec = 1;
  for (int k = 0; k < 10; ++k) {
    auto f = testing::Encode(Picture(32, 16, static_cast<uint8_t>(k)), PixelFormat::Y800);
    core.ReceiveVideo(f.data(), f.size(), SampleTimes{});
  }
  EXPECT_EQ(previews, 2);
  EXPECT_EQ(captures, 0);
  EXPECT_GT(st.b().rec_remain, 0);  // the clip goes on
  EXPECT_EQ(st.b().deliver_errors, 0);
}

// Stop keeps the newest ring frame as the snapshot when the host has none pending.
TEST(FilterState, StopKeepsASnapshot) {
  TestStation st(32, 16, PixelFormat::Y800);
  DetectCore core(testing::SteppingClock{});
  core.AttachBlock(&st.b());
  core.SetMediaType(VideoFormat{PixelFormat::Y800, 32, 16, 333667});
  core.Stop();  // nothing received yet: nothing to keep
  EXPECT_EQ(st.b().snap_valid, 0);
  core.Run();
  st.b().si_on = 0;
  for (int k = 1; k <= 3; ++k) {
    auto f = testing::Encode(Picture(32, 16, static_cast<uint8_t>(10 * k)), PixelFormat::Y800);
    core.ReceiveVideo(f.data(), f.size(), SampleTimes{});
  }
  core.Stop();
  EXPECT_EQ(st.b().snap_valid, 1);
  EXPECT_EQ(st.snapshot()[100], 30);
}

// The text line goes on the live image and on each delivered clip frame, never on the copy
// kept in the ring before delivery; masked pixels are painted on the live image only.
TEST(FilterState, OverlaysStayOffTheRing) {
  TestStation st(120, 40, PixelFormat::Y800, [](DetectionBlock& b) {
    b.sm_on = 1;
    b.so_on = 0;
    b.si_area = 1;
    b.fs_head = 2;
    b.fs_tail = 2;
  });
  DetectCore core(testing::SteppingClock{});
  std::vector<std::vector<uint8_t>> live, recorded;
  core.SetOutputs(CoreOutputs{[&](const OutFrame& f) {
                                live.emplace_back(f.data, f.data + f.bytes);
                                return true;
                              },
                              [&](const OutFrame& f) {
                                recorded.emplace_back(f.data, f.data + f.bytes);
                                return true;
                              },
                              nullptr});
  core.AttachBlock(&st.b());
  core.SetMediaType(VideoFormat{PixelFormat::Y800, 120, 40, 333667});
  core.Run();
  st.b().force_rec = 1;
  const auto sky = testing::Encode(Picture(120, 40, 40), PixelFormat::Y800);
  for (int k = 0; k < 6; ++k) {
    auto f = sky;
    core.ReceiveVideo(f.data(), f.size(), SampleTimes{});
  }
  ASSERT_EQ(live.size(), 6u);
  ASSERT_FALSE(recorded.empty());
  auto differs_in_rows = [&](std::span<const uint8_t> f, int first, int last) {
    for (int y = first; y <= last; ++y)
      for (int x = 0; x < 120; ++x)
        if (f[y * 120 + x] != 40) return true;
    return false;
  };
  // The text sits on the rows above the baseline (cy - si_y0 - 1 = 38, 24 rows of glyphs).
  EXPECT_TRUE(differs_in_rows(live.back(), 15, 38));
  EXPECT_TRUE(differs_in_rows(recorded.back(), 15, 38));
  EXPECT_FALSE(differs_in_rows(recorded.back(), 2, 14));
  // The border (a user-mask bit once star masking is on) painted grey on the live image only.
  EXPECT_EQ(live.back()[0], 128);
  EXPECT_EQ(recorded.back()[0], 40);
  // The current ring slot still holds the frame as it came.
  const int newest = 5 % st.b().ring_count;
  EXPECT_FALSE(differs_in_rows(st.frame(newest), 0, 39));
}

// Tracked objects are outlined on the live image (grey while moving) when the live view shows
// them; the ring copy stays clean.
TEST(FilterState, ObjectBoxesOnTheLiveImage) {
  for (int shown : {0, 1}) {
    SCOPED_TRACE(shown);
    TestStation st(64, 48, PixelFormat::Y800, [&](DetectionBlock& b) {
      b.so_on2 = 1;
      b.live_shown = shown;
      b.so_size = 5;
      b.fs_head = 1;
      b.si_on = 0;
      b.nt_on = 0;
    });
    DetectCore core(testing::SteppingClock{});
    std::vector<uint8_t> live;
    core.SetOutputs(CoreOutputs{[&](const OutFrame& f) {
                                  live.assign(f.data, f.data + f.bytes);
                                  return true;
                                },
                                nullptr, nullptr});
    core.AttachBlock(&st.b());
    core.SetMediaType(VideoFormat{PixelFormat::Y800, 64, 48, 333667});
    core.Run();
    Picture sky(64, 48, 20), blob(64, 48, 20);
    blob.Fill(30, 20, 3, 3, 200);  // centre (31, 21): box columns 26..36, rows 16..26
    for (const Picture& p : {sky, blob}) {
      auto f = testing::Encode(p, PixelFormat::Y800);
      core.ReceiveVideo(f.data(), f.size(), SampleTimes{});
    }
    const uint8_t edge = shown ? 128 : 20;
    for (auto [x, y] : {std::pair{26, 16}, {36, 16}, {26, 26}, {36, 26}, {31, 16}, {26, 21}}) {
      EXPECT_EQ(live[y * 64 + x], edge) << x << "," << y;
    }
    EXPECT_EQ(live[21 * 64 + 31], 200);  // inside the box the picture stays
    EXPECT_EQ(live[15 * 64 + 26], 20);
    EXPECT_EQ(st.frame(1)[16 * 64 + 26], 20);
  }
}

// Star marks (bits 3..7 only) take the paint value, user bits grey with si_area; the value goes
// to the brightness byte, or to the three colour bytes of RGB.
TEST(FilterState, MaskPainting) {
  const uint8_t mask[] = {0, 248, 1, 2, 249};
  struct Case {
    PixelFormat format;
    int paint;
    bool area;
    std::vector<int> expected;  // brightness after painting; the picture holds 50
  };
  const Case cases[] = {
      {PixelFormat::Y800, 1, false, {50, 1, 50, 50, 50}},
      {PixelFormat::Y800, 254, true, {50, 254, 128, 128, 128}},
      {PixelFormat::YUY2, 0, true, {50, 50, 128, 128, 128}},
      {PixelFormat::UYVY, 254, false, {50, 254, 50, 50, 50}},
      {PixelFormat::RGB24, 1, true, {50, 1, 128, 128, 128}},
      {PixelFormat::RGB32, 254, true, {50, 254, 128, 128, 128}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(Info(c.format).name) + " paint " + std::to_string(c.paint));
    auto frame = testing::Encode(Picture(5, 1, 50), c.format);
    const auto before = frame;
    PaintMaskFn paint = PaintMaskFor(Info(c.format));
    ASSERT_NE(paint, nullptr);
    paint(frame.data(), mask, 5, c.paint, c.area);
    const int step = c.format == PixelFormat::YUY2 || c.format == PixelFormat::UYVY ? 2
                     : c.format == PixelFormat::RGB24                               ? 3
                     : c.format == PixelFormat::RGB32                               ? 4
                                                                                    : 1;
    const int offset = c.format == PixelFormat::UYVY ? 1 : 0;
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(frame[step * i + offset], c.expected[i]) << i;
      if (step >= 3) {
        EXPECT_EQ(frame[step * i + 1], c.expected[i]) << i;
        EXPECT_EQ(frame[step * i + 2], c.expected[i]) << i;
      }
    }
    // Colour bytes (and the fourth RGB32 byte) are never touched.
    if (step == 2) {
      for (int i = 0; i < 5; ++i) EXPECT_EQ(frame[2 * i + 1 - offset], before[2 * i + 1 - offset]);
    }
    if (step == 4) {
      for (int i = 0; i < 5; ++i) EXPECT_EQ(frame[4 * i + 3], before[4 * i + 3]);
    }
  }
}

}  // namespace
}  // namespace orvanta::detect
