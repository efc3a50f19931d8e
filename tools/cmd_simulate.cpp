// zavip-tool simulate: a night-sky video with the truth of what moves in it,
// for demonstrations and for measuring the detection on a sky we control.
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/settings_ranges.h"
#include "detectfilter/pixel_format.h"
#include "tools/skysim/sky_simulator.h"
#include "tools/tool_args.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

// The video is written as uncompressed AVI, which holds frames of 16 to 4096 pixels each way.
constexpr const char* kUsage =
    "simulate --out FILE.avi [--truth FILE.json] [--width W] [--height H] (even, 16 to 4096) "
    "[--fps F] "
    "[--seconds S] [--seed N] [--scenario quiet|twinkle|traffic|rough] "
    "[--format YUY2|I420|GRAY8] [--settle S]";

struct SimulateArgs {
  skysim::SkyConfig sky;
  double seconds = 10.0;
  PixelFormat format = PixelFormat::YUY2;
  std::string out;
  std::string truth;
};

bool ParseArgs(const std::vector<std::string>& args, SimulateArgs& a, std::string& error) {
  a.sky.settle_seconds = 3.0;
  error = ReadOptions(args, {}, [&](const std::string& key, const std::string& value) {
    long long n = 0;
    double d = 0.0;
    bool ok = true;
    if (key == "--out") {
      a.out = value;
    } else if (key == "--truth") {
      a.truth = value;
    } else if (key == "--scenario") {
      a.sky.scenario = value;
    } else if (key == "--format") {
      ok = skysim::ParsePixelFormat(value, a.format);
    } else if (key == "--width" || key == "--height") {
      if (!ParseInt(value, n)) return "invalid value for " + key + ": " + value;
      if (n < kMinFrameSide || n > kMaxFrameSide || n % 2 != 0)
        return key + " " + value + " is not taken: the AVI holds even sizes of " +
               std::to_string(kMinFrameSide) + " to " + std::to_string(kMaxFrameSide) + " pixels";
      (key == "--width" ? a.sky.width : a.sky.height) = static_cast<int>(n);
    } else if (key == "--seed") {
      ok = ParseInt(value, n) && n >= 0;
      a.sky.seed = static_cast<uint64_t>(n);
    } else if (key == "--fps" || key == "--seconds" || key == "--settle") {
      ok = ParseDouble(value, d);
      (key == "--fps" ? a.sky.fps : key == "--seconds" ? a.seconds : a.sky.settle_seconds) = d;
    } else {
      return UnknownOption(key);
    }
    return ok ? std::string() : "invalid value for " + key + ": " + value;
  });
  if (!error.empty()) return false;
  if (a.out.empty()) {
    error = "--out FILE.avi is required";
    return false;
  }
  if (!(a.seconds > 0.0) || a.seconds > 86400.0) {
    error = "--seconds must be above 0 and at most 86400";
    return false;
  }
  a.sky.frames = std::max(1, static_cast<int>(std::lround(a.seconds * a.sky.fps)));
  return true;
}

struct GstObjectDeleter {
  void operator()(gpointer object) const { gst_object_unref(object); }
};
using GstPtr = std::unique_ptr<GstElement, GstObjectDeleter>;

// The text of the first error on the bus, or empty when there is none yet.
std::string TakeBusError(GstElement* pipeline, GstClockTime wait, bool* eos = nullptr) {
  std::unique_ptr<GstBus, GstObjectDeleter> bus(gst_element_get_bus(pipeline));
  const auto types = static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS);
  GstMessage* message = gst_bus_timed_pop_filtered(bus.get(), wait, types);
  if (!message) return "";
  std::string text;
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
    GError* err = nullptr;
    gst_message_parse_error(message, &err, nullptr);
    text = err && err->message ? err->message : "unknown GStreamer error";
    g_clear_error(&err);
  } else if (eos) {
    *eos = true;
  }
  gst_message_unref(message);
  return text;
}

// Copies a tightly packed frame into a GStreamer buffer of the caps' layout
// (rows there are padded to 4 bytes).
void CopyPlanes(const uint8_t* packed, const GstVideoInfo& info, GstVideoFrame& frame) {
  for (guint p = 0; p < GST_VIDEO_INFO_N_PLANES(&info); ++p) {
    const int row_bytes =
        GST_VIDEO_INFO_COMP_WIDTH(&info, p) * GST_VIDEO_INFO_COMP_PSTRIDE(&info, p);
    const int rows = GST_VIDEO_INFO_COMP_HEIGHT(&info, p);
    uint8_t* dst = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
    const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p);
    for (int r = 0; r < rows; ++r) std::memcpy(dst + r * stride, packed + r * row_bytes, row_bytes);
    packed += static_cast<size_t>(row_bytes) * rows;
  }
}

// Renders every frame into appsrc -> avimux -> filesink. Returns an error text.
std::string WriteVideo(skysim::SkySimulator& sim, PixelFormat format, const std::string& path) {
  const skysim::SkyConfig& sky = sim.config();
  GstPtr pipeline(gst_pipeline_new("simulate"));
  GstElement* src = gst_element_factory_make("appsrc", "sky");
  GstElement* mux = gst_element_factory_make("avimux", "mux");
  GstElement* sink = gst_element_factory_make("filesink", "file");
  if (!src || !mux || !sink) {
    for (GstElement* e : {src, mux, sink})
      if (e) gst_object_unref(e);
    return "GStreamer elements appsrc, avimux and filesink are needed (gstreamer1.0-plugins-good)";
  }
  gst_bin_add_many(GST_BIN(pipeline.get()), src, mux, sink, nullptr);

  int fps_n = 0, fps_d = 1;
  gst_util_double_to_fraction(sky.fps, &fps_n, &fps_d);
  GstVideoInfo info;
  gst_video_info_set_format(&info, gst_video_format_from_string(Info(format).raw_caps), sky.width,
                            sky.height);
  GST_VIDEO_INFO_FPS_N(&info) = fps_n;
  GST_VIDEO_INFO_FPS_D(&info) = fps_d;
  GstCaps* caps = gst_video_info_to_caps(&info);
  g_object_set(src, "caps", caps, "format", GST_FORMAT_TIME, "block", FALSE, nullptr);
  gst_caps_unref(caps);
  g_object_set(sink, "location", path.c_str(), nullptr);
  // appsrc offers any caps, so the mux's video pad is asked for by name.
  GstPad* video_pad = gst_element_request_pad_simple(mux, "video_%u");
  GstPad* src_pad = gst_element_get_static_pad(src, "src");
  const bool linked = video_pad && gst_pad_link(src_pad, video_pad) == GST_PAD_LINK_OK &&
                      gst_element_link(mux, sink);
  gst_object_unref(src_pad);
  if (video_pad) gst_object_unref(video_pad);
  if (!linked) return "cannot link appsrc -> avimux -> filesink";

  if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
    std::string error = TakeBusError(pipeline.get(), 0);
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return error.empty() ? "the video pipeline does not start" : error;
  }

  std::vector<uint8_t> packed(
      static_cast<size_t>(FrameBytes(format, int64_t{sky.width} * sky.height)));
  const guint64 queue_limit = 4 * static_cast<guint64>(info.size);
  std::string error;
  for (int i = 0; i < sky.frames && error.empty(); ++i) {
    // Wait for room in the queue while watching for a failing sink (a full disk).
    while (error.empty() && gst_app_src_get_current_level_bytes(GST_APP_SRC(src)) > queue_limit) {
      error = TakeBusError(pipeline.get(), 2 * GST_MSECOND);
    }
    if (error.empty()) error = TakeBusError(pipeline.get(), 0);
    if (!error.empty()) break;
    sim.Render(i, format, packed.data());
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, info.size, nullptr);
    GstVideoFrame frame;
    gst_video_frame_map(&frame, &info, buffer, GST_MAP_WRITE);
    CopyPlanes(packed.data(), info, frame);
    gst_video_frame_unmap(&frame);
    const GstClockTime pts = gst_util_uint64_scale(i, GST_SECOND * fps_d, fps_n);
    GST_BUFFER_PTS(buffer) = pts;
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(i + 1, GST_SECOND * fps_d, fps_n) - pts;
    if (gst_app_src_push_buffer(GST_APP_SRC(src), buffer) != GST_FLOW_OK)
      error = "the video pipeline stopped taking frames";
  }
  if (error.empty()) {
    gst_app_src_end_of_stream(GST_APP_SRC(src));
    bool eos = false;
    error = TakeBusError(pipeline.get(), GST_CLOCK_TIME_NONE, &eos);
  }
  gst_element_set_state(pipeline.get(), GST_STATE_NULL);
  return error;
}

int RunSimulate(const std::vector<std::string>& args) {
  SimulateArgs a;
  std::string error;
  if (!ParseArgs(args, a, error)) return Fail(error + "\nusage: zavip-tool " + kUsage);
  std::unique_ptr<skysim::SkySimulator> sim = skysim::SkySimulator::Create(a.sky, error);
  if (!sim) return Fail(error);

  gst_init(nullptr, nullptr);
  error = WriteVideo(*sim, a.format, a.out);
  if (!error.empty()) {
    // A half-written video is of no use; a device or pipe named as --out stays.
    struct stat st {};
    if (stat(a.out.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(a.out.c_str());
    return Fail("cannot write " + a.out + ": " + error);
  }
  if (!a.truth.empty()) {
    std::ofstream file(a.truth, std::ios::binary | std::ios::trunc);
    file << skysim::TruthToJson(sim->truth());
    file.close();
    if (!file) return Fail("cannot write " + a.truth + ": " + std::strerror(errno));
  }
  int meteors = 0;
  for (const auto& e : sim->truth().events) meteors += e.kind == skysim::EventKind::Meteor;
  std::printf("%s: %d frames %dx%d %s at %g fps, scenario %s, seed %llu, %d meteors, %zu events\n",
              a.out.c_str(), a.sky.frames, a.sky.width, a.sky.height, Info(a.format).raw_caps,
              a.sky.fps, a.sky.scenario.c_str(), static_cast<unsigned long long>(a.sky.seed),
              meteors, sim->truth().events.size());
  return 0;
}

const CommandRegistrar kRegistrar({"simulate", kUsage, RunSimulate});

}  // namespace
}  // namespace orvanta::tool
