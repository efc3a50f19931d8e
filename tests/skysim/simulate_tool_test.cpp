// zavip-tool simulate, run as a program; its video is read back through
// GStreamer and compared frame by frame with the simulator.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/skysim/sky_simulator.h"

namespace orvanta::skysim {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int status;
  std::string output;
};

ToolRun RunTool(const std::vector<std::string>& args) {
  std::string command = std::string("'") + ZAVIP_TOOL + "' simulate";
  for (const auto& a : args) command += " '" + a + "'";
  command += " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {-1, "popen failed"};
  std::string output;
  char chunk[512];
  while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every frame of an AVI file, rows and planes tightly packed.
std::vector<std::vector<uint8_t>> ReadAviFrames(const fs::path& path) {
  gst_init(nullptr, nullptr);
  GError* error = nullptr;
  const std::string launch =
      "filesrc location=\"" + path.string() + "\" ! avidemux ! appsink name=sink sync=false";
  GstElement* pipeline = gst_parse_launch(launch.c_str(), &error);
  EXPECT_FALSE(error) << (error ? error->message : "");
  g_clear_error(&error);
  std::vector<std::vector<uint8_t>> frames;
  if (!pipeline) return frames;
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink))) {
    GstVideoInfo info;
    EXPECT_TRUE(gst_video_info_from_caps(&info, gst_sample_get_caps(sample)));
    GstVideoFrame frame;
    if (gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
      std::vector<uint8_t> packed;
      for (guint p = 0; p < GST_VIDEO_INFO_N_PLANES(&info); ++p) {
        const int row = GST_VIDEO_INFO_COMP_WIDTH(&info, p) * GST_VIDEO_INFO_COMP_PSTRIDE(&info, p);
        const auto* data = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
        for (int r = 0; r < GST_VIDEO_INFO_COMP_HEIGHT(&info, p); ++r) {
          const uint8_t* line = data + r * GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p);
          packed.insert(packed.end(), line, line + row);
        }
      }
      frames.push_back(std::move(packed));
      gst_video_frame_unmap(&frame);
    }
    gst_sample_unref(sample);
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
  return frames;
}

class SimulateTool : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/simulate-test-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(SimulateTool, VideoHoldsTheSimulatedFramesAndTruth) {
  // 90 pixels wide: GStreamer pads the rows of every plane here.
  SkyConfig sky;
  sky.width = 90;
  sky.height = 60;
  sky.fps = 10.0;
  sky.frames = 15;
  sky.seed = 5;
  sky.scenario = "rough";
  sky.settle_seconds = 0.0;
  std::string error;
  auto sim = SkySimulator::Create(sky, error);
  ASSERT_TRUE(sim) << error;

  for (PixelFormat format : {PixelFormat::YUY2, PixelFormat::I420, PixelFormat::Y800}) {
    const std::string name = Info(format).raw_caps;
    SCOPED_TRACE(name);
    const fs::path video = dir_ / (name + ".avi"), truth = dir_ / (name + ".json");
    const ToolRun run = RunTool(
        {"--width",  "90",     "--height", "60",           "--fps",   "10",          "--seconds",
         "1.5",      "--seed", "5",        "--scenario",   "rough",   "--settle",    "0",
         "--format", name,     "--out",    video.string(), "--truth", truth.string()});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("15 frames"), std::string::npos) << run.output;
    EXPECT_EQ(ReadFile(truth), TruthToJson(sim->truth()));

    // avimux's main header: microseconds per frame at offset 32.
    const std::string bytes = ReadFile(video);
    ASSERT_GT(bytes.size(), 36u);
    uint32_t us_per_frame = 0;
    for (int i = 3; i >= 0; --i) us_per_frame = us_per_frame * 256 + uint8_t(bytes[32 + i]);
    EXPECT_EQ(us_per_frame, 100000u);

    const auto frames = ReadAviFrames(video);
    ASSERT_EQ(frames.size(), 15u);
    std::vector<uint8_t> expected(static_cast<size_t>(FrameBytes(format, 90 * 60)));
    for (int i = 0; i < 15; ++i) {
      sim->Render(i, format, expected.data());
      EXPECT_EQ(frames[i], expected) << "frame " << i;
    }
  }
}

TEST_F(SimulateTool, SameSeedWritesTheSameFile) {
  std::vector<std::string> args = {"--width",    "64",      "--height", "48", "--seconds", "1",
                                   "--scenario", "traffic", "--seed",   "99", "--out"};
  auto first = args, second = args;
  first.push_back((dir_ / "a.avi").string());
  second.push_back((dir_ / "b.avi").string());
  ASSERT_EQ(RunTool(first).status, 0);
  ASSERT_EQ(RunTool(second).status, 0);
  const std::string a = ReadFile(dir_ / "a.avi");
  EXPECT_GT(a.size(), 64u * 48 * 2 * 30);
  EXPECT_EQ(a, ReadFile(dir_ / "b.avi"));
}

TEST_F(SimulateTool, RefusesBadArgumentsAndReportsWriteFailures) {
  const std::string out = (dir_ / "out.avi").string();
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{}, "--out FILE.avi is required"},
      {{"--out", out, "--format", "NV12"}, "invalid value for --format: NV12"},
      {{"--out", out, "--width", "wide"}, "invalid value for --width: wide"},
      {{"--out", out, "--seconds"}, "--seconds needs a value"},
      {{"--out", out, "--seconds", "0"}, "--seconds must be above 0"},
      {{"--out", out, "--colour", "red"}, "unknown option --colour"},
      {{"--out", out, "--width", "91"},
       "--width 91 is not taken: the AVI holds even sizes of 16 to 4096 pixels"},
      {{"--out", out, "--height", "8192"}, "--height 8192 is not taken"},
      {{"--out", out, "--scenario", "foggy"}, "unknown scenario \"foggy\""},
      {{"--out", "/nonexistent-dir/x.avi", "--width", "32", "--height", "32", "--seconds", "0.2"},
       "cannot write /nonexistent-dir/x.avi"},
      {{"--out", "/dev/full", "--width", "320", "--height", "240", "--seconds", "1"},
       "cannot write /dev/full"},
      {{"--out", out, "--truth", "/nonexistent-dir/t.json", "--width", "32", "--height", "32",
        "--seconds", "0.2"},
       "cannot write /nonexistent-dir/t.json"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const ToolRun run = RunTool(c.args);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
  }
  EXPECT_TRUE(fs::exists("/dev/full")) << "a device named as output must stay";
}

}  // namespace
}  // namespace orvanta::skysim
