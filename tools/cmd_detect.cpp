// zavip-tool detect: the station's detection over a video file, as fast as it decodes.
// The file is read once from start to end through the same live graph, detection filter
// and end-of-clip sequence as the station, with the graph running on between clips. Frames
// are stamped from their stream time (from --start, default the file's modification time),
// and every clip is written under the output directory as the station writes it.
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app_params.h"
#include "app/messages.h"
#include "app/text_utf.h"
#include "capture/capture_state.h"
#include "capture/headless_station.h"
#include "capture/live_graph.h"
#include "capture/media/cnv2yu_element.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

struct VideoFacts {
  int width = 0;
  int height = 0;
  double fps = 0;
};

bool Discover(const std::string& path, VideoFacts* facts, std::string* error) {
  GError* err = nullptr;
  GstDiscoverer* discoverer = gst_discoverer_new(30 * GST_SECOND, &err);
  if (!discoverer) {
    *error = err ? err->message : "no discoverer";
    if (err) g_error_free(err);
    return false;
  }
  gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
  GstDiscovererInfo* info = gst_discoverer_discover_uri(discoverer, uri, &err);
  g_free(uri);
  bool ok = false;
  if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
    GList* streams = gst_discoverer_info_get_video_streams(info);
    if (streams) {
      auto* video = GST_DISCOVERER_VIDEO_INFO(streams->data);
      facts->width = static_cast<int>(gst_discoverer_video_info_get_width(video));
      facts->height = static_cast<int>(gst_discoverer_video_info_get_height(video));
      const unsigned n = gst_discoverer_video_info_get_framerate_num(video);
      const unsigned d = gst_discoverer_video_info_get_framerate_denom(video);
      facts->fps = d ? static_cast<double>(n) / d : 0;
      ok = facts->width > 0 && facts->height > 0;
    }
    gst_discoverer_stream_info_list_free(streams);
  }
  if (!ok) *error = err ? err->message : "no video stream";
  if (err) g_error_free(err);
  if (info) g_object_unref(info);
  g_object_unref(discoverer);
  return ok;
}

// "YYYY-MM-DDTHH:MM:SS[.mmm]" read as the frame clock's reading, in milliseconds.
bool ParseStart(const std::string& text, int64_t* ms) {
  int y, mo, d, h, mi;
  double s;
  if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%lf", &y, &mo, &d, &h, &mi, &s) != 6 &&
      std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%lf", &y, &mo, &d, &h, &mi, &s) != 6)
    return false;
  std::tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = static_cast<int>(s);
  const int64_t sec = timegm(&t);
  *ms = sec * 1000 + static_cast<int64_t>((s - static_cast<int>(s)) * 1000 + 0.5);
  return true;
}

// What the tool follows of the detection, from pad probes on the detection filter.
struct Tracker {
  DetectionBlock* ib = nullptr;
  int64_t start_ms = 0;  // frame clock at stream time 0
  double fps = 25;
  std::atomic<bool> stopping{false};
  std::mutex mu;
  int64_t frame = 0;      // source frame number of the next input frame
  int64_t run_start = 0;  // first frame since the filter last ran
  bool in_clip = false;
  int64_t clip_first = 0;
  int64_t delivered = 0;  // clip frames that left on the recording output
};

GstPadProbeReturn OnInput(GstPad*, GstPadProbeInfo* info, gpointer data) {
  auto* t = static_cast<Tracker*>(data);
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  DetectionBlock& ib = *t->ib;
  // After a clip the filter waits for the host to run it again; the file waits too, so no
  // frame passes undetected while the clip is finished.
  if (ib.end_status != 0) {
    while (ib.end_status != 0 && !t->stopping.load())
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    std::lock_guard lock(t->mu);
    t->run_start = t->frame;
    t->in_clip = false;
    t->delivered = 0;
  }
  std::lock_guard lock(t->mu);
  const int64_t k = t->frame++;
  // The block holds the state after the previous frame: a new recording shows how far
  // back its first frame lies (rec_remain = fs_tail + frames back to the first).
  if (!t->in_clip && ib.rec_remain >= 1 && k > 0) {
    t->in_clip = true;
    const int64_t trigger = k - 1;
    const int64_t back = ib.rec_remain - ib.fs_tail;
    t->clip_first = std::max(trigger - back + 1, t->run_start);
  }
  // The frame's arrival clock is its stream time: the host's clock offsets are set so
  // that the system clock, read by the filter right after this, gives that time.
  const int64_t pts = GST_BUFFER_PTS_IS_VALID(buffer)
                          ? static_cast<int64_t>(GST_BUFFER_PTS(buffer) / GST_MSECOND)
                          : static_cast<int64_t>(k * 1000 / t->fps);
  const int64_t want = t->start_ms + pts;
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const int64_t now_ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  ib.time_offset = now_ms / 1000 - want / 1000;
  ib.si_offset = static_cast<int32_t>(want % 1000 - now_ms % 1000);
  return GST_PAD_PROBE_OK;
}

GstPadProbeReturn OnCapture(GstPad*, GstPadProbeInfo*, gpointer data) {
  auto* t = static_cast<Tracker*>(data);
  std::lock_guard lock(t->mu);
  ++t->delivered;
  return GST_PAD_PROBE_OK;
}

int RunDetect(const std::vector<std::string>& args) {
  std::string source, out, settings, start;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* into) {
      if (i + 1 >= args.size()) return false;
      *into = args[++i];
      return true;
    };
    bool ok = a == "--source"     ? value(&source)
              : a == "--out"      ? value(&out)
              : a == "--settings" ? value(&settings)
              : a == "--start"    ? value(&start)
                                  : false;
    if (!ok) return Fail("unknown or incomplete option " + a);
  }
  if (source.empty() || out.empty())
    return Fail("usage: detect --source VIDEO --out DIR [--settings FILE] [--start ISO-8601]");
  struct stat st {};
  if (::stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    return Fail("cannot read " + source);
  std::error_code ec;
  std::filesystem::create_directories(out, ec);
  if (!std::filesystem::is_directory(out)) return Fail("cannot make " + out);
  source = std::filesystem::absolute(source).string();
  out = std::filesystem::absolute(out).string();

  gst_init(nullptr, nullptr);
  media::RegisterCnv2yu();
  VideoFacts video;
  std::string error;
  if (!Discover(source, &video, &error)) return Fail("cannot decode " + source + ": " + error);

  AppContext& app = TheApp();
  SetDefaults(app);
  char cwd[4096] = {};
  app.state.startupDir = ::getcwd(cwd, sizeof cwd - 1) ? cwd : ".";
  if (!settings.empty()) {
    app.state.settingsFileName = settings;
    if (!LoadSettings(app)) return Fail("cannot read settings " + settings);
  }
  DetectionBlock& ib = app.ib;
  AppParams& ap = app.ap;
  // The video's own size and rate, unless a settings file fixes them.
  if (settings.empty()) {
    ib.cx = video.width;
    ib.cy = video.height;
  }
  if (settings.empty() || ib.fps < 0.01) ib.fps = video.fps;
  ib.filterinmode = 1;
  ib.rtspinmode = 0;
  ib.continuousdetection = 1;
  SetField(ap.dv_v_s_filter, u"filesrc");
  if (settings.empty()) SetField(ap.dv_v_s_decoder, u"--");  // a settings file may name one
  SetField(ap.dv_audio_device, u"--");
  SetField(ap.infname, Utf8ToUtf16(source));
  SetField(ap.inputname, Utf8ToUtf16(source));
  SetField(ap.db_dir, Utf8ToUtf16(out));
  ap.action = 0;
  ap.ftp_on = 0;

  int64_t start_ms = 0;
  if (!start.empty()) {
    if (!ParseStart(start, &start_ms)) return Fail("cannot read the start time " + start);
  } else {
    // The file's modification time on the frame clock.
    const int64_t offset = ib.si_utc ? 0 : app.state.tz_bias;
    start_ms =
        (static_cast<int64_t>(st.st_mtim.tv_sec) - offset) * 1000 + st.st_mtim.tv_nsec / 1000000;
  }

  int qt_argc = 1;
  char name[] = "zavip-tool";
  char* qt_argv[] = {name, nullptr};
  QCoreApplication qapp(qt_argc, qt_argv);

  Tracker tracker;
  tracker.ib = &ib;
  tracker.start_ms = start_ms;
  tracker.fps = video.fps > 0 ? video.fps : 25;
  capture::CaptureState state;
  state.live_image.Resize(ib.cx, ib.cy);
  int64_t clips = 0;
  capture::HeadlessOptions options;
  options.save_settings = false;
  options.use_schedule = false;
  options.customize = [&](capture::CaptureHooks& hooks) {
    hooks.realtime_preview = false;
    hooks.graph_stopping = [&tracker] { tracker.stopping = true; };
    hooks.clip_finished = [&](const std::string& path) {
      std::lock_guard lock(tracker.mu);
      const int64_t first = tracker.clip_first;
      std::printf("clip %s trig=%d frames=%lld first=%lld last=%lld\n", path.c_str(), ib.trig_kind,
                  static_cast<long long>(tracker.delivered), static_cast<long long>(first),
                  static_cast<long long>(first + tracker.delivered - 1));
      std::fflush(stdout);
      ++clips;
    };
  };
  options.graph_built = [&tracker](capture::LiveGraph& graph) {
    tracker.stopping = false;
    GstElement* zav = graph.detection_filter();
    if (!zav) return;
    GstPad* in = gst_element_get_static_pad(zav, "Input");
    GstPad* capture = gst_element_get_static_pad(zav, "Output2");
    if (in) {
      gst_pad_add_probe(in, GST_PAD_PROBE_TYPE_BUFFER, OnInput, &tracker, nullptr);
      gst_object_unref(in);
    }
    if (capture) {
      gst_pad_add_probe(capture, GST_PAD_PROBE_TYPE_BUFFER, OnCapture, &tracker, nullptr);
      gst_object_unref(capture);
    }
  };
  const auto t0 = std::chrono::steady_clock::now();
  const int status = capture::RunHeadlessStation(app, state, options);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("detect: %lld clips, %lld frames in %.2f s (%.1f frames/s)\n",
              static_cast<long long>(clips), static_cast<long long>(tracker.frame), seconds,
              seconds > 0 ? static_cast<double>(tracker.frame) / seconds : 0.0);
  return status;
}

const CommandRegistrar kDetect({"detect",
                                "detect --source VIDEO --out DIR [--settings FILE] [--start "
                                "ISO-8601]",
                                RunDetect});

}  // namespace
}  // namespace orvanta::tool
