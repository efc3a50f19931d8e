// The media layer over real GStreamer pipelines: the program's NV12 converter, rendering
// streams with converters put in between, AVI files finished at end of stream, the device
// catalogue over a test device provider, and loading an RTSP camera.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "capture/device_catalogue.h"
#include "capture/media/cnv2yu_element.h"
#include "capture/media/media_graph.h"
#include "capture/media/nv12_to_yuy2.h"
#include "capture/media/rtsp_probe.h"
#include "detectfilter/pixel_format.h"
#include "tests/capture/fake_camera.h"
#ifdef ORVANTA_HAVE_RTSP_SERVER
#include "tests/capture/rtsp_test_server.h"
#endif

namespace orvanta {
namespace {

namespace fs = std::filesystem;
using media::Graph;
using media::MediaKind;
using media::PinCategory;

TEST(Nv12ToYuy2, LumaKeepsItsPlaceChromaPairsAreShared) {
  // 4x2 picture: luma 10..17, one chroma row U0 V0 U1 V1.
  const uint8_t y[] = {10, 11, 12, 13, 14, 15, 16, 17};
  const uint8_t uv[] = {100, 200, 101, 201};
  uint8_t out[16] = {};
  media::Nv12ToYuy2(y, 4, uv, 4, out, 8, 4, 2);
  const uint8_t want[] = {10, 100, 11, 200, 12, 101, 13, 201, 14, 100, 15, 200, 16, 101, 17, 201};
  EXPECT_EQ(std::vector<uint8_t>(out, out + 16), std::vector<uint8_t>(want, want + 16));
}

GstSample* Pull(GstElement* pipeline, const char* name) {
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), name);
  GstSample* s = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 5 * GST_SECOND);
  gst_object_unref(sink);
  return s;
}

TEST(Cnv2yu, ConvertsOddSizedFramesLikeTheReferenceRoutine) {
  ASSERT_TRUE(media::RegisterCnv2yu());
  GError* error = nullptr;
  GstElement* p = gst_parse_launch(
      "videotestsrc num-buffers=1 pattern=snow ! video/x-raw,format=NV12,width=385,height=289 "
      "! tee name=t t. ! queue ! appsink name=in t. ! queue ! cnv2yu ! appsink name=out",
      &error);
  ASSERT_TRUE(p) << (error ? error->message : "");
  gst_element_set_state(p, GST_STATE_PLAYING);
  GstSample* in = Pull(p, "in");
  GstSample* out = Pull(p, "out");
  ASSERT_TRUE(in && out);
  GstVideoInfo in_info, out_info;
  ASSERT_TRUE(gst_video_info_from_caps(&in_info, gst_sample_get_caps(in)));
  ASSERT_TRUE(gst_video_info_from_caps(&out_info, gst_sample_get_caps(out)));
  EXPECT_EQ(GST_VIDEO_INFO_FORMAT(&out_info), GST_VIDEO_FORMAT_YUY2);
  EXPECT_EQ(GST_VIDEO_INFO_WIDTH(&out_info), 385);
  GstVideoFrame a, b;
  ASSERT_TRUE(gst_video_frame_map(&a, &in_info, gst_sample_get_buffer(in), GST_MAP_READ));
  ASSERT_TRUE(gst_video_frame_map(&b, &out_info, gst_sample_get_buffer(out), GST_MAP_READ));
  const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&b, 0);
  std::vector<uint8_t> want(static_cast<size_t>(stride) * 289);
  media::Nv12ToYuy2(static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&a, 0)),
                    GST_VIDEO_FRAME_PLANE_STRIDE(&a, 0),
                    static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&a, 1)),
                    GST_VIDEO_FRAME_PLANE_STRIDE(&a, 1), want.data(), stride, 385, 289);
  const auto* got = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&b, 0));
  for (int row = 0; row < 289; ++row)
    ASSERT_EQ(std::memcmp(got + row * stride, want.data() + row * stride, 385 * 2), 0)
        << "row " << row;
  EXPECT_EQ(GST_BUFFER_PTS(gst_sample_get_buffer(out)), GST_BUFFER_PTS(gst_sample_get_buffer(in)));
  gst_video_frame_unmap(&a);
  gst_video_frame_unmap(&b);
  gst_sample_unref(in);
  gst_sample_unref(out);
  gst_element_set_state(p, GST_STATE_NULL);
  gst_object_unref(p);
}

struct AviFacts {
  uint32_t us_per_frame = 0;
  uint32_t total_frames = 0;
  std::string compression;
  bool has_index = false;
};

AviFacts ReadAvi(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::string data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  AviFacts facts;
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    if (at + 4 <= data.size()) std::memcpy(&v, data.data() + at, 4);
    return v;
  };
  facts.us_per_frame = u32(32);
  facts.total_frames = u32(48);
  size_t strf = data.find("strf");
  if (strf != std::string::npos && strf + 28 <= data.size())
    facts.compression = data.substr(strf + 8 + 16, 4);
  facts.has_index = data.find("idx1") != std::string::npos;
  return facts;
}

// Runs the graph until its file source ends (or the time runs out).
bool RunToEnd(Graph& graph, int seconds = 10) {
  if (media::Failed(graph.Run())) return false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until) {
    media::GraphEvent e;
    while (graph.GetEvent(&e)) {
      if (e.code == media::kEventComplete) {
        graph.Stop();
        return true;
      }
      if (e.code == media::kEventErrorAbort) {
        ADD_FAILURE() << e.text;
        graph.Stop();
        return false;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  graph.Stop();
  return false;
}

GstElement* RawSource(Graph& graph, const char* format, int frames) {
  GstElement* src = gst_element_factory_make("videotestsrc", nullptr);
  g_object_set(src, "num-buffers", frames, nullptr);
  GstElement* caps = gst_element_factory_make("capsfilter", nullptr);
  GstCaps* c =
      gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, format, "width", G_TYPE_INT, 64,
                          "height", G_TYPE_INT, 48, "framerate", GST_TYPE_FRACTION, 25, 1, nullptr);
  g_object_set(caps, "caps", c, nullptr);
  gst_caps_unref(c);
  EXPECT_EQ(graph.AddFilter(src, "Source"), media::kOk);
  EXPECT_EQ(graph.AddFilter(caps, "Source Format"), media::kOk);
  EXPECT_TRUE(gst_element_link(src, caps));
  return caps;
}

class Recording : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvanta_media_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(Recording, Nv12SourceIsWrittenAsYuy2ThroughTheConverter) {
  ASSERT_TRUE(media::RegisterCnv2yu());
  Graph graph;
  GstElement* source = RawSource(graph, "NV12", 12);
  GstElement* converter = gst_element_factory_make(media::kCnv2yuFactory, nullptr);
  ASSERT_EQ(graph.AddFilter(converter, "NV2YU_Codec"), media::kOk);
  GstElement *mux = nullptr, *writer = nullptr;
  const std::string path = (dir_ / "T1.avi").string();
  ASSERT_EQ(graph.SetOutputFileName(path, &mux, &writer), media::kOk);
  ASSERT_EQ(graph.RenderStream(PinCategory::None, MediaKind::Video, source, converter, mux),
            media::kOk);
  ASSERT_TRUE(RunToEnd(graph));
  AviFacts avi = ReadAvi(path);
  EXPECT_EQ(avi.compression, "YUY2");
  EXPECT_EQ(avi.total_frames, 12u);
  EXPECT_EQ(avi.us_per_frame, 40000u);
  EXPECT_TRUE(avi.has_index);
}

TEST_F(Recording, FormatsTheMultiplexerRefusesGetAConverter) {
  Graph graph;
  GstElement* source = RawSource(graph, "NV12", 5);
  GstElement *mux = nullptr, *writer = nullptr;
  const std::string path = (dir_ / "T2.avi").string();
  ASSERT_EQ(graph.SetOutputFileName(path, &mux, &writer), media::kOk);
  ASSERT_EQ(graph.RenderStream(PinCategory::None, MediaKind::Video, source, nullptr, mux),
            media::kOk);
  ASSERT_TRUE(RunToEnd(graph));
  EXPECT_EQ(ReadAvi(path).total_frames, 5u);
}

TEST_F(Recording, EveryOutputOfATeeGetsItsOwnQueue) {
  Graph graph;
  GstElement* source = RawSource(graph, "I420", 6);
  GstElement* tee = gst_element_factory_make("tee", nullptr);
  GstElement* a = gst_element_factory_make("fakesink", nullptr);
  GstElement* b = gst_element_factory_make("fakesink", nullptr);
  ASSERT_EQ(graph.AddFilter(tee, "Tee"), media::kOk);
  ASSERT_EQ(graph.AddFilter(a, "A"), media::kOk);
  ASSERT_EQ(graph.AddFilter(b, "B"), media::kOk);
  ASSERT_EQ(graph.RenderStream(PinCategory::None, MediaKind::Video, source, tee, a), media::kOk);
  ASSERT_EQ(graph.RenderStream(PinCategory::None, MediaKind::Video, tee, nullptr, b), media::kOk);
  // Both sinks preroll and the stream ends: no stall on the two outputs.
  EXPECT_TRUE(RunToEnd(graph));
  EXPECT_EQ(graph.FindFilter("Tee"), tee);
  EXPECT_EQ(graph.FindFilter("nothing"), nullptr);
}

TEST_F(Recording, AnEncodedFileIsDecodedOnTheWay) {
  const std::string movie = std::string(ORVANTA_TESTDATA_DIR) + "/meteor1.avi";
  if (!fs::exists(movie)) GTEST_SKIP() << "no test movie";
  Graph graph;
  GstElement* src = gst_element_factory_make("filesrc", nullptr);
  g_object_set(src, "location", movie.c_str(), nullptr);
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  g_object_set(sink, "sync", FALSE, nullptr);
  GstElement* raw = gst_element_factory_make("capsfilter", nullptr);
  GstCaps* c = gst_caps_from_string("video/x-raw,format=YUY2");
  g_object_set(raw, "caps", c, nullptr);
  gst_caps_unref(c);
  ASSERT_EQ(graph.AddFilter(src, "rtspsorce"), media::kOk);
  ASSERT_EQ(graph.AddFilter(raw, "Source Format"), media::kOk);
  ASSERT_EQ(graph.AddFilter(sink, "VMRx"), media::kOk);
  ASSERT_EQ(graph.RenderStream(PinCategory::None, MediaKind::Video, src, raw, sink), media::kOk);
  EXPECT_TRUE(RunToEnd(graph, 30));
}

// Every message the graph hears is handed to its handler and then freed: a clip's end
// message carries megabytes of copies, and one kept per clip fills the memory in a night.
TEST(GraphMessages, AreFreedOnceHandled) {
  media::Graph graph;
  int handled = 0;
  graph.SetElementMessageHandler([&](GstElement*, const GstStructure*) { ++handled; });
  GstElement* element = gst_element_factory_make("identity", nullptr);
  ASSERT_EQ(graph.AddFilter(element, "Probe"), media::kOk);
  static std::atomic<int> freed;
  freed = 0;
  for (int i = 0; i < 3; ++i) {
    GBytes* payload = g_bytes_new_with_free_func(
        g_malloc(1 << 20), 1 << 20,
        [](gpointer data) {
          g_free(data);
          ++freed;
        },
        nullptr);
    GstStructure* s = gst_structure_new("ClipEnd", "maps", G_TYPE_BYTES, payload, nullptr);
    g_bytes_unref(payload);
    gst_element_post_message(element, gst_message_new_element(GST_OBJECT(element), s));
  }
  EXPECT_EQ(handled, 3);
  EXPECT_EQ(freed.load(), 3);
  gst_object_unref(element);
}

TEST(Catalogue, TestCamerasAreNumberedAndTheFirstIsTakenForAnEmptyName) {
  test::RegisterFakeCameras();
  std::vector<std::string> list;
  std::string wanted;
  int counter = 1;
  GstElement* element = nullptr;
  capture::FindFilterByName(capture::DeviceCategory::VideoInput, &list, &wanted, &element,
                            &counter);
  const std::string first = std::string("1:") + test::kFakeCameraName;
  const std::string second = std::string("2:") + test::kFakeCameraName;
  ASSERT_GE(list.size(), 2u);
  EXPECT_EQ(list[0], first);
  EXPECT_EQ(list[1], second);
  EXPECT_EQ(wanted, first);
  ASSERT_TRUE(element);
  gst_object_unref(element);
  // The second of two identical cameras is found again by its number.
  list.clear();
  wanted = second;
  counter = 1;
  EXPECT_EQ(capture::FindFilterByName(capture::DeviceCategory::VideoInput, &list, &wanted, &element,
                                      &counter),
            1);
  ASSERT_TRUE(element);
  gst_object_unref(element);
  // Without a list the position is not reported, only the element.
  std::vector<std::string> microphones;
  wanted = "-";
  counter = 1;
  capture::FindFilterByName(capture::DeviceCategory::AudioInput, &microphones, &wanted, nullptr,
                            &counter);
  auto mic = std::find_if(microphones.begin(), microphones.end(), [](const std::string& m) {
    return m.ends_with(std::string(":") + test::kFakeMicrophoneName);
  });
  ASSERT_NE(mic, microphones.end());
  wanted = *mic;
  counter = 1;
  EXPECT_EQ(capture::FindFilterByName(capture::DeviceCategory::AudioInput, nullptr, &wanted,
                                      &element, &counter),
            -1);
  ASSERT_TRUE(element);
  gst_object_unref(element);
}

TEST(Catalogue, CodecListKeepsTheUncompressedEntryFirst) {
  capture::CodecList list = capture::FillCodecList(capture::kUncompressedEntry);
  ASSERT_GE(list.entries.size(), 2u);
  EXPECT_EQ(list.entries[0], capture::kUncompressedEntry);
  EXPECT_EQ(list.entries[1].rfind("1:", 0), 0u);
  EXPECT_EQ(list.selected, 0);
  EXPECT_EQ(list.rec_mode, 1);
  auto x264 = std::find_if(list.entries.begin(), list.entries.end(),
                           [](const std::string& e) { return e.ends_with(":x264enc"); });
  ASSERT_NE(x264, list.entries.end());
  capture::CodecList chosen = capture::FillCodecList(*x264);
  EXPECT_EQ(chosen.selected, x264 - list.entries.begin());
  EXPECT_EQ(chosen.rec_mode, 3);
}

TEST(Catalogue, CaptureFormatAskedOfTheDevice) {
  GstCaps* any_size = gst_caps_from_string(
      "video/x-raw,format={YUY2,NV12},width=[1,4096],height=[1,4096],framerate=[0/1,120/1]");
  GstCaps* small = gst_caps_from_string("video/x-raw,format=YUY2,width=320,height=240");
  struct Case {
    GstCaps* device;
    const char* forcc;
    bool accepted;
    PixelFormat format;
    int red_mode;
  } cases[] = {
      {any_size, "", true, PixelFormat::YUY2, 0},  // the device's own format
      {any_size, "NV12", true, PixelFormat::NV12, 0},
      {any_size, "yuy2R", true, PixelFormat::YUY2, 1},
      {any_size, "RGB24", false, PixelFormat::Null, 0},
      {small, "", false, PixelFormat::Null, 0},  // 640x480 cannot be had
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.forcc);
    capture::CaptureFormatResult r = capture::SetCaptureFormat(c.device, {640, 480, 25, c.forcc});
    EXPECT_EQ(!media::Failed(r.result), c.accepted);
    EXPECT_EQ(r.red_mode, c.red_mode);
    if (c.accepted) {
      EXPECT_TRUE(SameGuid(r.host_subtype, Info(c.format).guid));
      const GstStructure* s = gst_caps_get_structure(r.caps, 0);
      int rate_n = 0, rate_d = 0;
      EXPECT_TRUE(gst_structure_get_fraction(s, "framerate", &rate_n, &rate_d));
      EXPECT_EQ(rate_n / rate_d, 25);
      gst_caps_unref(r.caps);
    }
  }
  capture::CaptureFormatResult unknown = capture::SetCaptureFormat(any_size, {640, 480, 0, "HEVC"});
  EXPECT_TRUE(unknown.unknown_name);
  if (unknown.caps) gst_caps_unref(unknown.caps);
  gst_caps_unref(any_size);
  gst_caps_unref(small);
}

#ifdef ORVANTA_HAVE_RTSP_SERVER
TEST(RtspProbe, CredentialsDecideWhetherTheCameraLoads) {
  test::RtspTestServer server("watcher", "p@ss:word");
  EXPECT_EQ(media::ProbeRtsp(server.address(), "watcher", "p@ss:word", 5000), media::kOk);
  EXPECT_EQ(media::ProbeRtsp(server.address(), "watcher", "wrong", 5000), media::kAccessDenied);
  EXPECT_EQ(media::ProbeRtsp(server.address(), "", "", 5000), media::kAccessDenied);
  test::RtspTestServer open_server("", "");
  EXPECT_EQ(media::ProbeRtsp(open_server.address(), "", "", 5000), media::kOk);
  EXPECT_EQ(media::ProbeRtsp("127.0.0.1:1/cam", "", "", 2000), media::kFail);
}
#endif

}  // namespace
}  // namespace orvanta
