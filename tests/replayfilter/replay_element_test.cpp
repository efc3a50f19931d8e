// The replay filter element in real pipelines: appsrc -> orvantareplay -> appsink, with the
// program's ReplayBlock attached.
#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "replayfilter/zaviprf.h"

namespace orvanta {
namespace {

void LoadPluginOnce() {
  static const bool loaded = [] {
    gst_init(nullptr, nullptr);
    GError* error = nullptr;
    GstPlugin* plugin = gst_plugin_load_file(ZAVIPRF_PLUGIN_FILE, &error);
    if (!plugin) {
      g_printerr("cannot load %s: %s\n", ZAVIPRF_PLUGIN_FILE, error ? error->message : "?");
      std::abort();
    }
    gst_object_unref(plugin);
    return true;
  }();
  (void)loaded;
}

struct Frame {
  std::vector<uint8_t> data;
  std::string caps;
};

// One filter between an appsrc of `caps` and an appsink.
class ReplayPipeline {
 public:
  explicit ReplayPipeline(const std::string& caps) {
    LoadPluginOnce();
    pipeline_ = gst_pipeline_new(nullptr);
    src_ = gst_element_factory_make("appsrc", nullptr);
    filter_ = gst_element_factory_make("orvantareplay", "ZavFilter");
    sink_ = gst_element_factory_make("appsink", nullptr);
    GstCaps* c = gst_caps_from_string(caps.c_str());
    g_object_set(src_, "caps", c, "format", GST_FORMAT_TIME, nullptr);
    gst_caps_unref(c);
    g_object_set(sink_, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline_), src_, filter_, sink_, nullptr);
    EXPECT_TRUE(gst_element_link_pads(src_, "src", filter_, "Input"));
    EXPECT_TRUE(gst_element_link_pads(filter_, "Output1", sink_, "sink"));
  }
  ~ReplayPipeline() {
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(pipeline_);
  }

  int Attach(ReplayBlock* block) {
    gint version = 0, reserved = -1, result = -1;
    g_signal_emit_by_name(filter_, "attach-block", static_cast<gpointer>(block),
                          static_cast<gpointer>(&version), static_cast<gpointer>(&reserved),
                          &result);
    EXPECT_EQ(version, kZaviprfVersion);
    EXPECT_EQ(reserved, 0);
    return result;
  }
  GstElement* filter() const { return filter_; }
  // The clip's format changes from the next frame on.
  void SetCaps(const std::string& caps) {
    GstCaps* c = gst_caps_from_string(caps.c_str());
    g_object_set(src_, "caps", c, nullptr);
    gst_caps_unref(c);
  }

  // Pushes one frame and takes what leaves the filter.
  Frame Pass(const std::vector<uint8_t>& data) {
    if (!playing_) {
      gst_element_set_state(pipeline_, GST_STATE_PLAYING);
      playing_ = true;
    }
    GstBuffer* buffer = gst_buffer_new_memdup(data.data(), data.size());
    GST_BUFFER_PTS(buffer) = pts_;
    pts_ += GST_SECOND / 25;
    EXPECT_EQ(gst_app_src_push_buffer(GST_APP_SRC(src_), buffer), GST_FLOW_OK);
    Frame f;
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), 10 * GST_SECOND);
    if (!sample) return f;
    GstMapInfo map;
    GstBuffer* out = gst_sample_get_buffer(sample);
    gst_buffer_map(out, &map, GST_MAP_READ);
    f.data.assign(map.data, map.data + map.size);
    gst_buffer_unmap(out, &map);
    gchar* caps = gst_caps_to_string(gst_sample_get_caps(sample));
    f.caps = caps;
    g_free(caps);
    gst_sample_unref(sample);
    return f;
  }

 private:
  GstElement* pipeline_;
  GstElement* src_;
  GstElement* filter_;
  GstElement* sink_;
  bool playing_ = false;
  GstClockTime pts_ = 0;
};

std::string BgrCaps(int w, int h, const char* rate = "25/1") {
  return "video/x-raw,format=BGR,width=" + std::to_string(w) + ",height=" + std::to_string(h) +
         ",framerate=" + rate;
}

// A BGR frame whose every byte tells its row and column apart; rows padded to 4 bytes as
// GStreamer lays them out.
std::vector<uint8_t> PatternBgr(int w, int h, size_t stride) {
  std::vector<uint8_t> f(stride * h, 0);
  for (int r = 0; r < h; ++r)
    for (int i = 0; i < w * 3; ++i)
      f[stride * r + i] = static_cast<uint8_t>(r * 37 + i * 11 + (r & 1) * 90);
  return f;
}

size_t BgrStride(int w) {
  return (static_cast<size_t>(w) * 3 + 3) / 4 * 4;
}

TEST(ReplayElement, FieldViewAveragesTheOtherFieldsRows) {
  // Rows are named as the program's picture rows, counted from the bottom line up: field 0
  // replaces rows 2, 4, ... 478; field 1 rows 3, 5, ... 477. The rest keep their bytes.
  constexpr int kW = 720, kH = 480;
  const size_t stride = BgrStride(kW);
  const std::vector<uint8_t> in = PatternBgr(kW, kH, stride);
  for (int field = 0; field < 2; ++field) {
    SCOPED_TRACE(field);
    ReplayPipeline p(BgrCaps(kW, kH));
    ReplayBlock block{};
    std::vector<uint8_t> snapshot(kW * kH * 3);
    ASSERT_EQ(p.Attach(&block), 0);
    block.field_step = 1;
    block.field_odd = field;
    block.replay_snapshot = snapshot.data();
    const Frame out = p.Pass(in);
    ASSERT_EQ(out.data.size(), in.size());
    int replaced = 0;
    for (int row = 0; row < kH; ++row) {
      const int up = kH - 1 - row;
      const bool averaged = field == 0 ? (up % 2 == 0 && up >= 2 && up <= 478)
                                       : (up % 2 == 1 && up >= 3 && up <= 477);
      replaced += averaged;
      for (int i = 0; i < kW * 3; ++i) {
        const size_t at = stride * row + i;
        const uint8_t want =
            averaged ? static_cast<uint8_t>((in[at - stride] + in[at + stride]) / 2) : in[at];
        ASSERT_EQ(out.data[at], want) << "row from bottom " << up << " byte " << i;
        // The snapshot holds what is shown, bottom line first.
        ASSERT_EQ(snapshot[static_cast<size_t>(up) * kW * 3 + i], want);
      }
    }
    EXPECT_EQ(replaced, field == 0 ? 239 : 238);
  }
}

TEST(ReplayElement, WithoutFieldViewTheFramePassesAndTheSnapshotIsAnExactCopy) {
  // An odd size: padded rows in the frame, none in the snapshot.
  for (auto [w, h] : {std::pair{720, 480}, std::pair{385, 289}}) {
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    ReplayPipeline p(BgrCaps(w, h));
    ReplayBlock block{};
    std::vector<uint8_t> snapshot(static_cast<size_t>(w) * h * 3, 0xEE);
    ASSERT_EQ(p.Attach(&block), 0);
    block.field_odd = 1;  // no effect while field_step is 0
    block.replay_snapshot = snapshot.data();
    const size_t stride = BgrStride(w);
    const std::vector<uint8_t> in = PatternBgr(w, h, stride);
    const Frame out = p.Pass(in);
    EXPECT_EQ(out.data, in);
    for (int row = 0; row < h; ++row)
      ASSERT_TRUE(std::equal(in.begin() + stride * row, in.begin() + stride * row + w * 3,
                             snapshot.begin() + static_cast<size_t>(h - 1 - row) * w * 3))
          << "row " << row;
    EXPECT_EQ(block.clip_width, w);
    EXPECT_EQ(block.clip_height, h);
    EXPECT_EQ(block.clip_frame_bytes, w * h * 3);
    EXPECT_EQ(block.bit_count, 24);
    EXPECT_EQ(block.compression, 0u);
    EXPECT_EQ(block.frame_time, 400000);
  }
}

TEST(ReplayElement, Nv12FramesAreCopiedAndConvertedIntoTheSnapshot) {
  for (auto [w, h] : {std::pair{720, 480}, std::pair{385, 289}}) {
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_NV12, w, h);
    std::vector<uint8_t> in(GST_VIDEO_INFO_SIZE(&info), 128);
    // The top-left pixel: Y 200, U 90, V 160; its 2x2 neighbours share the colour.
    in[GST_VIDEO_INFO_PLANE_OFFSET(&info, 0)] = 200;
    in[GST_VIDEO_INFO_PLANE_OFFSET(&info, 1)] = 90;
    in[GST_VIDEO_INFO_PLANE_OFFSET(&info, 1) + 1] = 160;
    ReplayPipeline p("video/x-raw,format=NV12,width=" + std::to_string(w) +
                     ",height=" + std::to_string(h) + ",framerate=25/1");
    ReplayBlock block{};
    std::vector<uint8_t> snapshot(static_cast<size_t>(w) * h * 3, 0);
    ASSERT_EQ(p.Attach(&block), 0);
    block.field_step = 1;  // no field view on NV12
    block.replay_snapshot = snapshot.data();
    const Frame out = p.Pass(in);
    ASSERT_EQ(out.data.size(), in.size());
    // The picture's bytes pass unchanged (row padding is not part of it).
    for (int plane = 0; plane < 2; ++plane) {
      const size_t offset = GST_VIDEO_INFO_PLANE_OFFSET(&info, plane);
      const size_t stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, plane);
      const int rows = plane == 0 ? h : (h + 1) / 2;
      const size_t bytes = plane == 0 ? w : (w + 1) / 2 * 2;
      for (int r = 0; r < rows; ++r)
        ASSERT_TRUE(std::equal(in.begin() + offset + stride * r,
                               in.begin() + offset + stride * r + bytes,
                               out.data.begin() + offset + stride * r))
            << "plane " << plane << " row " << r;
    }
    EXPECT_EQ(block.clip_frame_bytes, w * h * 3 / 2);
    EXPECT_EQ(block.bit_count, 12);
    EXPECT_EQ(block.compression, 0x3231564Eu);  // "NV12"
    // Grey (128,128,128) stays grey; the snapshot's last row is the picture's top.
    const size_t top = static_cast<size_t>(h - 1) * w * 3;
    EXPECT_EQ(snapshot[3], 128);
    EXPECT_EQ(snapshot[top + 3 * 2], 128);
    EXPECT_EQ(snapshot[top + 3 * 2 + 1], 128);
    EXPECT_EQ(snapshot[top + 3 * 2 + 2], 128);
    // Y 200, U 90, V 160: blue (200000 + 1772*90 - 226316) / 1000 = 133, green
    // (200000 - 344*90 - 714*160 + 135924) / 1000 = 190, red (200000 + 1402*160 - 178956)
    // / 1000 = 245.
    EXPECT_EQ(snapshot[top], 133);
    EXPECT_EQ(snapshot[top + 1], 190);
    EXPECT_EQ(snapshot[top + 2], 245);
  }
}

TEST(ReplayElement, AClipWithoutFrameDurationPlaysAt2997) {
  ReplayPipeline p(BgrCaps(64, 48, "0/1"));
  ReplayBlock block{};
  block.frame_time = 123;  // cleared at attach
  block.replay_pos = 99;
  ASSERT_EQ(p.Attach(&block), 0);
  EXPECT_EQ(block.frame_time, 0);
  EXPECT_EQ(block.replay_pos, 0);
  const Frame out = p.Pass(std::vector<uint8_t>(BgrStride(64) * 48, 7));
  EXPECT_EQ(block.frame_time, 333667);
  EXPECT_NEAR(block.clip_fps, 29.97, 0.001);
  EXPECT_NE(out.caps.find("framerate=(fraction)10000000/333667"), std::string::npos) << out.caps;
}

TEST(ReplayElement, ABiggerPictureMidClipNeverWritesPastTheSnapshotBuffer) {
  ReplayPipeline p(BgrCaps(64, 48));
  ReplayBlock block{};
  ASSERT_EQ(p.Attach(&block), 0);
  p.Pass(std::vector<uint8_t>(BgrStride(64) * 48, 1));
  // The program sizes the snapshot buffer by the clip's first format.
  const size_t sized = static_cast<size_t>(block.clip_pixels) * 3;
  std::vector<uint8_t> snapshot(sized + 4096, 0xA5);
  block.replay_snapshot = snapshot.data();
  p.Pass(std::vector<uint8_t>(BgrStride(64) * 48, 2));
  EXPECT_EQ(snapshot[0], 2);
  p.SetCaps(BgrCaps(128, 96));
  const Frame out = p.Pass(std::vector<uint8_t>(BgrStride(128) * 96, 3));
  EXPECT_EQ(out.data.size(), BgrStride(128) * 96);
  EXPECT_EQ(block.clip_width, 128);
  EXPECT_EQ(snapshot[0], 2);  // left as it was: the buffer is too small for the new frames
  EXPECT_TRUE(
      std::all_of(snapshot.begin() + sized, snapshot.end(), [](uint8_t b) { return b == 0xA5; }));
}

TEST(ReplayElement, AttachWithAMissingArgumentStoresNothing) {
  ReplayPipeline p(BgrCaps(64, 48));
  ReplayBlock block{};
  block.frame_time = 5;
  gint version = 0, result = 0;
  g_signal_emit_by_name(p.filter(), "attach-block", static_cast<gpointer>(&block),
                        static_cast<gpointer>(&version), nullptr, &result);
  EXPECT_EQ(static_cast<uint32_t>(result), 0x80004003u);
  EXPECT_EQ(block.frame_time, 5);
  EXPECT_EQ(version, 0);
}

}  // namespace
}  // namespace orvanta
