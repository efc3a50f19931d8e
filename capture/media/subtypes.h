// The media subtypes the station knows: their ids as kept in the shared block, their raw
// video caps format, and how many bytes one frame buffer of each needs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "detectfilter/zavipf.h"

namespace orvanta::media {

enum class Subtype { Null, UYVY, YUY2, NV12, I420, IYUV, YV12, DVSD, RGB24, RGB32, Y800, RGB8 };

struct SubtypeInfo {
  Subtype subtype;
  const char* name;         // the format's name ("YUY2", "RGB24", ...)
  const char* caps_format;  // GStreamer raw video format, "" for DV and the null subtype
  Guid guid;
};

const SubtypeInfo& Info(Subtype subtype);
Guid SubtypeGuid(Subtype subtype);
std::optional<Subtype> SubtypeFromGuid(const Guid& guid);
// Raw video caps format ("YUY2", "BGR", ...) -> subtype; "video/x-dv" is handled by callers.
std::optional<Subtype> SubtypeFromCapsFormat(std::string_view format);
bool SameGuid(const Guid& a, const Guid& b);

// Bytes of one frame buffer of `pixels` pixels in this subtype: 1 for Y800 and RGB8,
// 1.5 for the 4:2:0 formats, 3 for RGB24, 4 for RGB32, 2 for everything else.
int64_t FrameBytes(const Guid& subtype, int64_t pixels);

// The forced-format names of the input page. `red_mode` is 1 for the "R" names.
struct ForcedFormat {
  bool automatic = false;  // empty name or a name beginning with 'a'
  Subtype subtype = Subtype::Null;
  int red_mode = 0;
};
// nullopt: a name that is not in the table.
std::optional<ForcedFormat> ParseForcedFormat(std::string_view name);

}  // namespace orvanta::media
