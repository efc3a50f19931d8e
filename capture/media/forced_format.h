// The forced-format names of the input page: a subtype's name from the pixel-format table, a
// red-signal name ("yuy2R", "uyvyR"), or automatic.
#pragma once

#include <optional>
#include <string_view>

#include "detectfilter/pixel_format.h"

namespace orvanta::media {

struct ForcedFormat {
  bool automatic = false;  // empty name or a name beginning with 'a'
  PixelFormat format = PixelFormat::Null;
  int red_mode = 0;  // 1 for the red-signal names
};
// nullopt: a name that is not in the table.
std::optional<ForcedFormat> ParseForcedFormat(std::string_view name);

}  // namespace orvanta::media
