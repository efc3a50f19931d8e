// Frames per second of the detection core's frame path over synthetic night-sky frames, beside
// the floor no implementation gets under: copying the frame into the ring and reading the
// reference frame.
//
//   FramePath/<fourcc>/<W>x<H>/idle       station defaults, no clip: star masking every frame
//   FramePath/<fourcc>/<W>x<H>/recording  station defaults, a clip running: peak hold and text
//   FramePath/<fourcc>/<W>x<H>/plain      tracking, masking, noise tracking and peak hold off
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "detectfilter/core/detect_core.h"
#include "tests/support/frames.h"
#include "tests/support/test_station.h"

namespace orvanta::detect {
namespace {

constexpr int kDistinctFrames = 6;

enum class Mode { Idle, Recording, Plain };

std::vector<std::vector<uint8_t>> SkyFrames(int cx, int cy, PixelFormat format) {
  std::vector<std::vector<uint8_t>> frames;
  for (int k = 0; k < kDistinctFrames; ++k) {
    frames.push_back(testing::Encode(testing::NightSky(cx, cy, k, 1, 7), format));
  }
  return frames;
}

double ProcessCpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

// Frames per wall-clock second: the worker threads do much of the work, so the streaming
// thread's CPU time would overstate the rate. Beside it the CPU time of all threads per frame,
// which does not depend on what else the machine runs.
void ReportFramesPerSecond(benchmark::State& state, double seconds, double cpu_seconds) {
  const double frames = static_cast<double>(state.iterations());
  state.counters["items_per_second"] = benchmark::Counter(seconds > 0 ? frames / seconds : 0);
  state.counters["cpu_ms_per_frame"] =
      benchmark::Counter(frames > 0 ? cpu_seconds * 1e3 / frames : 0);
}

void FramePath(benchmark::State& state, PixelFormat format, int cx, int cy, Mode mode) {
  testing::TestStation st(cx, cy, format, [mode](DetectionBlock& b) {
    if (mode == Mode::Plain) {
      b.so_on = 0;
      b.sm_on = 0;
      b.nt_on = 0;
      b.im_peak = 0;
    }
  });
  auto frames = SkyFrames(cx, cy, format);
  std::vector<uint8_t> live(frames[0].size());
  DetectCore core(testing::SteppingClock{});
  core.SetOutputs(CoreOutputs{[](const OutFrame&) { return true; },
                              [](const OutFrame&) { return true; }, nullptr});
  core.AttachBlock(&st.b());
  core.SetMediaType(VideoFormat{format, cx, cy, 333667});
  core.Run();
  st.b().detect_on = 0;
  st.b().force_rec = mode == Mode::Recording;
  // Fill the ring once so every frame has its reference and head frames.
  size_t k = 0;
  for (int i = 0; i < st.b().ring_count; ++i, ++k) {
    std::memcpy(live.data(), frames[k % kDistinctFrames].data(), live.size());
    core.ReceiveVideo(live.data(), live.size(), SampleTimes{});
  }
  double seconds = 0;
  double cpu_seconds = 0;
  for (auto _ : state) {
    // The live image is written on (overlays), so each frame starts from a fresh copy.
    state.PauseTiming();
    std::memcpy(live.data(), frames[k++ % kDistinctFrames].data(), live.size());
    state.ResumeTiming();
    const double cpu_start = ProcessCpuSeconds();
    auto start = std::chrono::steady_clock::now();
    core.ReceiveVideo(live.data(), live.size(), SampleTimes{});
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu_seconds += ProcessCpuSeconds() - cpu_start;
  }
  if (!core.running() || (mode == Mode::Recording) != (st.b().rec_remain > 0)) {
    state.SkipWithError("the core left the intended state");
  }
  ReportFramesPerSecond(state, seconds, cpu_seconds);
}

// What every implementation must do per frame: copy the frame into the ring and read the
// reference frame.
void MemoryFloor(benchmark::State& state, PixelFormat format, int cx, int cy) {
  testing::TestStation st(cx, cy, format);
  auto frames = SkyFrames(cx, cy, format);
  const size_t bytes = frames[0].size();
  const int ring = st.b().ring_count;
  int pos = 0;
  size_t k = 0;
  auto start = std::chrono::steady_clock::now();
  const double cpu_start = ProcessCpuSeconds();
  for (auto _ : state) {
    uint8_t* slot = st.b().frames[pos];
    std::memcpy(slot, frames[k++ % kDistinctFrames].data(), bytes);
    const uint8_t* ref = st.b().frames[pos == 0 ? ring - 1 : pos - 1];
    uint8_t acc = 0;
    for (size_t i = 0; i < bytes; ++i) acc |= ref[i];
    benchmark::DoNotOptimize(acc);
    pos = pos + 1 == ring ? 0 : pos + 1;
  }
  ReportFramesPerSecond(
      state, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
      ProcessCpuSeconds() - cpu_start);
}

struct Size {
  int cx, cy;
};

int Register() {
  const PixelFormat formats[] = {PixelFormat::YUY2, PixelFormat::I420};
  const Size sizes[] = {{1920, 1080}, {2560, 1440}, {3840, 2160}};
  const std::pair<Mode, const char*> modes[] = {
      {Mode::Idle, "idle"}, {Mode::Recording, "recording"}, {Mode::Plain, "plain"}};
  for (PixelFormat format : formats) {
    const char* fourcc = Info(format).name;
    for (Size size : sizes) {
      std::string dims = std::to_string(size.cx) + "x" + std::to_string(size.cy);
      for (auto [mode, option] : modes) {
        std::string name = std::string("FramePath/") + fourcc + "/" + dims + "/" + option;
        benchmark::RegisterBenchmark(name.c_str(), FramePath, format, size.cx, size.cy, mode)
            ->Unit(benchmark::kMillisecond);
      }
      std::string name = std::string("MemoryFloor/") + fourcc + "/" + dims;
      benchmark::RegisterBenchmark(name.c_str(), MemoryFloor, format, size.cx, size.cy)
          ->Unit(benchmark::kMillisecond);
    }
  }
  return 0;
}

const int registered = Register();

}  // namespace
}  // namespace orvanta::detect

BENCHMARK_MAIN();
