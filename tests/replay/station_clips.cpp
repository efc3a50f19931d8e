#include "tests/replay/station_clips.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

#include "capture/device_catalogue.h"
#include "detectfilter/pixel_format.h"

namespace fs = std::filesystem;

namespace orvanta::replay::testing {
namespace {

std::string Quote(const std::string& s) {
  std::string q(1, '\'');
  for (char c : s) {
    if (c == '\'')
      q.append("'\\''");
    else
      q.push_back(c);
  }
  q.push_back('\'');
  return q;
}

// The first clip `detect` listed ("clip PATH trig=...").
std::string FirstClip(const std::string& out) {
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("clip ", 0) == 0) return line.substr(5, line.find(" trig=") - 5);
  return "";
}

std::string Detect(const fs::path& dir, const std::string& name, const fs::path& sky,
                   std::vector<std::string> keys, std::string* error) {
  const fs::path settings = dir / (name + ".zvi");
  RunTool(dir, {"settings", "defaults", settings.string()});
  std::vector<std::string> set = {"settings",  "set",       settings.string(),
                                  "IF.cx=480", "IF.cy=270", "AP.limit_MB=10"};
  set.insert(set.end(), keys.begin(), keys.end());
  RunTool(dir, set);
  std::string out;
  const int status = RunTool(dir,
                             {"detect", "--source", sky.string(), "--out", (dir / name).string(),
                              "--start", "2024-01-02T02:10:00", "--settings", settings.string()},
                             &out);
  const std::string clip = FirstClip(out);
  if (status != 0 || clip.empty()) *error += name + ": no clip\n" + out;
  return clip;
}

}  // namespace

int RunTool(const fs::path& dir, const std::vector<std::string>& args, std::string* out) {
  std::string command = "cd ";
  command.append(Quote(dir.string())).append(" && ").append(Quote(ORVANTA_TOOL_PATH));
  for (const std::string& a : args) command.append(" ").append(Quote(a));
  command.append(" 2>&1");
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
  const int status = ::pclose(pipe);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

StationClips MakeStationClips(const fs::path& dir) {
  StationClips c;
  c.dir = dir;
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path sky = dir / "sky.avi";
  std::string out;
  if (RunTool(dir,
              {"simulate", "--out", sky.string(), "--width", "480", "--height", "270", "--fps",
               "25", "--seconds", "8", "--seed", "5", "--format", "YUY2"},
              &out) != 0) {
    c.error = "simulate: " + out;
    return c;
  }
  c.raw_yuy2 = Detect(dir, "raw", sky, {}, &c.error);
  c.nv12_as_yuy2 = Detect(dir, "nv12", sky, {"AP.forcc=NV12"}, &c.error);
  // The station names its compressor by its place in the list of video encoders. The first
  // H.264 encoder that gives a clip with frames is taken.
  const std::vector<std::string> codecs =
      capture::FillCodecList(capture::kUncompressedEntry).entries;
  for (const char* encoder : {":x264enc", ":openh264enc"}) {
    for (const std::string& entry : codecs) {
      if (!c.h264.empty() || !entry.ends_with(encoder)) continue;
      const std::string clip = Detect(dir, "h264" + std::string(encoder + 1), sky,
                                      {"AP.dv_out_codec=" + entry}, &c.error);
      std::error_code ec;
      if (!clip.empty() && fs::file_size(clip, ec) > 0)
        c.h264 = clip;
      else
        c.error += entry + " wrote an empty clip\n";
    }
  }
  return c;
}

Frames DecodeAll(const std::string& clip, bool through_nv12) {
  Frames f;
  gchar* desc = g_strdup_printf(
      "filesrc location=\"%s\" ! decodebin ! videoconvert ! video/x-raw,format=%s ! "
      "appsink name=sink sync=false",
      clip.c_str(), through_nv12 ? "NV12" : "BGR");
  GstElement* pipeline = gst_parse_launch(desc, nullptr);
  g_free(desc);
  if (!pipeline) return f;
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  // No sample within the time: the end, or a clip the decoder refused.
  while (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 20 * GST_SECOND)) {
    GstVideoInfo info;
    gst_video_info_from_caps(&info, gst_sample_get_caps(sample));
    GstVideoFrame frame;
    gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ);
    f.width = GST_VIDEO_INFO_WIDTH(&info);
    f.height = GST_VIDEO_INFO_HEIGHT(&info);
    std::vector<uint8_t> rows(static_cast<size_t>(f.width) * f.height * 3);
    auto plane = [&](int p, int r) {
      return static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p)) +
             static_cast<size_t>(GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p)) * r;
    };
    for (int r = 0; r < f.height; ++r) {
      uint8_t* out = rows.data() + static_cast<size_t>(r) * f.width * 3;
      if (!through_nv12) {
        std::copy_n(plane(0, r), f.width * 3, out);
        continue;
      }
      const uint8_t* y = plane(0, r);
      const uint8_t* uv = plane(1, r / 2);
      for (int x = 0; x < f.width; ++x) {
        const Bgr p = YuvToBgr(y[x], uv[x / 2 * 2], uv[x / 2 * 2 + 1]);
        out[3 * x] = p.b;
        out[3 * x + 1] = p.g;
        out[3 * x + 2] = p.r;
      }
    }
    gst_video_frame_unmap(&frame);
    f.frames.push_back(std::move(rows));
    gst_sample_unref(sample);
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
  return f;
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 255;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int{a[i]} - int{b[i]});
  return sum / static_cast<double>(a.size());
}

int NearestFrame(const Frames& frames, const std::vector<uint8_t>& picture) {
  double best = std::numeric_limits<double>::max(), second = best;
  int best_index = -1;
  for (size_t i = 0; i < frames.frames.size(); ++i) {
    const std::vector<uint8_t>& f = frames.frames[i];
    if (f.size() != picture.size()) return -1;
    const double mean = MeanDifference(f, picture);
    if (mean < best) {
      second = best;
      best = mean;
      best_index = static_cast<int>(i);
    } else if (mean < second) {
      second = mean;
    }
  }
  // Neighbouring frames of a night sky differ in their noise: the right one is well ahead.
  return best * 1.5 < second ? best_index : -1;
}

std::vector<uint8_t> Upright(const uint8_t* snapshot, int width, int height) {
  const size_t row = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> out(row * height);
  for (int r = 0; r < height; ++r)
    std::copy_n(snapshot + row * (height - 1 - r), row, out.begin() + row * r);
  return out;
}

}  // namespace orvanta::replay::testing
