#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/text_utf.h"
#include "app/bitmap_fonts.h"
#include "detectfilter/core/superimposed_text.h"
#include "detectfilter/shared_field.h"
#include "tests/detectfilter_gst/element_harness.h"
#include "tests/detectfilter_gst/host_block.h"

namespace orvanta::detect::testing {
namespace {

constexpr int kW = 64, kH = 48;
const std::string kGray = "video/x-raw,format=GRAY8,width=64,height=48,framerate=30/1";

void SetFormatText(DetectionBlock* b, const char* text) {
  size_t i = 0;
  for (; text[i]; ++i) b->si_format[i] = static_cast<char16_t>(text[i]);
  b->si_format[i] = 0;
}

void UseSmallFont(DetectionBlock* b) {
  FontChoice f = FontForSize(0);
  b->font = f.table;
  b->si_fontx = f.fontx;
  b->si_fonty = f.fonty;
  b->font_scale = f.scale;
}

// Dark frame number `k`: its number in the top-left pixel (too small a change to count as a
// hit), and a bright 3 x 3 dot at a place of its own when `dot` is set.
std::vector<uint8_t> Frame(int k, bool dot) {
  std::vector<uint8_t> f(kW * kH, 10);
  f[0] = static_cast<uint8_t>(20 + k);
  if (dot) {
    const int x0 = 4 + 6 * (k % 9), y0 = 10;
    for (int y = y0; y < y0 + 3; ++y)
      for (int x = x0; x < x0 + 3; ++x) f[y * kW + x] = 200;
  }
  return f;
}

TEST(DetectElement, PadsSignalsAndMetadata) {
  ElementHarness h(kGray);
  std::vector<std::string> names;
  for (GList* l = GST_ELEMENT(h.filter())->pads; l; l = l->next)
    names.push_back(GST_PAD_NAME(GST_PAD(l->data)));
  EXPECT_EQ(names, (std::vector<std::string>{"Input", "Output1", "Output2", "Input Audio",
                                             "Audio Capture"}));
  int version = 0, reserved = -1;
  EXPECT_EQ(h.Attach(nullptr, &version, &reserved), 0);
  EXPECT_EQ(version, 473);
  EXPECT_EQ(reserved, 0);
  gint nop = -1;
  g_signal_emit_by_name(h.filter(), "nop", &nop);
  EXPECT_EQ(nop, 0);
  GstElementFactory* factory = gst_element_get_factory(h.filter());
  EXPECT_STREQ(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME),
               "OrvantaIP Motion Detector");
  EXPECT_STREQ(gst_element_factory_get_metadata(factory, "class-id"), kZavipfClassId);
}

// Before the block is attached, and attached but never run, frames reach the preview as they
// came and nothing reaches the capture output.
TEST(DetectElement, PassesFramesUntouchedUntilRun) {
  ElementHarness h(kGray);
  ASSERT_TRUE(h.Play());
  std::vector<std::vector<uint8_t>> sent;
  for (int k = 0; k < 6; ++k) {
    sent.push_back(Frame(k, k % 2 == 1));
    h.PushVideo(sent.back());
  }
  h.EndVideo();
  ASSERT_TRUE(h.WaitEos());
  auto preview = h.preview();
  ASSERT_EQ(preview.size(), sent.size());
  for (size_t i = 0; i < sent.size(); ++i) EXPECT_EQ(preview[i].data, sent[i]) << i;
  EXPECT_TRUE(h.capture().empty());
  EXPECT_TRUE(h.errors().empty());
}

TEST(DetectElement, FrameSizeMustMatchTheBlock) {
  struct Case {
    int width;
    bool accepted;
  } cases[] = {{640, false}, {720, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    BlockShape shape;
    shape.cx = 720;
    shape.cy = 480;
    HostBlock block(shape);
    ElementHarness h("video/x-raw,format=GRAY8,width=" + std::to_string(c.width) +
                     ",height=480,framerate=30/1");
    h.Attach(block.get());
    const bool playing = h.Play();  // the refusal may come while the source starts
    EXPECT_TRUE(playing || !c.accepted);
    h.PushVideo(std::vector<uint8_t>(static_cast<size_t>(c.width) * 480, 16));
    if (c.accepted) {
      ASSERT_TRUE(h.WaitFor([&] { return h.preview().size() == 1; }));
      EXPECT_EQ(FieldUtf8(block->fourcc), "Y800");
      EXPECT_EQ(FieldUtf8(block->format_error), "");
      EXPECT_TRUE(h.errors().empty());
    } else {
      ASSERT_TRUE(h.WaitFor([&] { return !h.errors().empty(); }));
      EXPECT_EQ(h.errors()[0], "Xi 720 x Yi 480 not match 640 x 480");
      EXPECT_EQ(FieldUtf8(block->format_error), "Xi 720 x Yi 480 not match 640 x 480");
      EXPECT_TRUE(h.preview().empty());
    }
  }
}

struct ClipRun {
  std::vector<Received> capture;
  int preview_count;
  int clip_ends;
};

// Frames 10..15 carry a moving dot: with dmin 2, fs_head 3 and fs_tail 4 the clip triggers on
// frame 11 and delivers frames 7..19 (fs_head before the first detecting frame, fs_tail after
// the last). Detection goes on without waiting for the host: frames 30..35 make a second
// clip, 27..39, whose frames wait on the capture output until the host, having heard
// ClipEnd, runs the filter again (as it does once a new recording branch is in place).
TEST(DetectElement, MovingDotGivesOneClipPerRunWithTextBurntIn) {
  HostBlock block{BlockShape{}};
  block->host_thread_id = 1;
  block->si_on = 1;
  UseSmallFont(block.get());
  SetFormatText(block.get(), "%F");
  ElementHarness h(kGray);
  ASSERT_EQ(h.Attach(block.get()), 0);
  ASSERT_TRUE(h.Play());
  std::vector<std::vector<uint8_t>> sent;
  for (int k = 0; k < 45; ++k) {
    sent.push_back(Frame(k, (k >= 10 && k <= 15) || (k >= 30 && k <= 35)));
    h.PushVideo(sent.back());
  }
  // The first clip ended with frame 24; the second clip's frames (up to the capture
  // output's queue) have been examined since.
  ASSERT_TRUE(h.WaitFor([&] { return h.clip_ends() == 1 && h.preview().size() >= 36; }));
  EXPECT_EQ(h.capture().size(), 13u);
  ASSERT_TRUE(h.Rerun());
  h.EndVideo();
  // ClipEnd follows the clip's last frame downstream; what comes after it on the clip
  // outputs (here the end of stream) waits until the host has run the filter again.
  ASSERT_TRUE(h.WaitFor([&] { return h.clip_ends() == 2; }));
  ASSERT_TRUE(h.Rerun());
  ASSERT_TRUE(h.WaitEos());
  EXPECT_EQ(h.preview().size(), sent.size());
  auto capture = h.capture();
  ASSERT_EQ(capture.size(), 26u);
  for (int j = 0; j < 26; ++j) {
    SCOPED_TRACE(j);
    const int source = j < 13 ? 7 + j : 27 + (j - 13);
    const int number = j < 13 ? j + 1 : j - 12;
    std::vector<uint8_t> expected = sent[source];
    char line[16];
    std::snprintf(line, sizeof line, " %05d", number);
    RenderTextLine(*block.get(), Info(PixelFormat::Y800), line, expected.data());
    EXPECT_EQ(capture[j].data, expected);
  }
  // The clip clock starts at three frame durations after each run.
  EXPECT_EQ(capture[0].pts, 3 * 333333 * 100ull);
  EXPECT_EQ(capture[13].pts, 3 * 333333 * 100ull);
  EXPECT_EQ(LoadShared(block->clip_no), 2);
  EXPECT_EQ(LoadShared(block->deliver_errors), 0);
}

TEST(DetectElement, OutputHoldDropsBothOutputsWhileDetectionGoesOn) {
  HostBlock block{BlockShape{}};
  block->host_thread_id = 1;
  block->output_hold = 1;
  ElementHarness h(kGray);
  h.Attach(block.get());
  ASSERT_TRUE(h.Play());
  for (int k = 0; k < 30; ++k) h.PushVideo(Frame(k, k >= 10 && k <= 15));
  h.EndVideo();
  EXPECT_TRUE(h.WaitFor([&] { return h.clip_ends() == 1; }));
  ASSERT_TRUE(h.Rerun());
  ASSERT_TRUE(h.WaitEos());
  EXPECT_TRUE(h.preview().empty());
  EXPECT_TRUE(h.capture().empty());
  EXPECT_EQ(LoadShared(block->clip_frames), 13);
}

// Odd sizes leave GStreamer's rows padded; the core sees packed frames and the outputs get
// the caps' layout back: every picture byte as it came, the text on the bottom rows.
TEST(DetectElement, EveryFormatAtAnOddSizeKeepsItsPicture) {
  const char* const formats[] = {"I420", "YV12", "NV12", "YUY2", "UYVY", "GRAY8", "BGR", "BGRx"};
  const int w = 385, h = 289;
  for (const char* format : formats) {
    SCOPED_TRACE(format);
    BlockShape shape;
    shape.cx = w;
    shape.cy = h;
    shape.format = PixelFormatOfRawCaps(format);
    HostBlock block(shape);
    block->force_rec = 1;  // a manual recording: every frame goes into the clip
    block->si_on = 1;
    UseSmallFont(block.get());
    SetFormatText(block.get(), "1");
    const std::string caps =
        std::string("video/x-raw,format=") + format + ",width=385,height=289,framerate=30/1";
    ElementHarness harness(caps);
    harness.Attach(block.get());
    ASSERT_TRUE(harness.Play());
    GstVideoInfo info;
    GstCaps* gcaps = gst_caps_from_string(caps.c_str());
    ASSERT_TRUE(gst_video_info_from_caps(&info, gcaps));
    gst_caps_unref(gcaps);
    std::vector<std::vector<uint8_t>> sent;
    for (int k = 0; k < 12; ++k) {
      std::vector<uint8_t> f(info.size);
      uint32_t seed = 12345u + k * 977u;
      for (auto& byte : f) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(60 + (seed >> 24) % 100);
      }
      sent.push_back(f);
      harness.PushVideo(f);
    }
    harness.EndVideo();
    ASSERT_TRUE(harness.WaitEos());

    // Bytes the picture holds: rows of w samples, chroma of (w / 2) x (h / 2) blocks.
    const GstVideoFormatInfo* finfo = info.finfo;
    auto picture_equal = [&](const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                             bool skip_text_rows) {
      for (guint p = 0; p < GST_VIDEO_INFO_N_PLANES(&info); ++p) {
        const size_t stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, p);
        const size_t off = GST_VIDEO_INFO_PLANE_OFFSET(&info, p);
        size_t row_bytes = static_cast<size_t>(w) * GST_VIDEO_FORMAT_INFO_PSTRIDE(finfo, 0);
        int rows = h;
        if (p > 0) {
          row_bytes = GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_NV12 ? 2 * (w / 2) : w / 2;
          rows = h / 2;
        }
        for (int r = 0; r < rows; ++r) {
          if (p == 0 && skip_text_rows && r >= h - 9) continue;
          if (std::memcmp(a.data() + off + r * stride, b.data() + off + r * stride, row_bytes))
            return false;
        }
      }
      return true;
    };
    // The digit 1's body pixel at column 2, one row above the baseline, in the caps layout.
    const size_t luma_stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    const int pstride = GST_VIDEO_FORMAT_INFO_PSTRIDE(finfo, 0);
    const int luma_offset = std::string(format) == "UYVY" ? 1 : 0;
    const size_t body = (h - 2) * luma_stride + 2 * pstride + luma_offset;

    auto preview = harness.preview();
    ASSERT_EQ(preview.size(), sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
      EXPECT_TRUE(picture_equal(preview[i].data, sent[i], true)) << "preview " << i;
      EXPECT_EQ(preview[i].data[body], 255) << "preview " << i;
    }
    auto capture = harness.capture();
    ASSERT_FALSE(capture.empty());
    for (size_t j = 0; j < capture.size(); ++j) {
      ASSERT_EQ(capture[j].data.size(), info.size);
      bool found = false;
      for (const auto& s : sent) found = found || picture_equal(capture[j].data, s, true);
      EXPECT_TRUE(found) << "capture " << j;
      EXPECT_EQ(capture[j].data[body], 255) << "capture " << j;
    }
  }
}

// Audio buffer number n carries n + 1000 as its loudest sample.
std::vector<uint8_t> AudioBuffer(int n, size_t bytes) {
  std::vector<uint8_t> data(bytes, 0);
  const int16_t v = static_cast<int16_t>(1000 + n);
  std::memcpy(data.data(), &v, 2);
  return data;
}

// 16-bit stereo at 48 kHz in 8192-byte buffers, 30 frames per second, fs_head 20, dmin 2: the
// clip's audio runs 16 buffers behind the newest, and only while the clip is recorded.
TEST(DetectElement, AudioIsDelayedAndDeliveredOnlyDuringTheClip) {
  BlockShape shape;
  shape.fs_head = 20;
  shape.dmin = 2;
  shape.audio = true;
  HostBlock block(shape);
  ASSERT_EQ(block->audio_chunk_bytes, 8192);
  block->host_thread_id = 1;
  ElementHarness h(kGray, "audio/x-raw,format=S16LE,layout=interleaved,rate=48000,channels=2");
  h.Attach(block.get());
  ASSERT_TRUE(h.Play());
  auto push_audio_until = [&](int from, int to) {
    for (int n = from; n < to; ++n) h.PushAudio(AudioBuffer(n, 8192));
    ASSERT_TRUE(h.WaitFor([&] { return LoadShared(block->apeak) == 1000 + to - 1; }));
  };
  // The filter runs once the video format is known; that run restarts the audio ring.
  int k = 0;
  h.PushVideo(Frame(k++, false));
  ASSERT_TRUE(h.WaitFor([&] { return h.preview().size() == 1; }));
  push_audio_until(0, 20);
  StoreShared(block->force_rec, 1);  // a manual recording
  while (LoadShared(block->rec_remain) == 0 && k < 10) {
    h.PushVideo(Frame(k++, false));
    h.WaitFor([&] { return static_cast<int>(h.preview().size()) == k; });
  }
  ASSERT_GT(LoadShared(block->rec_remain), 0);
  push_audio_until(20, 30);
  StoreShared(block->force_rec, 0);
  for (int i = 0; i < 40; ++i) h.PushVideo(Frame(k++, false));
  ASSERT_TRUE(h.WaitFor([&] { return h.clip_ends() == 1; }));
  ASSERT_TRUE(h.Rerun());
  push_audio_until(30, 35);
  h.EndVideo();
  h.EndAudio();
  ASSERT_TRUE(h.WaitEos());

  auto audio = h.audio();
  ASSERT_EQ(audio.size(), 10u);
  for (size_t i = 0; i < audio.size(); ++i) {
    int16_t first;
    std::memcpy(&first, audio[i].data.data(), 2);
    EXPECT_EQ(first, 1000 + 4 + static_cast<int>(i));
    EXPECT_EQ(audio[i].data.size(), 8192u);
  }
  EXPECT_EQ(audio[0].pts, 3 * 333333 * 100ull);
}

// The level is measured for 16-bit audio only; it triggers when above alev with detection
// and audio triggering on; a DV-type source refuses anything but 48000 Hz.
TEST(DetectElement, AudioLevelFormatsAndRate) {
  struct Case {
    const char* caps;
    int audio_48k;
    int apeak;
    int force_rec;
    bool refused;
  } cases[] = {
      {"format=S16LE,rate=48000,channels=2", 0, 20000, 1, false},
      {"format=U8,rate=48000,channels=2", 0, 0, 0, false},
      {"format=S16LE,rate=44100,channels=2", 1, 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caps);
    BlockShape shape;
    shape.audio = true;
    HostBlock block(shape);
    block->atrigger = 1;
    block->alev = 10;
    block->audio_48k = c.audio_48k;
    ElementHarness h(kGray, std::string("audio/x-raw,layout=interleaved,") + c.caps);
    h.Attach(block.get());
    ASSERT_TRUE(h.Play());
    h.PushVideo(Frame(0, false));
    h.EndVideo();
    ASSERT_TRUE(h.WaitFor([&] { return h.preview().size() == 1; }));
    std::vector<uint8_t> loud(4096, 0);
    const int16_t v = 20000;
    for (size_t i = 0; i + 1 < loud.size(); i += 2) std::memcpy(&loud[i], &v, 2);
    h.PushAudio(loud);
    if (c.refused) {
      ASSERT_TRUE(h.WaitFor([&] { return !h.errors().empty(); }));
    } else {
      h.EndAudio();
      ASSERT_TRUE(h.WaitEos());
    }
    EXPECT_EQ(LoadShared(block->apeak), c.apeak);
    EXPECT_EQ(LoadShared(block->force_rec), c.force_rec);
  }
}

}  // namespace
}  // namespace orvanta::detect::testing
