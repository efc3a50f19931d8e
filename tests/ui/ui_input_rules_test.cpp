// The input page's and the source dialog's rules without widgets.
#include <gtest/gtest.h>

#include <memory>

#include "app/app_params.h"
#include "app/text_utf.h"
#include "capture/host_sizing.h"
#include "detectfilter/pixel_format.h"
#include "ui/input_values.h"
#include "ui/source_choice.h"

namespace orvanta::ui {
namespace {

TEST(InputValues, TypedNumbersAreSteppedTowardZeroThenHeldToTheRange) {
  struct Case {
    const char* text;
    IntRange range;
    int step;
    std::optional<int> stored;
  } cases[] = {
      {"37", {16, 4096}, 16, 32},     {"1923", {16, 4096}, 16, 1920},   {"7", {16, 4096}, 16, 16},
      {"-17", {-100, 100}, 16, -16},  {"1083", {16, 4096}, 4, 1080},    {"12x", {0, 99}, 1, 12},
      {"", {0, 99}, 1, std::nullopt}, {"x1", {0, 99}, 1, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(StepEditValue(c.text, c.range, c.step), c.stored);
  }
  EXPECT_EQ(DoubleEditValue("29.97fps", "IF.fps"), 29.97);
  EXPECT_EQ(DoubleEditValue("1e9", "IF.fps"), 1000.0);
  EXPECT_EQ(DoubleEditValue("nan", "IF.fps"), std::nullopt);
}

// The largest Head the page leaves is one the host can start with, and one more is not.
TEST(InputValues, HeadLimitIsTheLargestFrameSpaceTheHostTakes) {
  auto block = std::make_unique<DetectionBlock>();
  block->cx = 640;
  block->cy = 480;
  block->fps = 25;
  block->host_subtype = Info(PixelFormat::YUY2).guid;
  for (auto [diff, dmin] : {std::pair{1, 1}, std::pair{5, 10}, std::pair{5, 150}}) {
    SCOPED_TRACE(dmin);
    block->fs_diff = diff;
    block->dmin = dmin;
    block->fs_head = HeadLimit(diff, dmin);
    EXPECT_EQ(capture::SizeHostBuffers(*block, false, 2).refusal, "");
    ++block->fs_head;
    EXPECT_NE(capture::SizeHostBuffers(*block, false, 2).refusal, "");
  }
  EXPECT_EQ(HeadLimit(480, 480), 0);
}

TEST(InputValues, ChangeDateReadAndShownWithItsZeros) {
  EXPECT_EQ(ReadDatePair("20240812_3005"), (std::pair{20240812, 3005}));
  EXPECT_EQ(ReadDatePair("20240812_999999"), (std::pair{20240812, 235959}));
  EXPECT_EQ(ReadDatePair("2024-08-12"), std::nullopt);
  EXPECT_EQ(DatePairText(20240812, 3005), "20240812_003005");
}

TEST(SourceChoice, NamesModesAndWhatOkStores) {
  auto app = std::make_unique<AppContext>();
  SetDefaults(*app);
  SourceChoice c = LoadSourceChoice(*app);
  EXPECT_EQ(c.video_device, kNoneEntry);  // empty settings show "--"
  EXPECT_EQ(c.filter_decoder, kNoneEntry);
  c.rtsp_ip = "127.0.0.1:8554/sky";
  c.rtsp_uname = "observer";
  c.rtsp_pword = "pw";
  c.infname = "/data/sky.avi";
  struct Case {
    bool filter, rtsp;
    const char* name;
    SourceModeView view;  // device lists, filter lists, account, file, continuous
  } cases[] = {
      {false, true, "", {true, false, false, false, false}},
      {true, true, "127.0.0.1:8554/sky", {false, true, true, false, true}},
      {true, false, "/data/sky.avi", {false, true, false, true, true}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    c.filter_mode = k.filter;
    c.rtsp_mode = k.rtsp;
    EXPECT_EQ(c.InputName(), k.name);
    const SourceModeView v = ViewOfMode(c);
    EXPECT_EQ((std::tuple{v.device_lists, v.filter_lists, v.account, v.file, v.continuous}),
              (std::tuple{k.view.device_lists, k.view.filter_lists, k.view.account, k.view.file,
                          k.view.continuous}));
  }
  // A camera never chosen stays unnamed, which takes the first camera at the next start.
  SaveSourceChoice(c, *app);
  EXPECT_EQ(FieldUtf8(app->ap.dv_video_device), "");
  EXPECT_EQ(FieldUtf8(app->ap.dv_v_s_decoder), "--");
  EXPECT_EQ(FieldUtf8(app->ap.inputname), "/data/sky.avi");
  EXPECT_EQ(FieldUtf8(app->ap.rtsp_pword), "pw");
  EXPECT_EQ(app->ib.filterinmode, 1);
  EXPECT_EQ(app->ib.rtspinmode, 0);
}

}  // namespace
}  // namespace orvanta::ui
