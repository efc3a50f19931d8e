// CNV2YU: the program's own NV12 -> YUY2 converter element, registered by the program
// itself (no plugin file). Factory name "cnv2yu".
#pragma once

namespace orvanta::media {

inline constexpr const char* kCnv2yuFactory = "cnv2yu";
inline constexpr const char* kCnv2yuClassId = "{F286DBB8-5B20-47A1-B0B8-976C3F51CD36}";

// Registers the element with GStreamer once; safe to call again. Needs gst_init first.
bool RegisterCnv2yu();

}  // namespace orvanta::media
