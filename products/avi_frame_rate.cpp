#include "products/avi_frame_rate.h"

#include <cstring>

#include "app/file_owner.h"

namespace orvanta {
namespace {

constexpr long kMicroSecPerFrameAt = 32;
constexpr long kScaleAt = 128;
constexpr long kRateAt = 132;

bool Tag(const uint8_t* h, size_t at, const char* tag) {
  return std::memcmp(h + at, tag, 4) == 0;
}

bool Put32(std::FILE* f, long at, uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                        static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
  return std::fseek(f, at, SEEK_SET) == 0 && std::fwrite(b, 1, 4, f) == 4;
}

}  // namespace

AviFix FixAviFrameRate(const std::string& path, int32_t us) {
  UniqueFile file = OpenFile(path, "r+b");
  if (!file) return {AviFixOutcome::CannotOpen, "cannot open " + path};
  uint8_t h[kRateAt + 4];
  const bool layout = std::fread(h, 1, sizeof h, file.get()) == sizeof h && Tag(h, 0, "RIFF") &&
                      Tag(h, 8, "AVI ") && Tag(h, 12, "LIST") && Tag(h, 20, "hdrl") &&
                      Tag(h, 24, "avih") && Tag(h, 88, "LIST") && Tag(h, 96, "strl") &&
                      Tag(h, 100, "strh") && Tag(h, 108, "vids");
  if (!layout) return {AviFixOutcome::NotAvi, ""};
  const uint32_t u = static_cast<uint32_t>(us);
  const bool ok = Put32(file.get(), kMicroSecPerFrameAt, u) &&
                  Put32(file.get(), kScaleAt, 10u * u) && Put32(file.get(), kRateAt, 10000000u);
  if (!CloseChecked(file) || !ok) return {AviFixOutcome::CannotOpen, "cannot write " + path};
  return {AviFixOutcome::Fixed, ""};
}

}  // namespace orvanta
