// Time of one step forward and one step back by frame in the replay engine, as the replay
// page's buttons make them: a 2560x1440 raw YUY2 clip and the same sky compressed to H.264
// by x264enc with its default settings (one key frame at the start of a short clip, so a
// step back has to decode from that key frame up to the frame before).
//
// The clips are made once under $ORVANTA_BENCH_DIR (default /tmp/orvanta_replay_bench).
#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/messages.h"
#include "replay/replay_engine.h"

namespace fs = std::filesystem;

namespace orvanta::replay {
namespace {

constexpr int kFrames = 75;  // three seconds at 25 frames per second

fs::path BenchDir() {
  const char* dir = std::getenv("ORVANTA_BENCH_DIR");
  return dir ? fs::path(dir) : fs::temp_directory_path() / "orvanta_replay_bench";
}

std::string RawClip() {
  const fs::path clip = BenchDir() / "sky2560.avi";
  if (fs::exists(clip)) return clip.string();
  fs::create_directories(BenchDir());
  const std::string command = std::string(ORVANTA_TOOL_PATH) + " simulate --out '" + clip.string() +
                              "' --width 2560 --height 1440 --fps 25 --seconds 3 --seed 7 "
                              "--format YUY2 > /dev/null";
  if (std::system(command.c_str()) != 0) return "";
  return clip.string();
}

std::string H264Clip() {
  const fs::path clip = BenchDir() / "sky2560_h264.avi";
  if (fs::exists(clip)) return clip.string();
  const std::string raw = RawClip();
  if (raw.empty()) return "";
  const fs::path part = clip.string() + ".part";
  gchar* desc = g_strdup_printf(
      "filesrc location=\"%s\" ! avidemux ! videoconvert ! x264enc ! avimux ! filesink "
      "location=\"%s\"",
      raw.c_str(), part.c_str());
  GstElement* pipeline = gst_parse_launch(desc, nullptr);
  g_free(desc);
  if (!pipeline) return "";
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(pipeline);
  GstMessage* end = gst_bus_timed_pop_filtered(
      bus, GST_CLOCK_TIME_NONE, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const bool ok = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
  if (end) gst_message_unref(end);
  gst_object_unref(bus);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
  if (!ok) return "";
  fs::rename(part, clip);
  return clip.string();
}

struct Engine {
  explicit Engine(const std::string& clip) : app(std::make_unique<AppContext>()) {
    SetDefaults(app->ap, app->ib, app->rib);
    app->state.startupDir = ZAVIPRF_DIR;
    ReplayHooks hooks;
    hooks.with_sound = false;
    engine = std::make_unique<ReplayEngine>(*app, hooks);
    engine->SetReplayFile(clip);
    engine->Command(kReplaySeek, 0);
  }
  int frame() const { return static_cast<int>(engine->shown_frame() / app->rib.frame_time); }
  std::unique_ptr<AppContext> app;
  std::unique_ptr<ReplayEngine> engine;
};

// Steps through the whole clip and back again; each timed iteration is one step.
void BM_Step(benchmark::State& state, bool forward, std::string (*make_clip)()) {
  const std::string clip = make_clip();
  if (clip.empty()) {
    state.SkipWithError("cannot make the clip");
    return;
  }
  Engine e(clip);
  if (e.engine->state() != kPausedAtChosen) {
    state.SkipWithError("the clip does not play");
    return;
  }
  const int last = kFrames - 1;
  auto restart = [&] {
    e.engine->MoveTo(static_cast<int64_t>(forward ? 0 : last) * e.app->rib.frame_time);
  };
  restart();
  for (auto _ : state) {
    e.engine->Command(forward ? kReplayStepForward : kReplayStepBack);
    const int at = e.frame();
    if ((forward && at >= last) || (!forward && at <= 0)) {
      state.PauseTiming();
      restart();
      state.ResumeTiming();
    }
  }
}

BENCHMARK_CAPTURE(BM_Step, Forward / Raw2560x1440, true, RawClip)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Step, Back / Raw2560x1440, false, RawClip)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Step, Forward / H264_2560x1440, true, H264Clip)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Step, Back / H264_2560x1440, false, H264Clip)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace orvanta::replay

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  orvanta::SetMessageHandler(
      {[](const std::string& text) {
         std::fprintf(stderr, "%s\n", text.c_str());
         return 1;
       },
       [](const std::string& text) { std::fprintf(stderr, "fatal: %s\n", text.c_str()); }});
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
