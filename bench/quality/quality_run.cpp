#include "bench/quality/quality_run.h"

#include <chrono>
#include <cmath>

#include "app/clip_kinds.h"
#include "bench/quality/bench_host.h"
#include "detectfilter/core/detect_core.h"

namespace orvanta::quality {

namespace {
using Seconds = std::chrono::duration<double>;
using SteadyClock = std::chrono::steady_clock;

// The trigger frame's hits, at most `limit` of them.
std::vector<HitPixel> HitPixels(const DetectionBlock& b, size_t limit) {
  std::vector<HitPixel> hits;
  const size_t pixels = static_cast<size_t>(b.cx) * b.cy;
  for (size_t i = 0; i < pixels && hits.size() < limit; ++i)
    if (b.hit_map[i]) hits.push_back({static_cast<int>(i % b.cx), static_cast<int>(i / b.cx)});
  return hits;
}
}  // namespace

RunResult RunScenario(const RunOptions& o) {
  RunResult result;
  skysim::SkyConfig sky;
  sky.width = o.width;
  sky.height = o.height;
  sky.fps = o.fps;
  sky.frames = std::max(1, static_cast<int>(std::lround(o.seconds * o.fps)));
  sky.seed = o.seed;
  sky.scenario = o.scenario;
  sky.settle_seconds = o.settle_seconds;
  auto sim = skysim::SkySimulator::Create(sky, result.error);
  if (!sim) return result;
  result.truth = sim->truth();

  auto host = BenchHost::Create({o.width, o.height, o.format, o.settings}, result.error);
  if (!host) return result;
  DetectionBlock& b = host->block();

  // Frames arrive on the simulated clock, one frame period apart.
  const int64_t epoch_ms = 1765324800000;  // 2025-12-10 00:00 UTC
  int64_t now_ms = epoch_ms;
  detect::DetectCore core([&now_ms] {
    return detect::FrameTime{now_ms / 1000, static_cast<int32_t>(now_ms % 1000)};
  });

  // Which input frame each ring slot holds, to tell the frames of a clip.
  std::vector<int> slot_frame(b.ring_count, -1);
  int slot = 0;
  ClipRecord clip;
  detect::CoreOutputs outputs;
  outputs.preview = [](const detect::OutFrame&) { return true; };
  outputs.capture = [&](const detect::OutFrame& out) {
    for (int k = 0; k < b.ring_count; ++k) {
      if (b.frames[k] != out.data) continue;
      const int f = slot_frame[k];
      if (clip.first_frame < 0) clip.first_frame = f;
      clip.last_frame = f;
    }
    return true;
  };
  // The end of a clip: the station finishes its files while detection goes on.
  outputs.clip_end = [&] {
    clip.end_status = b.end_status;
    result.clips.push_back(std::move(clip));
    clip = ClipRecord{};
  };
  core.SetOutputs(outputs);
  if (core.AttachBlock(&b) != kZavipfVersion) {
    result.error = "the detection core answers another interface version";
    return result;
  }
  const int64_t duration = static_cast<int64_t>(std::llround(1e7 / o.fps));
  if (!core.SetMediaType({o.format, o.width, o.height, duration})) {
    result.error = "the detection core refuses the format";
    return result;
  }
  b.detect_on = 1;
  b.host_thread_id = 1;
  core.Run();

  std::vector<uint8_t> frame(
      static_cast<size_t>(FrameBytes(o.format, int64_t{o.width} * o.height)));
  for (int i = 0; i < sky.frames; ++i) {
    now_ms = epoch_ms + static_cast<int64_t>(std::llround(i * 1000.0 / o.fps));
    const auto t0 = SteadyClock::now();
    sim->Render(i, o.format, frame.data());
    const auto t1 = SteadyClock::now();
    detect::SampleTimes times;
    times.has_times = true;
    times.start = i * duration;
    times.stop = times.start + duration;
    slot_frame[slot] = i;
    const bool was_started = b.clip_started != 0;
    core.ReceiveVideo(frame.data(), frame.size(), times);
    result.core_seconds += Seconds(SteadyClock::now() - t1).count();
    result.render_seconds += Seconds(t1 - t0).count();
    ++result.frames_processed;
    slot = (slot + 1) % b.ring_count;
    if (!was_started && b.clip_started) {
      clip.trigger_frame = i;
      clip.trigger_hits = HitPixels(b, 20000);
    }
  }
  if (b.clip_started) {  // a clip still recording when the video ends
    clip.end_status = kClipNone;
    result.clips.push_back(std::move(clip));
  }
  result.final_dlev = b.dlev;
  result.deliver_errors = b.deliver_errors;
  return result;
}

}  // namespace orvanta::quality
