// The "ClipEnd" message that the element posts at the end of every clip: the finished
// clip's results, copied from the block while it still holds them.
#pragma once

#include <gst/gst.h>

#include "detectfilter/zavipf.h"

namespace orvanta::detect::gst {

// A new structure named "ClipEnd" (the caller owns it).
GstStructure* ClipEndStructure(const DetectionBlock& block, int delivered);

}  // namespace orvanta::detect::gst
