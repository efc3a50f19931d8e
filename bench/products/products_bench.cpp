// The end-of-clip images at the default frame size: the graph stays stopped
// while they are made, so their time is a gap in the watch.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "products/bmp_file.h"
#include "products/compose_image.h"
#include "products/jpeg_file.h"
#include "products/thumbnail.h"

namespace orvanta {
namespace {

constexpr int kCx = 2560;
constexpr int kCy = 1440;

std::vector<uint8_t> Noise(size_t n) {
  std::vector<uint8_t> v(n);
  uint32_t x = 12345;
  for (uint8_t& b : v) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(x >> 24);
  }
  return v;
}

void BM_ComposeSnapshot(benchmark::State& state, PixelFormat format) {
  const std::vector<uint8_t> frame =
      Noise(static_cast<size_t>(FrameBytes(format, int64_t{kCx} * kCy)));
  Image24 image;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ComposeFrameImage(format, frame.data(), frame.size(), kCx, kCy, image));
    benchmark::ClobberMemory();
  }
}
BENCHMARK_CAPTURE(BM_ComposeSnapshot, YUY2, PixelFormat::YUY2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ComposeSnapshot, I420, PixelFormat::I420)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ComposeSnapshot, RGB24, PixelFormat::RGB24)->Unit(benchmark::kMillisecond);

void BM_ComposeMap(benchmark::State& state) {
  auto block = std::make_unique<DetectionBlock>();
  std::vector<uint8_t> hit = Noise(kCx * kCy), mask = Noise(kCx * kCy);
  std::vector<uint32_t> avr(kCx * kCy, 16384 * 40);
  block->cx = kCx;
  block->cy = kCy;
  block->pixels = kCx * kCy;
  block->sm_on = 1;
  block->hit_map = hit.data();
  block->mask = mask.data();
  block->avr_map = avr.data();
  Image24 image;
  for (auto _ : state) benchmark::DoNotOptimize(ComposeMapImage(*block, image));
}
BENCHMARK(BM_ComposeMap)->Unit(benchmark::kMillisecond);

Image24 Picture() {
  Image24 image;
  image.Resize(kCx, kCy);
  // A smooth sky with noise compresses like a real frame, not like pure noise.
  const std::vector<uint8_t> noise = Noise(image.bgr.size());
  for (size_t i = 0; i < image.bgr.size(); ++i) image.bgr[i] = 30 + (noise[i] & 15);
  return image;
}

void BM_EncodeBmp(benchmark::State& state) {
  const Image24 image = Picture();
  for (auto _ : state) benchmark::DoNotOptimize(EncodeBmp24(image));
}
BENCHMARK(BM_EncodeBmp)->Unit(benchmark::kMillisecond);

void BM_EncodeJpeg80(benchmark::State& state) {
  const Image24 image = Picture();
  for (auto _ : state) benchmark::DoNotOptimize(EncodeJpeg(image, kStillJpegQuality));
}
BENCHMARK(BM_EncodeJpeg80)->Unit(benchmark::kMillisecond);

void BM_Thumbnail(benchmark::State& state) {
  const Image24 image = Picture();
  const std::vector<uint8_t> hits(kCx * kCy, 0);
  const ThumbnailOptions options{static_cast<int>(state.range(0)), 150, true, true};
  for (auto _ : state) benchmark::DoNotOptimize(ReduceToThumbnail(image, hits.data(), options));
}
BENCHMARK(BM_Thumbnail)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvanta

BENCHMARK_MAIN();
