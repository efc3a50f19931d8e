#include "products/clip_products.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "app/clip_kinds.h"
#include "detectfilter/pixel_format.h"
#include "products/ftp_upload.h"
#include "tests/products/temp_dir.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

// A small finished clip with a detection map and a grey I420 peak-hold picture, its video
// file already in place.
struct ClipFixture {
  static constexpr int kCx = 32, kCy = 16;
  testing::TempDir dir;
  std::unique_ptr<AppContext> app = std::make_unique<AppContext>();
  DetectionBlock block{};
  std::vector<uint8_t> hit_map = std::vector<uint8_t>(kCx * kCy, 0);
  std::vector<uint32_t> avr_map = std::vector<uint32_t>(kCx * kCy, 0);
  std::vector<uint8_t> snapshot = std::vector<uint8_t>(kCx * kCy * 3 / 2, 128);
  ftp::FtpUploader uploader;
  Image24 image;
  int32_t last_ftp_minute = 0;
  std::string video;

  ClipFixture() {
    SetDefaults(*app);
    app->ap.ftp_on = 0;
    app->ap.jpg = 1;
    app->ap.bmp = 0;
    app->ap.thumbnail = 1;
    block = app->ib;
    block.cx = kCx;
    block.cy = kCy;
    block.pixels = kCx * kCy;
    block.sm_on = 0;
    block.hit_map = hit_map.data();
    block.avr_map = avr_map.data();
    block.snapshot = snapshot.data();
    block.frame_bytes = static_cast<int32_t>(snapshot.size());
    block.input_subtype = Info(PixelFormat::I420).guid;
    block.im_map = 1;
    block.im_peak = 1;
    block.im_snap = 0;
    block.trig_kind = kTriggerVideo;
    video = dir / "M20240812_233003__.avi";
    std::ofstream(video) << "avi";
  }

  ClipProductsOutcome Make() {
    const ClipProductsRequest request{block, app->ap, uploader, image,      last_ftp_minute,
                                      video, 1410,    "2330",   dir.path(), 0};
    return MakeClipProducts(request);
  }
};

std::vector<std::string> FilesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ClipProductsTest, WhatEachEndOfClipMakes) {
  struct Case {
    const char* what;
    int end_status;
    int trig_kind;
    bool leavelong, tt_sonly;
    std::vector<std::string> files;  // written besides the video, in order
    bool finished;
    bool clip_is_record;
  };
  const Case cases[] = {
      {"complete clip",
       kClipFinished,
       kTriggerVideo,
       false,
       false,
       {"M20240812_233003__M.bmp", "M20240812_233003__P.jpg", "M20240812_233003__T.jpg",
        "M20240812_233003__.xml"},
       true,
       false},
      {"slow object veto", kClipSlowObjectVeto, kTriggerVideo, true, false, {}, false, false},
      {"length limit, long clips dropped",
       kClipLengthLimit,
       kTriggerVideo,
       false,
       false,
       {},
       false,
       false},
      {"length limit, long clips kept",
       kClipLengthLimit,
       kTriggerVideo,
       true,
       false,
       {"M20240812_233003__M.bmp", "M20240812_233003__P.jpg", "M20240812_233003__T.jpg"},
       false,
       false},
      {"timer clip keeping stills only",
       kClipFinished,
       kTriggerTimer,
       false,
       true,
       {"M20240812_233003__M.bmp", "M20240812_233003__P.jpg", "M20240812_233003__T.jpg",
        "M20240812_233003__.xml"},
       true,
       true},
      {"no clip ended", kClipNone, kTriggerVideo, true, false, {}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClipFixture f;
    ASSERT_FALSE(f.dir.path().empty());
    f.block.end_status = c.end_status;
    f.block.trig_kind = c.trig_kind;
    f.app->ap.leavelong = c.leavelong;
    f.app->ap.tt_sonly = c.tt_sonly;
    const ClipProductsOutcome outcome = f.Make();

    std::vector<std::string> written;
    for (const std::string& path : outcome.files) {
      EXPECT_TRUE(fs::exists(path)) << path;
      written.push_back(fs::path(path).filename().string());
    }
    EXPECT_EQ(written, c.files);
    std::vector<std::string> on_disk = c.files;
    on_disk.push_back("M20240812_233003__.avi");
    std::sort(on_disk.begin(), on_disk.end());
    EXPECT_EQ(FilesIn(f.dir.path()), on_disk);  // the BMP under the JPEG is gone
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_TRUE(outcome.ftp_status_suffix.empty());
    EXPECT_EQ(outcome.images_made, !c.files.empty());
    EXPECT_EQ(outcome.finished, c.finished);
    if (c.finished) {
      EXPECT_EQ(outcome.clip_path, c.clip_is_record ? f.dir / "M20240812_233003__.xml" : f.video);
    }
  }
}

}  // namespace
}  // namespace orvanta
