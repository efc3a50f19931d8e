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
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/app_params.h"
#include "app/messages.h"
#include "app/settings_ranges.h"
#include "app/text_utf.h"
#include "capture/capture_state.h"
#include "capture/finished_clip.h"
#include "capture/host_sizing.h"
#include "capture/live_graph.h"
#include "capture/media/cnv2yu_element.h"
#include "detectfilter/shared_field.h"
#include "station/headless_station.h"
#include "tools/tool_args.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

struct VideoFacts {
  int width = 0;
  int height = 0;
  double fps = 0;
  int64_t frames = 0;  // from the duration; 0 when the file does not say
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
      const GstClockTime duration = gst_discoverer_info_get_duration(info);
      if (GST_CLOCK_TIME_IS_VALID(duration) && facts->fps > 0)
        facts->frames =
            static_cast<int64_t>(static_cast<double>(duration) / GST_SECOND * facts->fps);
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

// What the tool follows of the detection, from a pad probe on the detection filter's input
// (it runs on the streaming thread right before the filter takes each frame).
//
// What the filter examines never depends on how fast the machine is:
// - starting: the first frame waits until the filter runs (the preview needs no frame to
//   get the graph going), so that no frame passes unexamined;
// - priming: with detection disarmed, the first seconds of the file go through the
//   station's warm-up: they settle the long-term averages and the star mask, and the noise
//   level starts from the warm-up's last frames, as on a live station (from the first
//   frames, before the star mask holds, it would start far too high and fall for minutes);
// - detecting: after a flushing seek, the whole file from its first frame with detection
//   armed, the ring starting empty. A meteor in the first second of a short clip is thus
//   found.
struct Tracker {
  DetectionBlock* ib = nullptr;
  GstPad* input = nullptr;  // the filter's video input, to seek through
  enum class Phase { kStarting, kPriming, kDetecting };
  Phase phase = Phase::kStarting;
  bool seeking = false;
  int64_t prime_frames = 0;  // the station's warm-up
  std::mutex mu;
  int64_t frame = 0;  // number of the next input frame of this pass
  bool started = false;
  std::deque<int64_t> clip_first;  // first frame of each clip triggered and not yet listed
};

void SeekToStart(Tracker* t) {
  t->seeking = true;
  GstElement* filter = gst_pad_get_parent_element(t->input);
  // A seek is not made from the streaming thread it flushes.
  gst_element_call_async(
      filter,
      [](GstElement*, gpointer data) {
        auto* t = static_cast<Tracker*>(data);
        gst_pad_push_event(
            t->input, gst_event_new_seek(
                          1.0, GST_FORMAT_TIME,
                          static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                          GST_SEEK_TYPE_SET, 0, GST_SEEK_TYPE_NONE, -1));
      },
      t, nullptr);
  gst_object_unref(filter);
}

GstPadProbeReturn OnEvent(Tracker* t, GstEventType type) {
  if (type == GST_EVENT_EOS && t->seeking) return GST_PAD_PROBE_DROP;  // the seek starts anew
  if (type == GST_EVENT_EOS && t->phase == Tracker::Phase::kPriming) {
    SeekToStart(t);  // a file shorter than the warm-up
    return GST_PAD_PROBE_DROP;
  }
  if (t->seeking && type == GST_EVENT_FLUSH_STOP) {
    std::lock_guard lock(t->mu);
    t->phase = Tracker::Phase::kDetecting;
    t->seeking = false;
    t->frame = 0;
    t->started = false;
  }
  return GST_PAD_PROBE_OK;
}

GstPadProbeReturn OnInput(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
  auto* t = static_cast<Tracker*>(data);
  DetectionBlock& ib = *t->ib;
  if (GST_PAD_PROBE_INFO_TYPE(info) &
      (GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_EVENT_FLUSH))
    return OnEvent(t, GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)));
  if (t->seeking) return GST_PAD_PROBE_DROP;
  // The warm-up is the priming pass's business, whatever the page's actions set: it counts
  // down the priming frames left, so the noise level follows only the last of them.
  StoreShared(ib.warmup,
              t->phase == Tracker::Phase::kDetecting
                  ? 0
                  : static_cast<int32_t>(std::max<int64_t>(t->prime_frames - t->frame, 0)));
  switch (t->phase) {
    case Tracker::Phase::kStarting: {
      GstElement* filter = GST_ELEMENT(GST_PAD_PARENT(pad));
      for (;;) {
        GstState state = GST_STATE_NULL;
        gst_element_get_state(filter, &state, nullptr, 0);
        if (state == GST_STATE_PLAYING) break;
        GST_OBJECT_LOCK(filter);
        const bool going_down = GST_STATE_TARGET(filter) < GST_STATE_PAUSED;
        GST_OBJECT_UNLOCK(filter);
        if (going_down || GST_PAD_IS_FLUSHING(pad)) return GST_PAD_PROBE_DROP;
        g_usleep(1000);
      }
      t->phase = Tracker::Phase::kPriming;
      [[fallthrough]];
    }
    case Tracker::Phase::kPriming:
      if (t->frame >= t->prime_frames) {
        SeekToStart(t);
        return GST_PAD_PROBE_DROP;
      }
      ++t->frame;
      StoreShared(ib.detect_on, 0);
      return GST_PAD_PROBE_OK;
    case Tracker::Phase::kDetecting:
      break;
  }
  // Once a stop is asked for, the clip being recorded is ended and no new one may start.
  if (station::HeadlessStopSignal() == 0) StoreShared(ib.detect_on, 1);
  std::lock_guard lock(t->mu);
  const int64_t k = t->frame++;
  // The block holds the state after the previous frame: a new clip shows how far back its
  // first frame lies (rec_remain = fs_tail + frames back to the first).
  const bool started = LoadShared(ib.clip_started) != 0;
  if (started && !t->started && k > 0) {
    const int64_t trigger = k - 1;
    const int64_t back = LoadShared(ib.rec_remain) - ib.fs_tail;
    t->clip_first.push_back(std::max<int64_t>(trigger - back + 1, 0));
  }
  t->started = started;
  return GST_PAD_PROBE_OK;
}

int RunDetect(const std::vector<std::string>& args) {
  std::string source, out, settings, start;
  const std::string bad_option =
      ReadOptions(args, {}, [&](const std::string& option, const std::string& value) {
        std::string* into = option == "--source"     ? &source
                            : option == "--out"      ? &out
                            : option == "--settings" ? &settings
                            : option == "--start"    ? &start
                                                     : nullptr;
        if (!into) return UnknownOption(option);
        *into = value;
        return std::string();
      });
  if (!bad_option.empty()) return Fail(bad_option);
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
  if (!FrameSizeTaken(video.width, video.height))
    return Fail(source + ": " + FrameSizeRefusal(video.width, video.height));

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
  // The file's own frame size and rate win over any in the settings.
  ib.cx = video.width;
  ib.cy = video.height;
  if (video.fps >= 0.01) ib.fps = video.fps;
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
    const std::optional<int64_t> parsed = ParseClockTime(start);
    if (!parsed) return Fail("--start " + start + " is not " + kClockTimeForm);
    start_ms = *parsed;
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
  tracker.prime_frames = capture::SizeHostBuffers(ib, false, ap.smspeed).warmup;
  // A file shorter than the warm-up primes with all of it.
  if (video.frames > 0) tracker.prime_frames = std::min(tracker.prime_frames, video.frames);
  capture::CaptureState state;
  state.live_image.Resize(ib.cx, ib.cy);
  int64_t clips = 0;
  station::HeadlessOptions options;
  options.save_settings = false;
  options.use_schedule = false;
  options.detect_at_start = false;  // the probe arms detection once the filter is primed
  options.signal_status = true;
  options.customize = [&](capture::CaptureHooks& hooks) {
    hooks.realtime_preview = false;
    hooks.make_preview_sink = [] {
      GstElement* sink = gst_element_factory_make("fakesink", nullptr);
      if (sink) g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
      return sink;
    };
    hooks.clip_finished = [&](const std::string& path, const capture::FinishedClip& clip) {
      int64_t first = 0;
      {
        std::lock_guard lock(tracker.mu);
        if (!tracker.clip_first.empty()) {
          first = tracker.clip_first.front();
          tracker.clip_first.pop_front();
        }
      }
      std::printf("clip %s trig=%d frames=%d first=%lld last=%lld\n", path.c_str(),
                  clip.block.trig_kind, clip.delivered, static_cast<long long>(first),
                  static_cast<long long>(first + clip.delivered - 1));
      std::fflush(stdout);
      ++clips;
    };
  };
  options.graph_built = [&tracker, &ib, start_ms](capture::LiveGraph& graph) {
    GstElement* zav = graph.detection_filter();
    if (!zav) return;
    // Frames are stamped from their stream time, read from --start (or the file's time):
    // the same file gives the same stamps, names and records on every run.
    g_object_set(zav, "stream-clock",
                 static_cast<gint64>(start_ms + ib.time_offset * 1000 - ib.si_offset), nullptr);
    GstPad* in = gst_element_get_static_pad(zav, "Input");
    if (!in) return;
    tracker.input = in;
    gst_pad_add_probe(in,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER |
                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                                   GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                      OnInput, &tracker, nullptr);
    gst_object_unref(in);
  };
  const auto t0 = std::chrono::steady_clock::now();
  const int status = station::RunHeadlessStation(app, state, options);
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
