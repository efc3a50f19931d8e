// The capture engine's plain rules: buffer sizing, limits and owner, the action command, the FTP
// spacing, the frame clock, the error log text and the live page's state machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "capture/block_buffers.h"
#include "capture/clip_end_rules.h"
#include "capture/device_catalogue.h"
#include "capture/graph_error_log.h"
#include "capture/host_sizing.h"
#include "capture/live_commands.h"
#include "capture/live_controller.h"
#include "capture/media/forced_format.h"
#include "capture/source_watch.h"
#include "detectfilter/pixel_format.h"

namespace orvanta::capture {
namespace {

DetectionBlock SizedBlock(int cx, int cy, PixelFormat format) {
  DetectionBlock b{};
  b.cx = cx;
  b.cy = cy;
  b.fs_head = 20;
  b.fs_diff = 1;
  b.dmin = 2;
  b.fps = 30;
  b.host_subtype = Info(format).guid;
  return b;
}

TEST(HostSizing, RingLimitIsRefusedAtFiveHundred) {
  DetectionBlock b = SizedBlock(640, 480, PixelFormat::YUY2);
  b.fs_head = 400;
  b.fs_diff = 80;
  b.dmin = 4;
  HostSizing s = SizeHostBuffers(b, false, 2);
  EXPECT_EQ(s.ring_count, 499);
  EXPECT_TRUE(s.refusal.empty());
  b.dmin = 5;
  s = SizeHostBuffers(b, false, 2);
  EXPECT_EQ(s.refusal, "UM013: Insufficient memory , too big frame space 500");
}

TEST(HostSizing, TwoGigabyteRingIsRefused) {
  DetectionBlock b = SizedBlock(3840, 2560, PixelFormat::RGB32);  // 39 MB a frame
  b.fs_head = 60;
  EXPECT_EQ(SizeHostBuffers(b, false, 2).refusal,
            "UM313: Memory space limit. Please reduce Head or Frame size Xi Yi");
}

// A block out of range (set by a page or a tool, not by a file) is refused with a message,
// counted without overflow, before anything is allocated.
TEST(HostSizing, BlocksOutOfRangeAreRefusedBeforeAllocating) {
  struct Case {
    int cx, cy, fs_head, fs_diff, dmin;
    const char* refusal;
  } cases[] = {
      {-2, 1440, 20, 1, 2,
       "UE0108: the frame size -2 x 1440 is not taken: width and height must each be 16 to 4096 "
       "pixels"},
      {2560, 935059926, 20, 1, 2,
       "UE0108: the frame size 2560 x 935059926 is not taken: width and height must each be 16 "
       "to 4096 pixels"},
      {40000, 40000, 20, 1, 2,
       "UE0108: the frame size 40000 x 40000 is not taken: width and height must each be 16 to "
       "4096 pixels"},
      {640, 480, 2147483647, 1, 2, "UM013: Insufficient memory , too big frame space 2147483665"},
      {640, 480, 20, 1, 2147483647, "UM013: Insufficient memory , too big frame space 2147483683"},
      {640, 480, -5, 1, 2,
       "UM013: Head -5, Diff 1 and Min(frm) 2 cannot make a frame space: Head must be 0 or more, "
       "Diff and Min(frm) 1 or more"},
      {640, 480, 20, -1, 2,
       "UM013: Head 20, Diff -1 and Min(frm) 2 cannot make a frame space: Head must be 0 or more, "
       "Diff and Min(frm) 1 or more"},
      {4096, 4096, 400, 1, 2, "UM313: Memory space limit. Please reduce Head or Frame size Xi Yi"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.refusal);
    DetectionBlock b = SizedBlock(c.cx, c.cy, PixelFormat::YUY2);
    b.fs_head = c.fs_head;
    b.fs_diff = c.fs_diff;
    b.dmin = c.dmin;
    const HostSizing s = SizeHostBuffers(b, true, 2);
    EXPECT_EQ(s.refusal, c.refusal);
    EXPECT_GE(s.ring_count, 0);
    EXPECT_LE(s.ring_count, kRingMax);
  }
}

TEST(HostSizing, FrameBytesBandsAudioAndWarmup) {
  struct Case {
    int cx, cy;
    PixelFormat format;
    double fps;
    bool audio;
    int sm_on;
    int64_t frame_bytes;
    int bands;
    int chunk_bytes, chunk_count, warmup;
    double capped_fps;
  } cases[] = {
      {1920, 1088, PixelFormat::YUY2, 30, false, 0, 1920 * 1088 * 2, 16, 0, 0, 30, 30},
      {1920, 1080, PixelFormat::NV12, 25, true, 1, 1920 * 1080 * 3 / 2, 8, 8192, 76, 100, 25},
      {1920, 1090, PixelFormat::Y800, 0, true, 0, 1920 * 1090, 8, 98304, 38, 30, 0},
      {385, 289, PixelFormat::RGB24, 240, false, 0, 111268 * 3, 8, 0, 0, 240, 120},
      {2560, 1440, PixelFormat::RGB32, 30, false, 0, 2560 * 1440 * 4, 16, 0, 0, 30, 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.cx << "x" << c.cy << " fps " << c.fps);
    DetectionBlock b = SizedBlock(c.cx, c.cy, c.format);
    b.fps = c.fps;
    b.sm_on = c.sm_on;
    HostSizing s = SizeHostBuffers(b, c.audio, 2);
    EXPECT_EQ(s.frame_bytes, c.frame_bytes);
    EXPECT_EQ(s.bands, c.bands);
    EXPECT_EQ(s.audio_chunk_bytes, c.chunk_bytes);
    EXPECT_EQ(s.audio_chunk_count, c.chunk_count);
    EXPECT_EQ(s.warmup, c.warmup);
    EXPECT_EQ(s.fps, c.capped_fps);
  }
}

TEST(HostSizing, AveragingWeightsFollowTheSpeed) {
  const int32_t keep[] = {511, 510, 509, 507, 503, 495};
  const int32_t take[] = {16384, 32768, 49152, 81920, 147456, 278528};
  for (int speed = 1; speed <= 6; ++speed) {
    int32_t k = 0, t = 0;
    ASSERT_TRUE(AveragingWeights(speed, &k, &t));
    EXPECT_EQ(k, keep[speed - 1]);
    EXPECT_EQ(t, take[speed - 1]);
  }
  int32_t k = 7, t = 7;
  EXPECT_FALSE(AveragingWeights(0, &k, &t));
  EXPECT_FALSE(AveragingWeights(7, &k, &t));
  EXPECT_EQ(k, 7);
}

// The ring, both masks with six margin rows each side, the maps and the snapshot, zeroed and
// pointed to by the block; no audio ring without audio chunks; all cleared on release.
TEST(BlockBuffers, PointTheBlockAtZeroedBuffers) {
  DetectionBlock b = SizedBlock(10, 3, PixelFormat::YUY2);
  b.pixels = 32;
  b.frame_bytes = 64;
  b.ring_count = 3;
  BlockBuffers buffers;
  ASSERT_FALSE(buffers.Allocate(b));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(b.frames[i], buffers.frame(i).data());
  EXPECT_EQ(b.frames[3], nullptr);
  EXPECT_EQ(b.audio_buffer, nullptr);
  EXPECT_EQ(buffers.mask().size(), 32u + 2 * 6 * 10);
  EXPECT_EQ(b.mask, b.mask_base + 6 * 10);
  EXPECT_EQ(b.mask2, b.mask2_base + 6 * 10);
  EXPECT_EQ(buffers.avr_map().size(), 32u);
  EXPECT_EQ(buffers.snapshot().size(), 64u);
  for (std::span<uint8_t> buffer : {buffers.frame(2), buffers.mask2(), buffers.hit_map(),
                                    buffers.avr_map2(), buffers.snapshot(), buffers.obj_map()}) {
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t v) { return v == 0; }));
  }
  buffers.Release(b);
  EXPECT_EQ(b.frames[0], nullptr);
  EXPECT_EQ(b.mask, nullptr);
  EXPECT_EQ(b.mask2_base, nullptr);
  EXPECT_EQ(b.obj_map, nullptr);
}

// A buffer that cannot be had is told with the host's message, never thrown; what was had
// before it goes with the release.
TEST(BlockBuffers, ShortageIsToldNotThrown) {
  DetectionBlock b = SizedBlock(10, 3, PixelFormat::YUY2);
  b.pixels = 32;
  b.frame_bytes = 64;
  b.ring_count = 2;
  b.audio_chunk_bytes = INT32_MAX;  // 2^62 bytes in all
  b.audio_chunk_count = INT32_MAX;
  BlockBuffers buffers;
  const std::optional<BufferShortage> shortage = buffers.Allocate(b);
  ASSERT_TRUE(shortage);
  EXPECT_EQ(shortage->buffer, BlockBuffer::Audio);
  EXPECT_EQ(ShortageMessage(*shortage),
            "UM014: Insufficient memory available for Audio Shift Buffer");
  EXPECT_NE(b.frames[1], nullptr);
  EXPECT_EQ(b.mask_base, nullptr);
  buffers.Release(b);
  EXPECT_EQ(b.frames[1], nullptr);
  EXPECT_EQ(ShortageMessage({BlockBuffer::Frame, 4, ENOMEM, 1000}),
            "UM013: Insufficient memory available for Shift Buffer 4\n eno=12 : Cannot allocate "
            "memory\n request = 1000");
}

TEST(ActionCommand, ClipPathReplacesTheMarkerUpToItsFirstDot) {
  ActionCommand c = ParseActionCommand("Action.sh %X", "/d/c/M20240101_010203_JPABC_C1.avi");
  EXPECT_EQ(c.program, "Action.sh");
  EXPECT_EQ(c.arguments, std::vector<std::string>{"/d/c/M20240101_010203_JPABC_C1"});
  // Spaces in the path stay inside one argument; a lone '%' is copied.
  c = ParseActionCommand("notify   -t 5% %X.done", "/my clips/M1.avi");
  EXPECT_EQ(c.program, "notify");
  EXPECT_EQ(c.arguments, (std::vector<std::string>{"-t", "5%", "/my clips/M1.done"}));
  c = ParseActionCommand("run-alone", "/x/M1.avi");
  EXPECT_TRUE(c.arguments.empty());
}

TEST(FrameClock, OffsetByClockKind) {
  FrameClockSettings s;
  s.tz_bias = -32400;  // nine hours east
  EXPECT_EQ(FrameClockOffset(s, 1'700'000'000), -32400);
  s.si_utc = true;
  EXPECT_EQ(FrameClockOffset(s, 1'700'000'000), 0);
  // A clock set by hand reads the entered local time at "now".
  s.si_cdate = true;
  s.si_yyyymmdd = 20111231;
  s.si_hhmmss = 235959;
  const int64_t now = 1'700'000'000;
  const int64_t offset = FrameClockOffset(s, now);
  std::tm t{};
  t.tm_year = 111;
  t.tm_mon = 11;
  t.tm_mday = 31;
  t.tm_hour = 23;
  t.tm_min = 59;
  t.tm_sec = 59;
  t.tm_isdst = 0;
  EXPECT_EQ(now - offset, std::mktime(&t) - s.tz_bias);
}

TEST(GraphErrorLog, FormatCarriesCodeResultSettingsAndFormatError) {
  GraphErrorReport r;
  r.code = 351;
  r.result = media::kTypeNotAccepted;
  r.cx = 720;
  r.cy = 480;
  r.fps = 29.97;
  r.video_device = "1:Cam";
  r.audio_device = "--";
  r.codec = "AVI(uncompressed)";
  r.fourcc = "";
  r.format_error = "Xi 720 x Yi 480 not match 640 x 480";
  EXPECT_EQ(FormatGraphErrorLog(r),
            "error at 351 msg This media type is not accepted  hr 0x8004022a\n cx 720 cy 480 fps "
            "29.970000 \n[video] 1:Cam [audio] -- [codec] AVI(uncompressed) [format] \n"
            "error str:Xi 720 x Yi 480 not match 640 x 480\n");
  EXPECT_EQ(ResultMessage(0x1234), "Unknown Error: 0x1234");
  EXPECT_EQ(ResultMessage(5), "Unknown Error: 0x 5");
}

TEST(Catalogue, FormatsDurationsAndConnectors) {
  EXPECT_EQ(FrameDurationFor(25), 400000);
  EXPECT_EQ(FrameDurationFor(0), 500000);
  auto r = media::ParseForcedFormat("yuy2R");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->format, PixelFormat::YUY2);
  EXPECT_EQ(r->red_mode, 1);
  EXPECT_EQ(media::ParseForcedFormat("YUY2")->red_mode, 0);
  EXPECT_TRUE(media::ParseForcedFormat("auto")->automatic);
  EXPECT_FALSE(media::ParseForcedFormat("HEVC"));
  SourceSubtypeChoice auto_choice = ChooseSourceSubtype("");
  EXPECT_TRUE(SameGuid(auto_choice.host_subtype, Info(PixelFormat::YUY2).guid));
  EXPECT_FALSE(ChooseSourceSubtype("HEVC").changed);
  EXPECT_STREQ(ConnectorName(3), "S-Video");
  EXPECT_STREQ(ConnectorName(4098), "Microphone");
  EXPECT_STREQ(ConnectorName(20), "Unknown");
  EXPECT_FALSE(IsVideoConnector(20));
}

struct PageProbe {
  std::vector<int> posted;
  int refresh_ms = -1;
  int holdoff = 0;
  int ftp_cleared = 0;
};

LivePageHooks Hooks(PageProbe& p) {
  LivePageHooks h;
  h.post = [&p](int c) { p.posted.push_back(c); };
  h.start_refresh = [&p](int ms) { p.refresh_ms = ms; };
  h.set_schedule_holdoff = [&p](int n) { p.holdoff = n; };
  h.clear_ftp_failure = [&p] { ++p.ftp_cleared; };
  return h;
}

TEST(LiveController, ActionsPostCommandsAndMoveTheState) {
  DetectionBlock b{};
  b.fps = 30;
  PageProbe p;
  LiveController page(b, Hooks(p));
  page.Preview();
  EXPECT_EQ(page.live_state(), kPreviewing);
  EXPECT_EQ(b.warmup, 1);
  EXPECT_EQ(p.refresh_ms, 120);
  EXPECT_FALSE(page.buttons().preview);
  // Detect while previewing only arms detection; the graph is not started again.
  page.Detect();
  EXPECT_EQ(page.live_state(), kDetecting);
  EXPECT_EQ(p.posted, (std::vector<int>{kStartGraph, kDetectOn}));
  page.Detect();
  EXPECT_EQ(p.posted.size(), 2u);
  // Stop during a forced recording ends the recording first.
  page.ToggleRec();
  EXPECT_EQ(page.rec_caption(), "RecOff");
  b.rec_remain = 9;
  page.Stop();
  EXPECT_EQ(p.posted, (std::vector<int>{kStartGraph, kDetectOn, kForceRecOn, kForceRecOff,
                                        kDetectOff, kStopGraph}));
  EXPECT_EQ(page.rec_caption(), "REC");
  EXPECT_FALSE(page.rec_on());
  EXPECT_EQ(page.live_state(), kIdle);
  EXPECT_EQ(b.rec_remain, 0);
  EXPECT_EQ(p.holdoff, 65);
  EXPECT_FALSE(page.buttons().stop);
  EXPECT_TRUE(page.buttons().detect);
}

TEST(LiveController, DetectFromIdleStartsTheGraphThenArms) {
  DetectionBlock b{};
  PageProbe p;
  LiveController page(b, Hooks(p));
  page.set_status_suffix("-FTP:err");
  page.Detect();
  EXPECT_EQ(p.posted, (std::vector<int>{kStartGraph, kDetectOn}));
  EXPECT_EQ(p.refresh_ms, 1000);  // no frame rate known
  EXPECT_EQ(page.status_suffix(), "");
  EXPECT_EQ(p.ftp_cleared, 2);  // activation and arming both let uploads resume
  // The timer pulse keeps timer_rec; the Rec button clears it.
  b.timer_rec = 1;
  page.ToggleRec(true);
  EXPECT_EQ(b.timer_rec, 1);
  page.ToggleRec();
  EXPECT_EQ(b.timer_rec, 0);
  EXPECT_EQ(page.rec_caption(), "Rec");
}

// A camera's night: it delivers, drops (silence, then a failing graph while it is retried),
// is retried with a doubling pause, and comes back; each drop is reported once.
TEST(SourceWatch, DropNoticedRetriedWithBackOffAndResumed) {
  using Step = SourceWatch::Step;
  SourceWatch watch({.silence_ms = 5000, .first_retry_ms = 2000, .max_retry_ms = 6000});
  struct Beat {
    int64_t ms;
    int64_t frames;  // -1: the graph failed at this time
    Step step;
  } night[] = {
      {0, 0, Step::kNone},             // not delivering yet: not armed, never retried
      {9000, 0, Step::kNone},          //
      {9500, 1, Step::kNone},          // first frame: armed
      {14000, 100, Step::kNone},       //
      {18999, 100, Step::kNone},       // 4999 ms of silence
      {19000, 100, Step::kLost},       // 5 s without a frame
      {20000, 100, Step::kNone},       // pause of 2 s
      {21000, 100, Step::kRetry},      //
      {22000, -1, Step::kStopAgain},   // the new start fails: pause of 4 s
      {25999, 100, Step::kNone},       //
      {26000, 100, Step::kRetry},      //
      {31000, 100, Step::kStopAgain},  // started, but no picture for 5 s: pause of 6 s (the most)
      {37000, 100, Step::kRetry},      //
      {42000, 100, Step::kStopAgain},  // pause stays at 6 s
      {48000, 100, Step::kRetry},      //
      {48500, 130, Step::kBack},       // pictures again
      {52000, 200, Step::kNone},       //
      {53000, -1, Step::kLost},        // a graph error is a new drop, reported again
      {55000, 200, Step::kRetry},      // with the first pause again
      {55100, 201, Step::kBack},
  };
  for (const Beat& b : night) {
    SCOPED_TRACE(b.ms);
    const Step step = b.frames < 0 ? watch.Failed(b.ms) : watch.Tick(b.ms, b.frames);
    EXPECT_EQ(step, b.step);
  }
  EXPECT_EQ(watch.drops(), 2);
  // A source that fails before its first frame is not a drop.
  SourceWatch unarmed;
  EXPECT_EQ(unarmed.Failed(0), Step::kNone);
  EXPECT_FALSE(unarmed.armed());
}

}  // namespace
}  // namespace orvanta::capture
