#include "capture/media/forced_format.h"

namespace orvanta::media {

std::optional<ForcedFormat> ParseForcedFormat(std::string_view name) {
  if (name.empty() || name[0] == 'a') return ForcedFormat{true, PixelFormat::Null, 0};
  for (const PixelFormatInfo& f : PixelFormats())
    if (f.red_name != nullptr && name == f.red_name) return ForcedFormat{false, f.format, 1};
  const PixelFormat format = PixelFormatOfName(name);
  if (format == PixelFormat::Null || format == PixelFormat::Other) return std::nullopt;
  return ForcedFormat{false, format, 0};
}

}  // namespace orvanta::media
