#include "replayfilter/core/clip_format.h"

#include <cstdlib>

namespace orvanta::replayfilter {
namespace {

constexpr int64_t kShortestDuration = 100000;  // below this a clip's duration is not believed

constexpr uint32_t FourCc(const char (&s)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

}  // namespace

int64_t FrameDurationOfRate(int num, int den) {
  if (num <= 0 || den <= 0) return 0;
  const int64_t scaled = int64_t{10000000} * den;
  return (scaled + num - 1) / num;
}

FrameTiming SettleFrameTime(int64_t offered, int64_t known) {
  FrameTiming t;
  t.frame_time = known;
  t.format_duration = offered;
  if (offered > 0 && known == 0) t.frame_time = offered;
  if (offered == 0 && known > 0) t.format_duration = known;
  if (t.format_duration < kShortestDuration) t.format_duration = kFallbackFrameTime;
  if (t.frame_time < kShortestDuration) t.frame_time = kFallbackFrameTime;
  t.clip_fps = 10000000.0 / static_cast<double>(t.frame_time);
  return t;
}

void FillClipFormat(ReplayBlock& block, PixelFormat format, int width, int height) {
  const PixelFormatInfo& info = Info(format);
  block.clip_width = width;
  block.clip_height = std::abs(height);
  block.clip_pixels = block.clip_width * block.clip_height;
  block.clip_frame_bytes =
      format == PixelFormat::RGB24 ? block.clip_pixels * 3 : block.clip_pixels * 3 / 2;
  block.clip_subtype = info.guid;
  block.compression = format == PixelFormat::RGB24 ? 0 : FourCc("NV12");
  block.bit_count = static_cast<int16_t>(info.bits);
}

}  // namespace orvanta::replayfilter
